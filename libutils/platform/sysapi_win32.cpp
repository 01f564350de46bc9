// Windows side of libutils' operating-system seam: file mappings over
// CreateFileA/CreateFileMappingA, GetLastError, FormatMessageA and
// MessageBoxA.
//
// WARNING: only code that differs between operating systems belongs here;
// everything the two sides share lives in the callers.
#include "libutils/platform/sysapi.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace libutils::sysapi {
namespace {

HANDLE to_win(handle h) { return reinterpret_cast<HANDLE>(h); }

// MapViewOfFile wants offsets on the allocation granularity (64 KiB), which
// is coarser than a page.
std::uint64_t granularity() {
  static const std::uint64_t g = [] {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return static_cast<std::uint64_t>(info.dwAllocationGranularity);
  }();
  return g;
}

}  // namespace

handle open_file(const char* name, bool writable) {
  // Share mode 0: nobody else may open the file while we hold it.
  HANDLE h =
      CreateFileA(name, GENERIC_READ | (writable ? GENERIC_WRITE : 0), 0,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return no_handle;
  return reinterpret_cast<handle>(h);
}

void close_file(handle file) {
  if (file != no_handle) CloseHandle(to_win(file));
}

bool file_size(handle file, std::uint64_t& size) {
  LARGE_INTEGER li;
  if (file == no_handle || !GetFileSizeEx(to_win(file), &li)) return false;
  size = static_cast<std::uint64_t>(li.QuadPart);
  return true;
}

bool file_size(const char* name, std::uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!name || !GetFileAttributesExA(name, GetFileExInfoStandard, &data))
    return false;
  size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
         data.nFileSizeLow;
  return true;
}

handle create_mapping(handle file, bool writable, std::uint64_t max_size) {
  // The system extends a file for a larger read-write mapping and refuses a
  // larger read-only one or a whole mapping of an empty file.
  HANDLE h = CreateFileMappingA(
      file == no_handle ? INVALID_HANDLE_VALUE : to_win(file), nullptr,
      writable ? PAGE_READWRITE : PAGE_READONLY,
      static_cast<DWORD>(max_size >> 32),
      static_cast<DWORD>(max_size & 0xFFFFFFFFu), nullptr);
  if (!h) return no_handle;
  return reinterpret_cast<handle>(h);
}

void close_mapping(handle mapping) {
  if (mapping != no_handle) CloseHandle(to_win(mapping));
}

void* map_view(handle mapping, bool writable, std::uint64_t offset,
               std::uint64_t size) {
  // A size of 0 would map the whole mapping; callers never mean that.
  if (mapping == no_handle || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::uint64_t delta = offset % granularity();
  std::uint64_t start = offset - delta;
  std::uint64_t length = size + delta;
  if (length < size || length > static_cast<std::uint64_t>(SIZE_MAX)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* p = MapViewOfFile(
      to_win(mapping), writable ? FILE_MAP_WRITE : FILE_MAP_READ,
      static_cast<DWORD>(start >> 32), static_cast<DWORD>(start & 0xFFFFFFFFu),
      static_cast<SIZE_T>(length));
  if (!p) return nullptr;
  return static_cast<unsigned char*>(p) + delta;
}

void unmap_view(void* address, std::uint64_t /*size*/) {
  if (!address) return;
  // Views begin on the allocation granularity, so rounding the handed-out
  // address down finds the view's base again.
  std::uint64_t delta =
      reinterpret_cast<std::uintptr_t>(address) % granularity();
  UnmapViewOfFile(static_cast<unsigned char*>(address) - delta);
}

int last_error() { return static_cast<int>(GetLastError()); }

void set_last_error(int code) { SetLastError(static_cast<DWORD>(code)); }

std::string error_text(int code) {
  char* buffer = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER |
                               FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(code),
                           MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  std::string text = (n && buffer) ? std::string(buffer, n) : std::string();
  if (buffer) LocalFree(buffer);
  return text;
}

bool show_message_box(const char* title, const char* text) {
  // 0 is the documented failure; wine without a display returns -1 from the
  // dialog it could not create. Either way nobody saw the text.
  return MessageBoxA(nullptr, text, title, MB_OK) > 0;
}

void exit_process(int code) { ExitProcess(static_cast<UINT>(code)); }

}  // namespace libutils::sysapi
