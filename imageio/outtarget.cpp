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
  ofs.open(Path(), std::ios::binary | std::ios::out | std::ios::trunc);
  if (!ofs.is_open()) {
    error = target + ": " + std::strerror(errno);
    return nullptr;
  }
  libutils::atomic_file* file = atomic.get();
  blocks.attach(ofs.rdbuf(), [file] {
    if (file) file->start_writeback();
  });
  out.clear();
  stream = &out;
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
    out.flush();
    ofs.close();
    ok = !out.fail() && !ofs.fail();
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
  blocks.attach(nullptr);
  if (ofs.is_open()) ofs.close();
  ofs.clear();
  stream = nullptr;
  if (atomic) atomic->discard();
  atomic.reset();
}

}  // namespace imageio
