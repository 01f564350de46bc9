#include "libutils/com/blockbuf.h"

#include <utility>

namespace libutils {

block_buffer::block_buffer(std::size_t bytes, int blocks_per_hook)
    : bytes(bytes < 1 ? 1 : bytes),
      blocks_per_hook(blocks_per_hook < 1 ? 1 : blocks_per_hook) {}

void block_buffer::attach(std::streambuf* to, std::function<void()> hook) {
  sink = to;
  after_block = std::move(hook);
  whole_since_hook = 0;
  sent_known = false;
  setp(nullptr, nullptr);
}

bool block_buffer::drain() {
  const std::streamsize n = pptr() - pbase();
  if (n == 0) return true;
  if (!sink || sink->sputn(pbase(), n) != n) {
    // Nothing more goes out after a failure: the stream reports it, and a
    // later write must not skip the lost bytes and carry on.
    setp(nullptr, nullptr);
    sink = nullptr;
    return false;
  }
  if (sent_known) sent += n;
  setp(block.get(), block.get() + bytes);
  return true;
}

block_buffer::int_type block_buffer::overflow(int_type c) {
  if (!sink) return traits_type::eof();
  if (!block) block.reset(new char[bytes]);
  if (!pbase()) {
    // The first write since attach.
    setp(block.get(), block.get() + bytes);
  } else {
    const bool whole = pptr() == epptr();
    if (!drain()) return traits_type::eof();
    if (whole && after_block && ++whole_since_hook == blocks_per_hook) {
      whole_since_hook = 0;
      after_block();
    }
  }
  if (traits_type::eq_int_type(c, traits_type::eof())) {
    return traits_type::not_eof(c);
  }
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int block_buffer::sync() {
  if (!drain()) return -1;
  return sink && sink->pubsync() == 0 ? 0 : -1;
}

block_buffer::pos_type block_buffer::seekoff(off_type off,
                                             std::ios_base::seekdir way,
                                             std::ios_base::openmode which) {
  const pos_type failed = pos_type(off_type(-1));
  if (!sink || !(which & std::ios_base::out)) return failed;
  if (off == 0 && way == std::ios_base::cur) {
    if (!sent_known) {
      sent = sink->pubseekoff(0, std::ios_base::cur, std::ios_base::out);
      if (sent == failed) return failed;
      sent_known = true;
    }
    return sent + off_type(pptr() - pbase());
  }
  if (!drain()) return failed;
  sent = sink->pubseekoff(off, way, std::ios_base::out);
  sent_known = sent != failed;
  return sent;
}

block_buffer::pos_type block_buffer::seekpos(pos_type pos,
                                             std::ios_base::openmode which) {
  const pos_type failed = pos_type(off_type(-1));
  if (!sink || !(which & std::ios_base::out)) return failed;
  if (!drain()) return failed;
  sent = sink->pubseekpos(pos, std::ios_base::out);
  sent_known = sent != failed;
  return sent;
}

}  // namespace libutils
