// Memory-mapping allocator for the reference-counted containers: a block
// lives in a mapping of a named file or of memory backed by the paging file.
// The viewer's picture lives in one (a read-write paging-file block).
#pragma once

#include <cstdint>

namespace libutils {

// One object per block; it holds that block's mapping. The operations follow
// the allocator interface described in refvector.h. The handles are opaque
// numbers of the platform layer, so that this header is the same everywhere.
//
// One block holds less than 4 GiB; larger requests give null. The file
// offset of a view is a full 64-bit quantity.
class alloc_mmap_win {
 public:
  // Maps a block and returns the address of its first byte.
  //
  // mode 0 maps read-only, mode 1 read-write; any other mode gives null
  // without touching any file. Without a file name the block is size bytes
  // of zero-filled memory backed by the paging file; size 0 gives an empty
  // block (a valid address with no bytes behind it). With a file name the
  // existing file is opened exclusively (a second opener fails while the
  // block lives) and a view of size bytes at the 64-bit file offset is
  // mapped; size 0 stands for the file's size (files of 2 GiB or more give
  // null, and so does a non-zero offset, the view then reaching past the
  // file). A read-write mapping reaching past the end of the file extends
  // the file with zero bytes; a read-only one cannot be created.
  //
  // When the file cannot be opened or the mapping cannot be created, this
  // calls libutils::error(), writes "<file name>: file open failed." or
  // "<file name>: create file mapping failed." (without a file name, the
  // text alone) and a newline to the standard error stream, and ends the
  // process through the fatal report for "alloc_mmap_win::allocate()".
  // A view that cannot be mapped (for example one reaching past the end of
  // the mapping) or a failed file-status query gives null, and the object
  // then holds nothing.
  void* allocate(std::uint64_t& size, const char* filename, unsigned mode,
                 std::uint64_t offset);

  // Gives the block a new size. A writable paging-file block moves to a new
  // mapping of the new size, keeping its leading bytes (new bytes are zero).
  // A file or read-only block is mapped again from the same mapping with the
  // new size at the offset; it cannot grow past the mapping's size. Null on
  // failure, and the old block then stays valid and unchanged.
  void* reallocate(void* address, std::uint64_t size, std::uint64_t offset);

  // Unmaps the view, closes the mapping and closes (and so unlocks) the
  // file.
  void deallocate(void* address);

  bool writable() const { return protect == protect_readwrite; }

  static constexpr std::uint32_t protect_readonly = 1;
  static constexpr std::uint32_t protect_readwrite = 2;
  static constexpr std::uint32_t access_read = 1;
  static constexpr std::uint32_t access_write = 2;

  std::uint64_t size = 0;      // bytes mapped
  std::uint32_t protect = 0;   // protect_readonly or protect_readwrite
  std::uint32_t access = 0;    // access_read or access_write
  std::intptr_t file = -1;     // -1: paging-file block
  std::intptr_t mapping = -1;  // -1: none (an empty block)
};

}  // namespace libutils
