// Output targets of the writers. The replacement is done by the atomic
// output of libutils; this file is the one place that knows how.
#include "imageio/outtarget.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <random>

#include "libutils/com/console.h"

namespace imageio {

// Until the shared atomic output exists: a uniquely named file beside the
// target, renamed over it on commit.
struct OutTarget::Atomic {
  std::string temp;
  bool pending = false;

  bool Open(const std::string& target, std::string& error) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, ".%016llx.part",
                    static_cast<unsigned long long>(random()));
      std::string name = target + suffix;
      if (std::FILE* probe = std::fopen(name.c_str(), "rb")) {
        std::fclose(probe);
        continue;
      }
      std::FILE* f = std::fopen(name.c_str(), "wb");
      if (!f) {
        error = std::strerror(errno);
        return false;
      }
      std::fclose(f);
      temp = name;
      pending = true;
      return true;
    }
    error = "cannot find a free temporary name";
    return false;
  }

  bool Commit(const std::string& target, std::string& error) {
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
      // Windows refuses to rename over an existing file.
      std::remove(target.c_str());
      if (std::rename(temp.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        Discard();
        return false;
      }
    }
    pending = false;
    return true;
  }

  void Discard() {
    if (pending) std::remove(temp.c_str());
    pending = false;
  }
};

namespace {
const std::string NoPath;
constexpr std::size_t BufferBytes = 1 << 20;
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
  atomic.reset(new Atomic());
  std::string why;
  if (!atomic->Open(name, why)) {
    atomic.reset();
    error = name + ": " + why;
    return false;
  }
  return true;
}

const std::string& OutTarget::Path() const {
  return atomic ? atomic->temp : NoPath;
}

std::ostream* OutTarget::OpenStream(std::string& error) {
  if (isStd) {
    libutils::set_binary_stdout();
    stream = &std::cout;
    return stream;
  }
  // A large buffer: the writers hand over rows of a few kilobytes, and every
  // system call saved counts at the sizes we write.
  buffer.resize(BufferBytes);
  ofs.rdbuf()->pubsetbuf(buffer.data(),
                         static_cast<std::streamsize>(buffer.size()));
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
  if (!atomic || !atomic->Commit(target, why)) {
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
  if (atomic) atomic->Discard();
  atomic.reset();
}

}  // namespace imageio
