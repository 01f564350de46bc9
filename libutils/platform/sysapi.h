// libutils/platform/sysapi.h: the only operating-system calls libutils makes.
// sysapi_posix.cpp and sysapi_win32.cpp implement it; CMake builds one.
//
// Internal to libutils: nothing outside the library includes this header.
// Handles cross the seam as opaque integers and errors as plain numbers, so
// the public headers never see <windows.h> or <sys/mman.h>.
#pragma once

#include <cstdint>
#include <string>

namespace libutils::sysapi {

// An open file or a mapping object. On POSIX a file handle is a descriptor
// and a mapping handle points to a small record the seam keeps; on Windows
// both are HANDLE values.
using handle = std::intptr_t;
constexpr handle no_handle = -1;

// Opens an existing file for reading, or for reading and writing, with
// exclusive access: while it is open, a second exclusive opener (in this
// process or another) fails. no_handle on failure, with last_error() set.
handle open_file(const char* name, bool writable);
void close_file(handle file);

// The file's size from a file-status query, of an open file or by name;
// false when the query fails.
bool file_size(handle file, std::uint64_t& size);
bool file_size(const char* name, std::uint64_t& size);

// Creates a mapping object of max_size bytes; views must lie inside it.
// With file == no_handle the mapping is backed by the paging file
// (anonymous memory) and max_size must not be 0. With a file, max_size 0
// means the file's current size; a writable mapping larger than the file
// extends the file, a read-only one larger than the file fails, and so does
// mapping a file of length 0 whole. no_handle on failure, with last_error()
// set.
handle create_mapping(handle file, bool writable, std::uint64_t max_size);
void close_mapping(handle mapping);

// Maps size bytes of the mapping starting at offset, which need not be
// page-aligned. Null when the range does not lie inside the mapping or the
// system refuses, with last_error() set. The address is released with
// unmap_view(address, size).
void* map_view(handle mapping, bool writable, std::uint64_t offset,
               std::uint64_t size);
void unmap_view(void* address, std::uint64_t size);

// errno on POSIX, GetLastError() on Windows; set_last_error restores a value
// saved earlier, so that printing a message cannot change what a later
// report sees.
int last_error();
void set_last_error(int code);

// The system's message text for an error code, as the system words it
// (Windows texts end with a line break, POSIX texts do not).
std::string error_text(int code);

// Shows text in the system's modal message box, titled title, with no owner
// window and a single OK button, and waits until it is closed. False when
// the system has no such box or cannot show one (no desktop, no display):
// the caller then has to tell the user some other way.
bool show_message_box(const char* title, const char* text);

// Ends the process with the given exit code; does not return.
[[noreturn]] void exit_process(int code);

}  // namespace libutils::sysapi
