// POSIX side of libutils' operating-system seam: mmap, flock, fstat, errno.
//
// WARNING: only code that differs between operating systems belongs here;
// everything the two sides share lives in the callers.
#include "libutils/platform/sysapi.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace libutils::sysapi {
namespace {

// POSIX has no mapping object: mmap works on the descriptor directly. The
// record keeps what a Windows mapping object would enforce, chiefly its
// maximum size, so views behave alike on both systems.
struct mapping_record {
  int fd;  // -1: anonymous memory (the paging-file case)
  bool writable;
  std::uint64_t capacity;  // bytes a view may reach
};

std::uint64_t page_size() {
  static const std::uint64_t page = [] {
    long p = sysconf(_SC_PAGESIZE);
    return p > 0 ? static_cast<std::uint64_t>(p) : 4096u;
  }();
  return page;
}

}  // namespace

handle open_file(const char* name, bool writable) {
  int fd = ::open(name, (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) return no_handle;
  // flock locks belong to the open file description, so a second open of
  // the same file is refused even within this process, as Windows refuses a
  // second opener of a file opened without sharing.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int saved = errno;
    ::close(fd);
    errno = saved;
    return no_handle;
  }
  return fd;
}

void close_file(handle file) {
  if (file != no_handle) ::close(static_cast<int>(file));
}

bool file_size(handle file, std::uint64_t& size) {
  struct stat st;
  if (file == no_handle || fstat(static_cast<int>(file), &st) != 0)
    return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool file_size(const char* name, std::uint64_t& size) {
  struct stat st;
  if (!name || stat(name, &st) != 0) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

handle create_mapping(handle file, bool writable, std::uint64_t max_size) {
  std::uint64_t capacity = max_size;
  int fd = -1;
  if (file == no_handle) {
    if (max_size == 0) {
      errno = EINVAL;
      return no_handle;
    }
  } else {
    fd = static_cast<int>(file);
    std::uint64_t current = 0;
    if (!file_size(file, current)) return no_handle;
    if (max_size == 0) {
      if (current == 0) {  // nothing to map, as on Windows
        errno = EINVAL;
        return no_handle;
      }
      capacity = current;
    } else if (capacity > current) {
      if (!writable) {  // a read-only mapping cannot grow the file
        errno = EINVAL;
        return no_handle;
      }
      if (capacity >
          static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        errno = EFBIG;
        return no_handle;
      }
      if (ftruncate(fd, static_cast<off_t>(capacity)) != 0) return no_handle;
    }
  }
  auto* record = new (std::nothrow) mapping_record{fd, writable, capacity};
  if (!record) {
    errno = ENOMEM;
    return no_handle;
  }
  return reinterpret_cast<handle>(record);
}

void close_mapping(handle mapping) {
  if (mapping != no_handle) delete reinterpret_cast<mapping_record*>(mapping);
}

void* map_view(handle mapping, bool writable, std::uint64_t offset,
               std::uint64_t size) {
  if (mapping == no_handle) {
    errno = EINVAL;
    return nullptr;
  }
  const auto& m = *reinterpret_cast<const mapping_record*>(mapping);
  // A view past the mapping's end would fault on first touch (SIGBUS) on
  // POSIX; Windows refuses it up front, and so do we.
  if (size == 0 || offset > m.capacity || size > m.capacity - offset) {
    errno = EINVAL;
    return nullptr;
  }
  if (writable && !m.writable) {
    errno = EACCES;
    return nullptr;
  }
  int prot = PROT_READ | (writable ? PROT_WRITE : 0);
  if (m.fd < 0) {
    if (size > std::numeric_limits<std::size_t>::max()) {
      errno = ENOMEM;
      return nullptr;
    }
    void* p = mmap(nullptr, static_cast<std::size_t>(size), prot,
                   MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
  }
  // mmap wants a page-aligned file offset: map from the page that holds the
  // offset and hand out the address of the requested byte. unmap_view finds
  // the page start again from that address.
  std::uint64_t delta = offset % page_size();
  std::uint64_t length = size + delta;
  if (length > std::numeric_limits<std::size_t>::max() ||
      offset - delta >
          static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    errno = EOVERFLOW;
    return nullptr;
  }
  void* p = mmap(nullptr, static_cast<std::size_t>(length), prot, MAP_SHARED,
                 m.fd, static_cast<off_t>(offset - delta));
  if (p == MAP_FAILED) return nullptr;
  return static_cast<unsigned char*>(p) + delta;
}

void unmap_view(void* address, std::uint64_t size) {
  if (!address) return;
  std::uint64_t delta = reinterpret_cast<std::uintptr_t>(address) % page_size();
  munmap(static_cast<unsigned char*>(address) - delta,
         static_cast<std::size_t>(size + delta));
}

int last_error() { return errno; }

void set_last_error(int code) { errno = code; }

std::string error_text(int code) { return std::strerror(code); }

// A console library has no dialog of its own here; GUI programs install
// theirs as the fatal presenter.
bool show_message_box(const char*, const char*) { return false; }

void exit_process(int code) { std::exit(code); }

}  // namespace libutils::sysapi
