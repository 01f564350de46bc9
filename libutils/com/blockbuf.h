// A stream buffer that gathers small writes into large blocks for another
// stream buffer. libstdc++'s file buffer copies a write only when it is
// shorter than a kilobyte and hands anything longer straight to the system,
// so picture rows of a few kilobytes would each cost a system call however
// large a buffer the file stream is given.
#pragma once

#include <cstddef>
#include <functional>
#include <ios>
#include <memory>
#include <streambuf>

namespace libutils {

class block_buffer : public std::streambuf {
 public:
  static constexpr std::size_t default_bytes = 256 << 10;
  // Starting writeback costs a system call and sends the disk one request
  // for what it finds; a request a block long made that call a tenth of the
  // time it takes to write a 48 MB picture, a megabyte one a quarter of it.
  static constexpr int default_blocks_per_hook = 4;

  explicit block_buffer(std::size_t bytes = default_bytes,
                        int blocks_per_hook = default_blocks_per_hook);
  block_buffer(const block_buffer&) = delete;
  block_buffer& operator=(const block_buffer&) = delete;

  // Sends every later block to sink and calls after_block, when given, each
  // time another blocks_per_hook blocks went out whole: the place to start
  // writing them to disk.
  // Forgets what was gathered for an earlier sink without sending it.
  void attach(std::streambuf* sink, std::function<void()> after_block = {});

 protected:
  int_type overflow(int_type c) override;
  int sync() override;
  // Telling the position costs nothing; moving it sends what was gathered
  // and moves the sink (OpenEXR goes back to fill in its offset table).
  pos_type seekoff(off_type off, std::ios_base::seekdir way,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;

 private:
  // Sends what was gathered; false when the sink took less.
  bool drain();

  std::size_t bytes;
  // Allocated on the first write, and never cleared: a page costs a fault
  // and memory only once written, so a small file pays for what it uses.
  std::unique_ptr<char[]> block;
  std::streambuf* sink = nullptr;
  std::function<void()> after_block;
  int blocks_per_hook;
  int whole_since_hook = 0;
  // Where the sink stands, which is where the gathered bytes will go; asked
  // of the sink once, since a file's answer is a system call.
  pos_type sent = pos_type(off_type(-1));
  bool sent_known = false;
};

}  // namespace libutils
