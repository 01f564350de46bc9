// Input decoding and scratch files for the fuzz targets.
#include "fuzz/fuzzsupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <streambuf>

namespace fuzzsupport {

std::uint8_t Reader::Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

std::uint32_t Reader::U16() {
  std::uint32_t lo = Byte();
  return lo | (std::uint32_t{Byte()} << 8);
}

std::uint32_t Reader::U32() {
  std::uint32_t lo = U16();
  return lo | (U16() << 16);
}

std::vector<std::string> SplitArgs(const std::uint8_t* data, std::size_t size,
                                   std::size_t max) {
  std::vector<std::string> args;
  if (max == 0) return args;
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0 && args.size() + 1 < max) {
      args.push_back(current);
      current.clear();
    } else if (data[i] != 0) {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  args.push_back(current);
  return args;
}

std::vector<char*> MakeArgv(const char* program,
                            std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program));
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

namespace {

// A fresh name that no other process holds: create_directory fails on a
// name that exists, so a race simply tries the next one.
std::string MakeScratchDir() {
  std::error_code ec;
  const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "mandelfuzz.%08x", random());
    const std::filesystem::path dir = tmp / name;
    if (std::filesystem::create_directory(dir, ec))
      return dir.generic_string();
  }
  Fail("cannot make a scratch directory");
}

std::string& ScratchPath() {
  static std::string path = MakeScratchDir();
  return path;
}

void RemoveScratch() {
  std::error_code ec;
  std::filesystem::remove_all(ScratchPath(), ec);
}

}  // namespace

const std::string& ScratchDir() {
  // The path must exist before the removal is registered, so that it is
  // destroyed only after the removal has run.
  static bool registered = (ScratchPath(), std::atexit(RemoveScratch), true);
  (void)registered;
  return ScratchPath();
}

bool WriteBytes(const std::string& path, const void* data, std::size_t size) {
  std::ofstream os(path, std::ios::binary | std::ios::trunc);
  os.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  os.close();
  return static_cast<bool>(os);
}

namespace {

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c == EOF ? 0 : c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

void SilenceStandardErrorStream() {
  // Never destroyed: the standard streams flush std::cerr at exit, after
  // function-local statics are gone.
  static NullBuffer* sink = new NullBuffer;
  std::cerr.rdbuf(sink);
}

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

}  // namespace fuzzsupport
