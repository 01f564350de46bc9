// Heap allocator for the reference-counted containers, able to fill a new
// block from a file.
#pragma once

#include <cstdint>

namespace libutils {

// One object per block; it holds that block's allocation state. The
// operations follow the allocator interface described in refvector.h.
class alloc_new {
 public:
  // Allocates size bytes on the heap, zero-filled. With a file name the
  // block is filled from the file, starting at the byte offset; size 0 then
  // first becomes the file's size (files of 2 GiB or more, and files whose
  // status cannot be read, give null). A file that cannot be opened or is
  // shorter than asked leaves the unread bytes zero and is not reported.
  // mode is not used: the block is always writable. Null when the heap
  // cannot provide the block.
  void* allocate(std::uint64_t& size, const char* filename, unsigned mode,
                 std::uint64_t offset);

  // Moves the block to a new array of the new size, keeping the leading
  // bytes; bytes beyond the old size are zero. Null when the heap refuses,
  // and the old block then stays valid. offset is not used.
  void* reallocate(void* address, std::uint64_t size, std::uint64_t offset);

  // Frees the block; nothing for null.
  void deallocate(void* address);

  bool writable() const { return true; }

  std::uint64_t size = 0;  // bytes allocated
};

}  // namespace libutils
