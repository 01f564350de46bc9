// A zlib stream (RFC 1950) compressed a piece at a time into a buffer of the
// caller's: by ISA-L's igzip at its level 1 where the build has it, three to
// five times as fast as zlib's fastest level (imageio_pngbench), or by zlib
// at level 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace imageio {

class ZlibStream {
 public:
  // fast: igzip, where the build has it; otherwise zlib.
  explicit ZlibStream(bool fast = true);
  ~ZlibStream();
  ZlibStream(const ZlibStream&) = delete;
  ZlibStream& operator=(const ZlibStream&) = delete;

  // Starts a new stream whose output goes to out, capacity bytes.
  void Begin(unsigned char* out, std::size_t capacity);

  enum class Result { Ok, Full, Failed };
  // Compresses n bytes, and ends the stream when finish is set. Full when
  // the output buffer ran out first, with Taken bytes of the input taken:
  // the caller may then give the stream a new buffer (Continue) and feed
  // it the rest, or drop it. Failed (with a message in error) only if the
  // compressor itself refuses.
  Result Feed(const void* data, std::size_t n, bool finish, std::string& error);
  std::size_t Taken() const;

  // Bytes put out since Begin or Continue.
  std::size_t Produced() const;
  // Goes on with the same stream into out, capacity bytes.
  void Continue(unsigned char* out, std::size_t capacity);

 private:
  struct State;
  std::unique_ptr<State> state;
};

}  // namespace imageio
