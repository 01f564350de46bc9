// Helpers shared by the test binaries: scratch directories, whole-file reads
// and writes, golden-file comparison and running a built program.
#pragma once

#include <string>
#include <vector>

namespace testutil {

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes out of scope.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// The whole file as bytes; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
// The names in a directory, sorted: what a program left behind, hidden
// temporary files included.
std::vector<std::string> ListDirectory(const std::string& dir);
void WriteBytes(const std::string& path, const std::string& bytes);

// The path of a file under tests/data.
std::string DataFile(const std::string& relative);

// Compares actual with the golden file tests/data/<relative>, reporting the
// first differing offset. With UPDATE_GOLDEN=1 in the environment the golden
// file is rewritten instead, for a deliberate change to be reviewed in git.
void ExpectSameAsGolden(const std::string& actual, const std::string& relative);

struct ProgramResult {
  int exit = -1;     // exit status, or 128 + signal number when killed
  std::string out;   // everything written to the standard output, as bytes
  std::string err;   // the standard error as text (line ends as "\n")
};

// Text written through a text-mode stream, with the platform's CR LF line
// ends turned back into "\n"; unchanged where line ends are "\n" already.
std::string Text(const std::string& bytes);

struct RunOptions {
  std::string cwd;              // empty: the current directory
  std::string input;            // bytes fed to the standard input
  std::string stdout_path;      // non-empty: send the standard output there
  bool close_stdout_early = false;  // standard output is a pipe closed at once
};

// Runs a program with the given arguments (args[0] is the path) and waits
// for it.
ProgramResult RunProgram(const std::vector<std::string>& args,
                         const RunOptions& options = RunOptions());

}  // namespace testutil
