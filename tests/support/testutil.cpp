// Test helpers; program runs use POSIX process calls.
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testutil {

ScopedTempDir::ScopedTempDir() {
  std::string pattern = (fs::temp_directory_path() / "msuiteXXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    ADD_FAILURE() << "mkdtemp failed";
    return;
  }
  path_ = buf.data();
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

std::string ScopedTempDir::File(const std::string& name) const {
  return path_ + "/" + name;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string DataFile(const std::string& relative) {
  return std::string(TESTUTIL_DATA_DIR) + "/" + relative;
}

void ExpectSameAsGolden(const std::string& actual,
                        const std::string& relative) {
  std::string path = DataFile(relative);
  const char* update = std::getenv("UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    fs::create_directories(fs::path(path).parent_path());
    WriteBytes(path, actual);
    return;
  }
  if (!FileExists(path)) {
    ADD_FAILURE() << "golden file missing: " << path
                  << " (run with UPDATE_GOLDEN=1 to create it)";
    return;
  }
  std::string expected = ReadBytes(path);
  std::size_t n = std::min(expected.size(), actual.size());
  std::size_t i = 0;
  while (i < n && expected[i] == actual[i]) ++i;
  if (i == n && expected.size() == actual.size()) return;
  ADD_FAILURE() << relative << ": first difference at byte " << i
                << " (golden " << expected.size() << " bytes, actual "
                << actual.size() << " bytes)";
}

ProgramResult RunProgram(const std::vector<std::string>& args,
                         const RunOptions& options) {
  ProgramResult result;
  ScopedTempDir io;
  std::string in_path = io.File("stdin");
  std::string out_path =
      options.stdout_path.empty() ? io.File("stdout") : options.stdout_path;
  std::string err_path = io.File("stderr");
  WriteBytes(in_path, options.input);

  int pipefd[2] = {-1, -1};
  if (options.close_stdout_early && pipe(pipefd) != 0) return result;

  pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    int in = open(in_path.c_str(), O_RDONLY);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int out;
    if (options.close_stdout_early) {
      close(pipefd[0]);
      out = pipefd[1];
    } else {
      out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (options.close_stdout_early) {
    close(pipefd[1]);
    close(pipefd[0]);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) {
    result.exit = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.exit = 128 + WTERMSIG(status);
  }
  if (!options.close_stdout_early) result.out = ReadBytes(out_path);
  result.err = ReadBytes(err_path);
  return result;
}

}  // namespace testutil
