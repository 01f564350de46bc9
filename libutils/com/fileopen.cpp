// Name completion with default extensions and opening as streams.
#include "libutils/com/fileopen.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "libutils/com/console.h"

namespace libutils {
namespace {

constexpr std::size_t MaxName = 259;

// Copies src, which the caller checked to fit, into a 260-byte name buffer.
void SetTo(char* dst, const char* src) {
  std::size_t n = std::strlen(src);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

// Appends ext, which the caller checked to fit.
void Append(char* dst, const char* ext) {
  std::size_t used = std::strlen(dst);
  std::memcpy(dst + used, ext, std::strlen(ext) + 1);
}

// Whether fn, or fn with any extension of the list that it would be tried
// with, is longer than a name buffer holds. Cutting such a name could make
// it another, existing file, so it is refused instead.
bool TooLong(const char* fn, const char* const* exts) {
  const std::size_t n = std::strlen(fn);
  if (n > MaxName) return true;
  if (!exts || HasExtension(fn)) return false;
  for (const char* const* e = exts; *e; ++e) {
    if (n + std::strlen(*e) > MaxName) return true;
  }
  return false;
}

// Resolves a name the way ReadFile and WriteFile share; false when it is
// too long, with given holding it.
bool ResolveName(char* dst, bool& std_flag, std::string& given,
                 const char* fn, const char* ext, const char* std_name) {
  if (std::strcmp(fn, "-") == 0) {
    SetTo(dst, std_name);
    std_flag = true;
    return true;
  }
  std_flag = false;
  const char* exts[] = {ext, nullptr};
  if (TooLong(fn, exts)) {
    given = fn;
    dst[0] = '\0';
    return false;
  }
  SetTo(dst, fn);
  if (!HasExtension(dst) && ext) Append(dst, ext);
  return true;
}

// A directory opens as a stream on some systems but never reads as a file;
// refusing it here makes every platform behave as Windows does.
bool OpenForReading(std::ifstream& ifs, const char* name,
                    std::ios_base::openmode mode) {
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) return false;
  ifs.clear();
  ifs.open(name, mode | std::ios_base::in);
  if (ifs.is_open()) return true;
  ifs.clear();
  return false;
}

// A file that could be the output's target; a directory cannot.
bool ExistsAsTarget(const char* name) {
  std::error_code ec;
  return file_exists(name) && !std::filesystem::is_directory(name, ec);
}

}  // namespace

bool HasExtension(const char* fn) {
  const char* last = std::strrchr(fn, PathDelimiter);
  const char* component = last ? last + 1 : fn;
  return std::strchr(component, '.') != nullptr;
}

ReadFile::ReadFile() : std(true) { SetTo(ifn, "(stdin)"); }

ReadFile::~ReadFile() {
  if (ifs.is_open()) ifs.close();
}

void ReadFile::SetName(const char* fn, const char* ext) {
  tooLong = !ResolveName(ifn, std, given, fn, ext, "(stdin)");
}

std::istream* ReadFile::ROpen(std::ios_base::openmode mode) {
  if (tooLong) return nullptr;
  if (std) {
    if (mode & std::ios_base::binary) set_binary_stdin();
    return &std::cin;
  }
  if (ifs.is_open()) ifs.close();
  if (!OpenForReading(ifs, ifn, mode)) return nullptr;
  return &ifs;
}

void ReadFile::Close() {
  if (!std) ifs.close();
}

Read2File::Read2File() : std(true) { ifn[0] = '\0'; }

Read2File::~Read2File() {
  if (ifs.is_open()) ifs.close();
}

std::istream* Read2File::ROpen(const char* fn, const char** exts,
                               std::ios_base::openmode mode) {
  tooLong = false;
  if (std::strcmp(fn, "-") == 0) {
    std = true;
    SetTo(ifn, "(stdin)");
    if (mode & std::ios_base::binary) set_binary_stdin();
    return &std::cin;
  }
  if (ifs.is_open()) ifs.close();
  if (TooLong(fn, exts)) {
    tooLong = true;
    given = fn;
    return nullptr;
  }
  SetTo(ifn, fn);
  if (!HasExtension(ifn) && exts) {
    for (const char** e = exts; *e; ++e) {
      Append(ifn, *e);
      if (OpenForReading(ifs, ifn, mode)) {
        std = false;
        return &ifs;
      }
      SetTo(ifn, fn);
    }
  }
  if (OpenForReading(ifs, ifn, mode)) {
    std = false;
    return &ifs;
  }
  return nullptr;
}

void Read2File::Close() {
  if (ifs.is_open()) ifs.close();
}

WriteFile::WriteFile() : std(true) { SetTo(ofn, "(stdout)"); }

WriteFile::~WriteFile() { Abort(); }

void WriteFile::SetName(const char* fn, const char* ext) {
  tooLong = !ResolveName(ofn, std, given, fn, ext, "(stdout)");
}

void WriteFile::SetName(const char* fn, const char** exts) {
  tooLong = false;
  if (std::strcmp(fn, "-") == 0) {
    SetTo(ofn, "(stdout)");
    std = true;
    return;
  }
  std = false;
  if (TooLong(fn, exts)) {
    tooLong = true;
    given = fn;
    ofn[0] = '\0';
    return;
  }
  SetTo(ofn, fn);
  if (HasExtension(fn)) return;
  if (exts) {
    for (const char** e = exts; *e; ++e) {
      Append(ofn, *e);
      if (ExistsAsTarget(ofn)) return;
      SetTo(ofn, fn);
    }
  }
  if (ExistsAsTarget(ofn)) return;
  if (exts && *exts) Append(ofn, *exts);
}

std::ostream* WriteFile::WOpen(std::ios_base::openmode mode) {
  errorText.clear();
  if (tooLong) return nullptr;
  if (std) {
    if (mode & std::ios_base::binary) set_binary_stdout();
    return &std::cout;
  }
  Abort();
  if (!file.open(ofn, errorText)) return nullptr;
  ofs.clear();
  errno = 0;
  ofs.open(file.path(), mode | std::ios_base::out | std::ios_base::trunc);
  if (!ofs.is_open()) {
    errorText = std::strerror(errno != 0 ? errno : EIO);
    ofs.clear();
    file.discard();
    return nullptr;
  }
  blocks.attach(ofs.rdbuf(), [this] { file.start_writeback(); });
  out.clear();
  return &out;
}

void WriteFile::Close() {
  if (std) {
    std::cout.flush();
    return;
  }
  if (!ofs.is_open()) return;
  // A full disk may show only now, when the buffer is written out. errno is
  // left as the caller set it, since an earlier write may have failed.
  out.flush();
  ofs.close();
  if (out.fail() || ofs.fail()) {
    out.setstate(std::ios_base::failbit);
    errorText = std::strerror(errno != 0 ? errno : EIO);
    file.discard();
    return;
  }
  if (!file.commit(errorText)) out.setstate(std::ios_base::failbit);
}

void WriteFile::Abort() {
  blocks.attach(nullptr);
  if (ofs.is_open()) ofs.close();
  file.discard();
}

long long remaining_bytes(std::istream& is) {
  std::streampos here = is.tellg();
  if (here == std::streampos(-1)) {
    is.clear();
    return -1;
  }
  is.seekg(0, std::ios::end);
  std::streampos end = is.tellg();
  is.seekg(here);
  if (end == std::streampos(-1) || !is) {
    is.clear();
    is.seekg(here);
    return -1;
  }
  return static_cast<long long>(end - here);
}

}  // namespace libutils
