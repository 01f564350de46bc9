// Helpers shared by the fuzz targets and their replay driver: turning raw
// input into arguments and numbers, and a private scratch directory for the
// targets that must touch files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzsupport {

// Consumes the input from the front; reads past the end give 0 so that a
// short input is still a valid (if dull) case.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size)
      : data_(data), size_(size) {}
  std::uint8_t Byte();
  std::uint32_t U16();
  std::uint32_t U32();
  bool Bool() { return Byte() & 1; }
  // The bytes not read yet.
  const std::uint8_t* Rest() const { return data_ + pos_; }
  std::size_t Left() const { return size_ - pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Splits the bytes at NUL characters into at most max arguments; the last one
// takes whatever remains.
std::vector<std::string> SplitArgs(const std::uint8_t* data, std::size_t size,
                                   std::size_t max);

// argv-style pointers into args (terminated by a null pointer), behind
// program.
std::vector<char*> MakeArgv(const char* program, std::vector<std::string>& args);

// A directory of this process only, made on first use and removed at normal
// exit, so targets never write where a user keeps files.
const std::string& ScratchDir();

// Writes bytes to path; false when it cannot.
bool WriteBytes(const std::string& path, const void* data, std::size_t size);

// The library's messages on std::cerr are expected for hostile input and
// would drown the fuzzer's own report; sanitizer reports bypass iostreams.
void SilenceStandardErrorStream();

// Stops the process so the fuzzer records the input: an invariant broke.
[[noreturn]] void Fail(const char* what);

}  // namespace fuzzsupport
