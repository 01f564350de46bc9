// Windows side of the file-system calls behind atomic outputs. Files are
// created and flushed through the C runtime, whose error numbers give the
// same texts as the programs' other messages; the replacement is
// MoveFileExA, which renames over an existing file and, with write-through,
// returns only once the rename is on disk.
#include "libutils/com/fileapi.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace libutils::fileapi {
namespace {

std::string SystemText(int code) { return std::strerror(code); }

// The system's text for a Win32 error, without its line end.
std::string Win32Text(DWORD code) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER |
                               FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<char*>(&text), 0,
                           nullptr);
  std::string result = n && text ? std::string(text, n) : "Error " +
                                                              std::to_string(code);
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
    result.pop_back();
  }
  return result;
}

// Names to remove when Ctrl+C or a termination request ends the process;
// the same fixed registry as on POSIX, so the handler never allocates.
constexpr int Slots = 16;
constexpr std::size_t NameSize = 1024;
char names[Slots][NameSize];
std::atomic<int> states[Slots];

const int EndingSignals[] = {SIGINT, SIGTERM, SIGBREAK};

extern "C" void RemoveAndEnd(int sig) {
  for (int i = 0; i < Slots; ++i) {
    if (states[i].load() == 1) DeleteFileA(names[i]);
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void InstallHandlers() {
  for (int sig : EndingSignals) {
    auto old = std::signal(sig, RemoveAndEnd);
    // A signal the program or its caller chose to handle stays theirs.
    if (old != SIG_DFL && old != SIG_ERR) std::signal(sig, old);
  }
}

int Register(const std::string& name) {
  for (int i = 0; i < Slots; ++i) {
    int expected = 0;
    if (!states[i].compare_exchange_strong(expected, 2)) continue;
    std::memcpy(names[i], name.c_str(), name.size() + 1);
    states[i].store(1);
    return i;
  }
  return -1;
}

}  // namespace

kind query(const std::string& name) {
  // Device names (NUL, CON, COM1) resolve into the device namespace; they
  // exist in every directory without being files.
  char full[MAX_PATH * 2];
  DWORD n = GetFullPathNameA(name.c_str(), sizeof full, full, nullptr);
  if (n > 0 && n < sizeof full && std::strncmp(full, "\\\\.\\", 4) == 0) {
    return kind::other;
  }
  DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kind::other
                                                   : kind::regular;
  }
  DWORD code = GetLastError();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
      code == ERROR_INVALID_NAME) {
    return kind::missing;
  }
  // Some devices refuse an attribute query (wine's view of /dev/full) but
  // still open for no access at all, which neither reads nor blocks.
  HANDLE h = CreateFileA(name.c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return kind::missing;
  DWORD type = GetFileType(h);
  CloseHandle(h);
  return type == FILE_TYPE_DISK ? kind::regular : kind::other;
}

// Links are rare on Windows and need privileges to make; the name is used
// as it stands.
bool resolve(const std::string& name, std::string& out, std::string&) {
  out = name;
  return true;
}

bool writable(const std::string& name, std::string& error) {
  DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_READONLY)) {
    error = SystemText(EACCES);
    return false;
  }
  return true;
}

int create(const std::string& name, const std::string&, bool& taken,
           int& slot, std::string& error) {
  taken = false;
  slot = -1;
  static std::once_flag installed;
  std::call_once(installed, InstallHandlers);
  if (name.size() >= NameSize) {
    error = SystemText(ENAMETOOLONG);
    return -1;
  }
  // Read and write permission: what the C library gives a new file.
  int fd = _open(name.c_str(),
                 _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    taken = errno == EEXIST;
    error = SystemText(errno);
    return -1;
  }
  slot = Register(name);
  if (slot < 0) {
    _close(fd);
    DeleteFileA(name.c_str());
    error = SystemText(EMFILE);
    return -1;
  }
  return fd;
}

bool sync_close(int handle, std::string& error) {
  int code = 0;
  if (_commit(handle) != 0) code = errno;
  if (_close(handle) != 0 && code == 0) code = errno;
  if (code == 0) return true;
  error = SystemText(code);
  return false;
}

void close(int handle) { _close(handle); }

// Windows writes back on its own schedule; _commit at the end waits for it.
void start_writeback(int) {}

bool replace(const std::string& from, const std::string& to,
             std::string& error) {
  if (MoveFileExA(from.c_str(), to.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  error = Win32Text(GetLastError());
  return false;
}

void remove(const std::string& name) { DeleteFileA(name.c_str()); }

void unregister_removal(int slot) {
  if (slot >= 0 && slot < Slots) states[slot].store(0);
}

bool is_separator(char c) { return c == '/' || c == '\\'; }

unsigned long process_id() { return GetCurrentProcessId(); }

bool same_file(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const char* names[2] = {a, b};
  for (int i = 0; i < 2; ++i) {
    // No access asked: only the identity is read, and a file in use by
    // someone else can still be compared.
    HANDLE h = CreateFileA(names[i], 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BOOL ok = GetFileInformationByHandle(h, &info[i]);
    CloseHandle(h);
    if (!ok) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

bool exists(const char* name) { return query(name) != kind::missing; }

// Windows has no file-size signal.
void ignore_file_size_signal() {}

}  // namespace libutils::fileapi
