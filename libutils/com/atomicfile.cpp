// The portable half of atomic outputs: which targets are replaced, how the
// temporary file is named, and the order of flush, rename and clean-up.
#include "libutils/com/atomicfile.h"

#include "libutils/com/fileapi.h"

#include <atomic>

namespace libutils {
namespace {

// The directory part of name, with its separator, or "" for a bare name.
// The system's own separators count here, not only PathDelimiter: the
// temporary file must land in the target's directory for the rename to be
// atomic.
std::string DirectoryOf(const std::string& name, std::string& base) {
  std::size_t cut = name.size();
  while (cut > 0 && !fileapi::is_separator(name[cut - 1])) --cut;
  if (cut == 0) {
    base = name;
    return "";
  }
  base = name.substr(cut);
  return name.substr(0, cut);
}

}  // namespace

atomic_file::~atomic_file() { discard(); }

bool atomic_file::open(const std::string& name, std::string& error) {
  discard();
  is_direct = false;
  target.clear();
  temp.clear();

  const fileapi::kind kind = fileapi::query(name);
  if (kind == fileapi::kind::other) {
    // Devices and FIFOs cannot be replaced by a rename, and nothing of
    // theirs can be lost by writing to them as they are.
    is_direct = true;
    target = temp = name;
    return true;
  }
  std::string resolved;
  if (!fileapi::resolve(name, resolved, error)) return false;
  const bool existing = kind == fileapi::kind::regular;
  // A rename would replace a write-protected file that a plain open refuses.
  if (existing && !fileapi::writable(resolved, error)) return false;

  fileapi::ignore_file_size_signal();
  std::string base;
  const std::string dir = DirectoryOf(resolved, base);
  // A short prefix of the target's own name tells a leftover from a crash
  // apart; it is kept short so the temporary name stays within the system's
  // limit for one component whatever the target's length.
  const std::string prefix =
      dir + "." + base.substr(0, 32) + "." +
      std::to_string(fileapi::process_id()) + ".";
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = prefix + std::to_string(counter++) + ".tmp";
    bool taken = false;
    int s = -1;
    int h = fileapi::create(candidate, existing ? resolved : std::string(),
                            taken, s, error);
    if (h < 0) {
      if (taken) continue;
      return false;
    }
    handle = h;
    slot = s;
    pending = true;
    target = resolved;
    temp = candidate;
    return true;
  }
  error = "No unused temporary file name";
  return false;
}

bool atomic_file::commit(std::string& error) {
  if (is_direct) return true;
  if (!pending) {
    error = "No file was prepared";
    return false;
  }
  // Data first, then the name: after a crash the target is either the old
  // file or the complete new one, never a new name over missing blocks.
  const int h = handle;
  handle = -1;
  if (!fileapi::sync_close(h, error) ||
      !fileapi::replace(temp, target, error)) {
    discard();
    return false;
  }
  fileapi::unregister_removal(slot);
  slot = -1;
  pending = false;
  return true;
}

void atomic_file::start_writeback() {
  if (pending && handle >= 0) fileapi::start_writeback(handle);
}

void atomic_file::discard() {
  if (handle >= 0) {
    fileapi::close(handle);
    handle = -1;
  }
  if (pending) {
    fileapi::remove(temp);
    pending = false;
  }
  // Unregistered only once the file is gone, so a signal in between still
  // finds it.
  if (slot >= 0) {
    fileapi::unregister_removal(slot);
    slot = -1;
  }
}

bool same_file(const char* a, const char* b) {
  return fileapi::same_file(a, b);
}

bool file_exists(const char* name) { return fileapi::exists(name); }

void ignore_file_size_signal() { fileapi::ignore_file_size_signal(); }

}  // namespace libutils
