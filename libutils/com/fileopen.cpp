// Name completion with default extensions and opening as streams.
#include "libutils/com/fileopen.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace libutils {
namespace {

constexpr std::size_t MaxName = 259;

// Copies src into a 260-byte name buffer, cut to 259 characters.
void SetTo(char* dst, const char* src) {
  std::size_t n = std::strlen(src);
  if (n > MaxName) n = MaxName;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

// Appends ext as far as it fits within 259 characters.
void Append(char* dst, const char* ext) {
  std::size_t used = std::strlen(dst);
  std::size_t n = std::strlen(ext);
  if (used + n > MaxName) n = MaxName - used;
  std::memcpy(dst + used, ext, n);
  dst[used + n] = '\0';
}

// Resolves a name the way ReadFile and WriteFile share.
void ResolveName(char* dst, bool& std_flag, const char* fn, const char* ext,
                 const char* std_name) {
  if (std::strcmp(fn, "-") == 0) {
    SetTo(dst, std_name);
    std_flag = true;
    return;
  }
  SetTo(dst, fn);
  if (!HasExtension(dst) && ext) Append(dst, ext);
  std_flag = false;
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
  ResolveName(ifn, std, fn, ext, "(stdin)");
}

std::istream* ReadFile::ROpen(std::ios_base::openmode mode) {
  if (std) return &std::cin;
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
  if (std::strcmp(fn, "-") == 0) {
    std = true;
    SetTo(ifn, "(stdin)");
    return &std::cin;
  }
  if (ifs.is_open()) ifs.close();
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

WriteFile::~WriteFile() {
  if (ofs.is_open()) ofs.close();
}

void WriteFile::SetName(const char* fn, const char* ext) {
  ResolveName(ofn, std, fn, ext, "(stdout)");
}

void WriteFile::SetName(const char* fn, const char** exts) {
  if (std::strcmp(fn, "-") == 0) {
    SetTo(ofn, "(stdout)");
    std = true;
    return;
  }
  std = false;
  if (HasExtension(fn)) {
    SetTo(ofn, fn);
    return;
  }
  Read2File rf;
  if (rf.ROpen(fn, exts, std::ios_base::binary)) {
    SetTo(ofn, rf.IFN());
    rf.Close();
    return;
  }
  SetTo(ofn, fn);
  if (exts && *exts) Append(ofn, *exts);
}

std::ostream* WriteFile::WOpen(std::ios_base::openmode mode) {
  if (std) return &std::cout;
  if (ofs.is_open()) ofs.close();
  ofs.clear();
  ofs.open(ofn, mode | std::ios_base::out | std::ios_base::trunc);
  if (!ofs.is_open()) {
    ofs.clear();
    return nullptr;
  }
  return &ofs;
}

void WriteFile::Close() {
  if (std) {
    std::cout.flush();
    return;
  }
  ofs.close();
}

}  // namespace libutils
