#include "imageio/zdeflate.h"

#include <zlib.h>

#include <algorithm>
#include <vector>
#ifdef IMAGEIO_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

namespace imageio {

namespace {
// Both compressors count bytes in 32 bits.
constexpr std::size_t Piece = std::size_t{1} << 30;
}  // namespace

struct ZlibStream::State {
  unsigned char* out = nullptr;
  std::size_t capacity = 0;
  std::size_t produced = 0;
  std::size_t taken = 0;
  bool igzip = false;
#ifdef IMAGEIO_HAVE_ISAL
  isal_zstream zs;
  std::vector<unsigned char> levelBuffer;
#endif
  z_stream z{};
  bool zReady = false;

  // One call of the compressor on at most Piece bytes each way: how much
  // of the input it took, and whether it is done with it (with the stream,
  // when last).
  bool Step(const unsigned char* in, std::size_t take, bool last,
            std::size_t& used, bool& done, std::string& error);
};

ZlibStream::ZlibStream(bool fast) : state(new State()) {
#ifdef IMAGEIO_HAVE_ISAL
  if (fast) {
    state->igzip = true;
    isal_deflate_init(&state->zs);
    state->levelBuffer.resize(ISAL_DEF_LVL1_DEFAULT);
    state->zs.level = 1;
    state->zs.level_buf = state->levelBuffer.data();
    state->zs.level_buf_size =
        static_cast<std::uint32_t>(state->levelBuffer.size());
    return;
  }
#else
  (void)fast;
#endif
  state->zReady = deflateInit(&state->z, 1) == Z_OK;
}

ZlibStream::~ZlibStream() {
  if (state->zReady) deflateEnd(&state->z);
}

void ZlibStream::Begin(unsigned char* out, std::size_t capacity) {
  state->out = out;
  state->capacity = capacity;
  state->produced = 0;
#ifdef IMAGEIO_HAVE_ISAL
  if (state->igzip) {
    isal_deflate_reset(&state->zs);
    // Set again for every stream: igzip marks its header written by
    // changing the flag.
    state->zs.gzip_flag = IGZIP_ZLIB;
    return;
  }
#endif
  if (state->zReady) deflateReset(&state->z);
}

std::size_t ZlibStream::Produced() const { return state->produced; }

std::size_t ZlibStream::Taken() const { return state->taken; }

void ZlibStream::Continue(unsigned char* out, std::size_t capacity) {
  state->out = out;
  state->capacity = capacity;
  state->produced = 0;
}

bool ZlibStream::State::Step(const unsigned char* in, std::size_t take,
                             bool last, std::size_t& used, bool& done,
                             std::string& error) {
  const std::size_t room = std::min(capacity - produced, Piece);
#ifdef IMAGEIO_HAVE_ISAL
  if (igzip) {
    zs.next_in = const_cast<unsigned char*>(in);
    zs.avail_in = static_cast<std::uint32_t>(take);
    zs.end_of_stream = last ? 1 : 0;
    zs.flush = NO_FLUSH;
    zs.next_out = out + produced;
    zs.avail_out = static_cast<std::uint32_t>(room);
    const int status = isal_deflate(&zs);
    if (status != COMP_OK) {
      error =
          "compression failed (igzip status " + std::to_string(status) + ")";
      return false;
    }
    produced += room - zs.avail_out;
    used = take - zs.avail_in;
    done = last ? zs.internal_state.state == ZSTATE_END : zs.avail_in == 0;
    return true;
  }
#endif
  if (!zReady) {
    error = "compression failed (zlib could not start)";
    return false;
  }
  z.next_in = const_cast<unsigned char*>(in);
  z.avail_in = static_cast<uInt>(take);
  z.next_out = out + produced;
  z.avail_out = static_cast<uInt>(room);
  const int status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
  if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
    error = "compression failed (zlib status " + std::to_string(status) + ")";
    return false;
  }
  produced += room - z.avail_out;
  used = take - z.avail_in;
  done = last ? status == Z_STREAM_END : z.avail_in == 0;
  return true;
}

ZlibStream::Result ZlibStream::Feed(const void* data, std::size_t n,
                                    bool finish, std::string& error) {
  State& s = *state;
  const auto* in = static_cast<const unsigned char*>(data);
  s.taken = 0;
  for (;;) {
    const std::size_t take = std::min(n, Piece);
    const bool last = finish && take == n;
    std::size_t used = 0;
    bool done = false;
    if (!s.Step(in, take, last, used, done, error)) return Result::Failed;
    in += used;
    n -= used;
    s.taken += used;
    if (done && n == 0) return Result::Ok;
    // Not done with the output full: the compressor may still hold bytes
    // it could not put out, even with all the input taken.
    if (s.produced == s.capacity) return Result::Full;
  }
}

}  // namespace imageio
