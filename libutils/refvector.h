// Reference-counted containers whose storage block is shared between
// holders and freed by the last one, with the allocator choosing where the
// bytes live (heap: alloc_new.h, memory mapping: alloc_mmap_win.h).
//
// Allocator interface. One allocator object exists per block, lives inside
// the block's record and holds that block's allocation state:
//   void* allocate(std::uint64_t& size, const char* filename, unsigned mode,
//                  std::uint64_t offset);
//       size in bytes; may be changed (0 with a file: the file's size).
//       mode 0 = read, 1 = read-write. Null on failure.
//   void* reallocate(void* address, std::uint64_t size, std::uint64_t offset);
//       Null on failure, and then the old storage must stay valid.
//   void deallocate(void* address);
//   bool writable() const;   // whether the storage may be written
// Allocators are plain values: copying one copies its state, never its
// storage, and they release nothing in their destructors.
//
// Elements are raw bytes of trivially copyable types: the containers copy
// them with memcpy and never run constructors or destructors.
//
// Nothing is locked; the reference counts are plain integers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

// GCC 12 cannot follow a reference count: when two holders of one block are
// inlined into the same function it assumes the first release may have
// freed the block that the second one still decrements.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#define LIBUTILS_REFVECTOR_PRAGMA_PUSHED
#endif

namespace libutils {

// A window length meaning "up to the end of the block".
inline constexpr std::uint64_t to_end = ~std::uint64_t{0};

// A holder of a shared block of elements: none (empty) or one block, which
// every copy of the holder shares.
template <class T, class A>
class refvector2 {
  static_assert(std::is_trivially_copyable_v<T>,
                "elements are moved with memcpy");

 public:
  refvector2() = default;
  // Copies share the block and count it once more.
  refvector2(const refvector2& other) : blk(other.blk) {
    if (blk) ++blk->refcount;
  }
  // Gives up the held block (unless it is the same) and shares the other's.
  refvector2& operator=(const refvector2& other) {
    if (blk != other.blk) {
      unshare();
      blk = other.blk;
      if (blk) ++blk->refcount;
    }
    return *this;
  }
  virtual ~refvector2() { unshare(); }

  // True when there is no block or it has no elements.
  virtual bool empty() const { return !blk || blk->count == 0; }
  // Element count; 0 without a block.
  virtual std::uint64_t size() const { return blk ? blk->count : 0; }
  // First element; null without a block.
  virtual T* begin() { return blk ? blk->data : nullptr; }
  virtual T* end() { return begin() + size(); }
  virtual const T* begin() const { return blk ? blk->data : nullptr; }
  virtual const T* end() const { return begin() + size(); }
  // Unchecked, as for a plain array.
  virtual T& operator[](std::uint64_t i) { return begin()[i]; }
  virtual const T& operator[](std::uint64_t i) const { return begin()[i]; }
  virtual T* data() { return begin(); }
  virtual const T* data() const { return begin(); }

  // Obtains a new block of count elements from the allocator (the file name,
  // mode and file offset are the allocator's; see its allocate) and holds
  // it. Unless keep is true the current block is given up first. With keep,
  // the leading elements of the current block are copied into the new one
  // (when the new storage is writable) and the current block is then given
  // up. With a file name, count 0 asks for the whole file and the block then
  // has as many elements as the file holds. False when the storage cannot
  // be obtained; the holder then holds the old block if keep was true and
  // nothing otherwise.
  virtual bool allocate(std::uint64_t count, const char* filename = nullptr,
                        unsigned mode = 1, std::uint64_t offset = 0,
                        bool keep = false) {
    if (!keep) unshare();
    if (count > max_count()) return false;
    auto* fresh = new (std::nothrow) block{1, count, A{}, nullptr};
    if (!fresh) return false;
    std::uint64_t bytes = count * sizeof(T);
    void* p = fresh->allocator.allocate(bytes, filename, mode, offset);
    if (!p) {
      delete fresh;
      return false;
    }
    fresh->data = static_cast<T*>(p);
    fresh->count = bytes / sizeof(T);
    if (blk) {
      if (fresh->allocator.writable()) {
        std::uint64_t n = std::min(fresh->count, blk->count);
        if (n) std::memcpy(fresh->data, blk->data, n * sizeof(T));
      }
      unshare();
    }
    blk = fresh;
    return true;
  }

  // Gives the held block count elements through the allocator's
  // reallocate, which every holder sharing the block sees. Without a block,
  // a new read-write block of count elements is made (for alloc_mmap_win,
  // backed by the paging file). False on failure: the block keeps its old
  // storage and count, or the holder stays empty.
  virtual bool resize(std::uint64_t count, std::uint64_t offset = 0) {
    if (!blk) return refvector2::allocate(count, nullptr, 1, 0, false);
    if (count > max_count()) return false;
    void* p = blk->allocator.reallocate(blk->data, count * sizeof(T), offset);
    if (!p) return false;
    blk->data = static_cast<T*>(p);
    blk->count = count;
    return true;
  }

  // Gives up the block: the last holder deallocates the storage and frees
  // the record. The holder is empty afterwards.
  virtual void release() { unshare(); }

  // Holders sharing the block (0 without one).
  std::uint64_t use_count() const { return blk ? blk->refcount : 0; }

 protected:
  struct block {
    std::uint64_t refcount;
    std::uint64_t count;
    A allocator;
    T* data;
  };

  static constexpr std::uint64_t max_count() {
    return std::numeric_limits<std::uint64_t>::max() / sizeof(T);
  }

  void unshare() {
    if (!blk) return;
    if (--blk->refcount == 0) {
      blk->allocator.deallocate(blk->data);
      delete blk;
    }
    blk = nullptr;
  }

  block* blk = nullptr;
};

// A refvector2 with a window onto the shared block: offset elements from
// the block's start and at most length elements (to_end: up to the end), so
// that several holders can view parts of one block. Copies take the window
// over with the block.
template <class T, class A>
class ofsvector : public refvector2<T, A> {
  using base = refvector2<T, A>;

 public:
  // True when there is no block or the window holds no elements.
  bool empty() const override { return size() == 0; }
  // The smaller of the elements after offset and length; 0 when the offset
  // lies at or past the block's end.
  std::uint64_t size() const override {
    if (!this->blk || offset >= this->blk->count) return 0;
    return std::min(this->blk->count - offset, length);
  }
  // The block's data plus offset (null without a block).
  T* begin() override {
    return this->blk ? this->blk->data + clamped() : nullptr;
  }
  T* end() override { return begin() + size(); }
  const T* begin() const override {
    return this->blk ? this->blk->data + clamped() : nullptr;
  }
  const T* end() const override { return begin() + size(); }
  T& operator[](std::uint64_t i) override { return begin()[i]; }
  const T& operator[](std::uint64_t i) const override { return begin()[i]; }
  T* data() override { return begin(); }
  const T* data() const override { return begin(); }

  // As refvector2::allocate, then the window is the whole block.
  bool allocate(std::uint64_t count, const char* filename = nullptr,
                unsigned mode = 1, std::uint64_t file_offset = 0,
                bool keep = false) override {
    bool ok = base::allocate(count, filename, mode, file_offset, keep);
    reset_window();
    return ok;
  }
  // The window's length becomes to_end; its offset is kept. Then as
  // refvector2::resize.
  bool resize(std::uint64_t count, std::uint64_t file_offset = 0) override {
    length = to_end;
    return base::resize(count, file_offset);
  }
  // As refvector2::release, and the window returns to offset 0, to_end.
  void release() override {
    base::release();
    reset_window();
  }

  std::uint64_t offset = 0;
  std::uint64_t length = to_end;

 private:
  std::uint64_t clamped() const { return std::min(offset, this->blk->count); }
  void reset_window() {
    offset = 0;
    length = to_end;
  }
};

// A shared array of elements that lives in one allocation: a 32-byte header
// (reference count, element count, the allocator's state) followed directly
// by the elements. Used for the colour channels of an image's palette.
template <class T, class A>
class refvector {
  static_assert(std::is_trivially_copyable_v<T>,
                "elements are moved with memcpy");

 public:
  refvector() = default;
  refvector(const refvector& other) { assign(other); }
  refvector& operator=(const refvector& other) {
    assign(other);
    return *this;
  }
  virtual ~refvector() { unshare(); }

  virtual bool empty() const { return size() == 0; }
  // Element count; 0 without a block.
  virtual std::uint64_t size() const { return mem ? head()->count : 0; }
  // First element after the header; null without a block.
  virtual T* begin() { return mem ? elements() : nullptr; }
  virtual T* end() { return begin() + size(); }
  virtual const T* begin() const { return mem ? elements() : nullptr; }
  virtual const T* end() const { return begin() + size(); }
  // Unchecked, as for a plain array.
  virtual T& operator[](std::uint64_t i) { return begin()[i]; }
  virtual const T& operator[](std::uint64_t i) const { return begin()[i]; }
  virtual T* data() { return begin(); }
  virtual const T* data() const { return begin(); }

  // Shares the other holder's block (nothing happens when it is the same).
  virtual void assign(const refvector& other) {
    if (mem == other.mem) return;
    unshare();
    mem = other.mem;
    if (mem) ++head()->refcount;
  }

  // count 0 gives the block up and succeeds. Otherwise a new block of count
  // elements is allocated, the leading elements of the old one are copied
  // into it (the rest are zero with alloc_new) and the old block is given
  // up; every other holder keeps the old block. False when the allocation
  // fails; the old block is then kept.
  virtual bool resize(std::uint64_t count) {
    if (count == 0) {
      unshare();
      return true;
    }
    if (count >
        (std::numeric_limits<std::uint64_t>::max() - header_bytes) / sizeof(T))
      return false;
    A allocator{};
    std::uint64_t bytes = header_bytes + count * sizeof(T);
    void* p = allocator.allocate(bytes, nullptr, 1, 0);
    if (!p) return false;
    auto* fresh = static_cast<unsigned char*>(p);
    new (fresh) header{1, count, allocator};
    if (mem) {
      std::uint64_t n = std::min(count, head()->count);
      std::memcpy(fresh + header_bytes, elements(), n * sizeof(T));
      unshare();
    }
    mem = fresh;
    return true;
  }

  virtual void release() { unshare(); }

  // Holders sharing the block (0 without one).
  std::uint64_t use_count() const { return mem ? head()->refcount : 0; }

 private:
  struct header {
    std::uint64_t refcount;
    std::uint64_t count;
    A allocator;
  };
  static_assert(std::is_trivially_destructible_v<header>);
  // 32 bytes for alloc_new; a larger allocator state gets a larger header,
  // kept a multiple of 32 so the elements stay aligned.
  static constexpr std::uint64_t header_bytes = (sizeof(header) + 31) / 32 * 32;

  header* head() const { return reinterpret_cast<header*>(mem); }
  T* elements() const { return reinterpret_cast<T*>(mem + header_bytes); }

  void unshare() {
    if (!mem) return;
    if (--head()->refcount == 0) {
      // The allocator lives inside the block it frees: use a copy.
      A allocator = head()->allocator;
      allocator.deallocate(mem);
    }
    mem = nullptr;
  }

  unsigned char* mem = nullptr;
};

}  // namespace libutils

#ifdef LIBUTILS_REFVECTOR_PRAGMA_PUSHED
#pragma GCC diagnostic pop
#undef LIBUTILS_REFVECTOR_PRAGMA_PUSHED
#endif
