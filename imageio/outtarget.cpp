// Output targets of the writers, over the atomic outputs of libutils.
#include "imageio/outtarget.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "libutils/com/atomicfile.h"
#include "libutils/com/console.h"

namespace imageio {

namespace {
const std::string NoPath;
constexpr std::size_t BufferBytes = 256 << 10;
}  // namespace

OutTarget::OutTarget() = default;

OutTarget::~OutTarget() {
  if (!committed) Discard();
}

bool OutTarget::Prepare(const std::string& name, std::string& error) {
  Discard();
  target = name;
  committed = false;
  isStd = name == "-";
  if (isStd) return true;
  atomic.reset(new libutils::atomic_file());
  std::string why;
  if (!atomic->open(name, why)) {
    atomic.reset();
    error = name + ": " + why;
    return false;
  }
  return true;
}

const std::string& OutTarget::Path() const {
  return atomic ? atomic->path() : NoPath;
}

std::ostream* OutTarget::OpenStream(std::string& error) {
  if (isStd) {
    libutils::set_binary_stdout();
    stream = &std::cout;
    return stream;
  }
  // A large buffer: the writers hand over rows of a few kilobytes, and every
  // system call saved counts at the sizes we write. Not cleared, and no
  // larger than this: a page is paid for (a fault, and memory held) only
  // once written, and a small picture's start-up should not pay for a
  // megabyte it never fills.
  buffer.reset(new char[BufferBytes]);
  ofs.rdbuf()->pubsetbuf(buffer.get(),
                         static_cast<std::streamsize>(BufferBytes));
  ofs.open(Path(), std::ios::binary | std::ios::out | std::ios::trunc);
  if (!ofs.is_open()) {
    error = target + ": " + std::strerror(errno);
    return nullptr;
  }
  stream = &ofs;
  return stream;
}

bool OutTarget::Commit(std::string& error) {
  bool ok = true;
  if (isStd) {
    if (stream) {
      stream->flush();
      ok = !stream->fail();
    }
  } else if (ofs.is_open()) {
    ofs.close();
    ok = !ofs.fail();
  }
  if (!ok) {
    error = target + ": write error";
    Discard();
    return false;
  }
  if (isStd) {
    committed = true;
    return true;
  }
  std::string why;
  if (!atomic || !atomic->commit(why)) {
    error = target + ": " + (atomic ? why : "not prepared");
    Discard();
    return false;
  }
  committed = true;
  return true;
}

void OutTarget::Discard() {
  if (ofs.is_open()) ofs.close();
  ofs.clear();
  stream = nullptr;
  if (atomic) atomic->discard();
  atomic.reset();
}

}  // namespace imageio
