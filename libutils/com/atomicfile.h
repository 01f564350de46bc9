// Output files that appear complete or not at all. A named output is written
// to a temporary file beside it and renamed over the target only once every
// byte is on disk, so a full disk, a signal or a crash leaves the previous
// file as it was and never a picture whose header claims more than it holds.
// atomicfile_posix.cpp and atomicfile_win32.cpp implement it; CMake builds one.
#pragma once

#include <string>

namespace libutils {

// Replaces a named output file only once it is complete.
class atomic_file {
 public:
  atomic_file() = default;
  // Discards the temporary file unless commit() succeeded.
  ~atomic_file();
  atomic_file(const atomic_file&) = delete;
  atomic_file& operator=(const atomic_file&) = delete;

  // Prepares to write target. A target that exists and is not a regular
  // file (a character device, a FIFO) is written directly: path() is target
  // itself and commit() only checks. Otherwise a new, uniquely named
  // temporary file is created in the target's directory (after following a
  // symbolic link to the file it points to), with the permissions a plain
  // creation would give (an existing target's own permissions, which a plain
  // overwrite keeps), and registered for removal on SIGINT, SIGTERM and
  // SIGHUP. An existing target that could not be opened for writing is
  // refused as a plain open would refuse it. False, with the system's text
  // in error, when that fails; nothing is created then. A second open
  // discards what the first prepared.
  bool open(const std::string& target, std::string& error);

  // The name to write to, opened by the caller with any library; empty
  // before a successful open.
  const std::string& path() const { return temp; }
  bool direct() const { return is_direct; }

  // Call after the caller closed its stream without error: flushes the file
  // to disk and renames it over the target. False with error set on
  // failure; the temporary file is then removed and the target untouched.
  // A direct target only needs the open to have succeeded.
  bool commit(std::string& error);

  // Starts writing to disk what the caller has written so far, without
  // waiting, so that commit() has less left to wait for. Nothing for a
  // direct target, or where the system cannot.
  void start_writeback();

  // Removes the temporary file, if any; the target keeps its bytes.
  void discard();

 private:
  std::string target;  // the file to replace, symbolic links resolved
  std::string temp;    // what path() hands out
  bool is_direct = false;
  bool pending = false;  // a temporary file exists and is ours to remove
  int handle = -1;       // the temporary file, held open until commit
  int slot = -1;         // its place in the signal-time removal registry
};

// True when a and b name the same existing file (device and inode after
// following links). False when either does not exist.
bool same_file(const char* a, const char* b);

// Whether a name exists, by a status query that never opens it: opening a
// FIFO to probe it would block until a writer came.
bool file_exists(const char* name);

// Makes an exceeded file-size limit an ordinary write error (EFBIG) instead
// of a signal that ends the process without a word. open() calls it too.
void ignore_file_size_signal();

}  // namespace libutils
