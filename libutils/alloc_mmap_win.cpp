// Memory-mapping allocator for the reference-counted containers. All system
// calls go through the platform layer.
#include "libutils/alloc_mmap_win.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <limits>

#include "libutils/com/common.h"
#include "libutils/fatal.h"
#include "libutils/platform/sysapi.h"

namespace libutils {
namespace {

constexpr std::uint64_t max_block = 0xFFFFFFFFu;
constexpr std::uint64_t max_whole_file = 0x7FFFFFFFu;

// Stands in for the address of a block of 0 bytes: paging-file mappings
// cannot be empty, but an image of height 0 is a fair request and must not
// end the process.
unsigned char empty_block[1];

// Reports a failure to obtain the file or the mapping and ends the process.
[[noreturn]] void fail(const char* filename, const char* text) {
  // Writing the message may itself touch errno; the report must show the
  // error of the failed call.
  const int code = sysapi::last_error();
  error();
  std::cerr << (filename ? filename : "") << text << '\n' << std::flush;
  sysapi::set_last_error(code);
  fatal("alloc_mmap_win::allocate()");
}

}  // namespace

void* alloc_mmap_win::allocate(std::uint64_t& size, const char* filename,
                               unsigned mode, std::uint64_t offset) {
  if (mode > 1) return nullptr;
  const bool writable = mode == 1;
  protect = writable ? protect_readwrite : protect_readonly;
  access = writable ? access_write : access_read;
  // A block stays below 4 GiB, as where the size travels as 32 bits; a
  // larger request must not wrap to a smaller block.
  if (size > max_block) return nullptr;
  // The mapping must reach to the end of the view: a mapping of only size
  // bytes would leave every view at a non-zero offset outside it.
  if (offset > std::numeric_limits<std::uint64_t>::max() - size) return nullptr;
  const std::uint64_t mapping_size = size ? offset + size : 0;

  if (filename) {
    file = sysapi::open_file(filename, writable);
    if (file == sysapi::no_handle) fail(filename, ": file open failed.");
  } else if (size == 0) {
    this->size = 0;
    return empty_block;
  }
  mapping = sysapi::create_mapping(file, writable, mapping_size);
  if (mapping == sysapi::no_handle)
    fail(filename, ": create file mapping failed.");

  if (size == 0) {
    std::uint64_t file_bytes = 0;
    if (!sysapi::file_size(file, file_bytes) || file_bytes > max_whole_file) {
      deallocate(nullptr);
      return nullptr;
    }
    size = file_bytes;
  }
  this->size = size;
  void* view = sysapi::map_view(mapping, writable, offset, size);
  if (!view) {
    // Nobody will call deallocate for a block that was never handed out,
    // so the mapping and the file lock are given back here.
    deallocate(nullptr);
    return nullptr;
  }
  return view;
}

void* alloc_mmap_win::reallocate(void* address, std::uint64_t size,
                                 std::uint64_t offset) {
  if (size > max_block) return nullptr;
  const bool old_mapped = address && address != empty_block;

  if (file == sysapi::no_handle && protect == protect_readwrite) {
    sysapi::handle fresh = sysapi::no_handle;
    void* view = empty_block;
    if (size > 0) {
      fresh = sysapi::create_mapping(sysapi::no_handle, true, size);
      if (fresh == sysapi::no_handle) return nullptr;
      view = sysapi::map_view(fresh, true, 0, size);
      if (!view) {
        sysapi::close_mapping(fresh);
        return nullptr;
      }
      if (old_mapped)
        std::memcpy(view, address,
                    static_cast<std::size_t>(std::min(size, this->size)));
    }
    if (old_mapped) sysapi::unmap_view(address, this->size);
    sysapi::close_mapping(mapping);
    mapping = fresh;
    this->size = size;
    return view;
  }

  // File and read-only blocks: a new view of the same mapping. It is mapped
  // before the old one goes, so that a failure leaves the block as it was.
  void* view = empty_block;
  if (size > 0) {
    view =
        sysapi::map_view(mapping, protect == protect_readwrite, offset, size);
    if (!view) return nullptr;
  }
  if (old_mapped) sysapi::unmap_view(address, this->size);
  this->size = size;
  return view;
}

void alloc_mmap_win::deallocate(void* address) {
  if (address && address != empty_block) sysapi::unmap_view(address, size);
  sysapi::close_mapping(mapping);
  sysapi::close_file(file);
  mapping = sysapi::no_handle;
  file = sysapi::no_handle;
  size = 0;
}

}  // namespace libutils
