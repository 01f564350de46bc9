// Running a program under test with POSIX process calls.
#include "tests/support/testutil.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testutil {

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
    for (const std::string& a : args) {
      argv.push_back(const_cast<char*>(a.c_str()));
    }
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
