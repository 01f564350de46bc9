// Heap allocator for the reference-counted containers.
#include "libutils/alloc_new.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>

#include "libutils/platform/sysapi.h"

namespace libutils {
namespace {

// new[] with () zero-fills, so nothing of a short or failed read, nor of a
// grown block, can leak earlier heap contents to the caller.
unsigned char* new_zeroed(std::uint64_t size) {
  if (size > std::numeric_limits<std::size_t>::max()) return nullptr;
  return new (std::nothrow) unsigned char[static_cast<std::size_t>(size)]();
}

}  // namespace

void* alloc_new::allocate(std::uint64_t& size, const char* filename,
                          unsigned /*mode*/, std::uint64_t offset) {
  if (filename && size == 0) {
    std::uint64_t file_bytes = 0;
    // The file-status query of this system reports sizes as a signed 32-bit
    // value; a larger file would come back negative, so it is refused.
    if (!sysapi::file_size(filename, file_bytes) ||
        file_bytes > static_cast<std::uint64_t>(
                         std::numeric_limits<std::int32_t>::max()))
      return nullptr;
    size = file_bytes;
  }
  unsigned char* block = new_zeroed(size);
  if (!block) return nullptr;
  this->size = size;
  if (filename) {
    std::ifstream in(filename, std::ios::binary);
    if (in &&
        offset <= static_cast<std::uint64_t>(
                      std::numeric_limits<std::streamoff>::max()) &&
        in.seekg(static_cast<std::streamoff>(offset))) {
      in.read(reinterpret_cast<char*>(block),
              static_cast<std::streamsize>(size));
    }
  }
  return block;
}

void* alloc_new::reallocate(void* address, std::uint64_t size,
                            std::uint64_t /*offset*/) {
  unsigned char* block = new_zeroed(size);
  if (!block) return nullptr;
  if (address)
    std::memcpy(block, address,
                static_cast<std::size_t>(std::min(size, this->size)));
  delete[] static_cast<unsigned char*>(address);
  this->size = size;
  return block;
}

void alloc_new::deallocate(void* address) {
  delete[] static_cast<unsigned char*>(address);
}

}  // namespace libutils
