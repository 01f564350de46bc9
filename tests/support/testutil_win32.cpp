// Running a program under test with Windows process calls.
#include "tests/support/testutil.h"

#include <windows.h>

namespace testutil {
namespace {

// Quotes one argument so that the C runtime's command-line parser gives it
// back unchanged: backslashes are literal except before a quote.
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
    return arg;
  }
  std::string q = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') q.append(backslashes * 2 + 1, '\\');
    else q.append(backslashes, '\\');
    backslashes = 0;
    q += c;
  }
  q.append(backslashes * 2, '\\');
  q += '"';
  return q;
}

HANDLE OpenInheritable(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                     write ? CREATE_ALWAYS : OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& args,
                         const RunOptions& options) {
  ProgramResult result;
  ScopedTempDir io;
  std::string in_path = io.File("stdin");
  std::string out_path =
      options.stdout_path.empty() ? io.File("stdout") : options.stdout_path;
  std::string err_path = io.File("stderr");
  WriteBytes(in_path, options.input);

  HANDLE in = OpenInheritable(in_path, false);
  HANDLE err = OpenInheritable(err_path, true);
  HANDLE out = INVALID_HANDLE_VALUE;
  HANDLE pipe_read = nullptr;
  if (options.close_stdout_early) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    if (!CreatePipe(&pipe_read, &out, &sa, 0)) out = INVALID_HANDLE_VALUE;
    SetHandleInformation(pipe_read, HANDLE_FLAG_INHERIT, 0);
  } else {
    out = OpenInheritable(out_path, true);
  }
  std::string command;
  for (const std::string& a : args) {
    if (!command.empty()) command += ' ';
    command += Quote(a);
  }
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  BOOL started =
      in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE &&
      err != INVALID_HANDLE_VALUE &&
      CreateProcessA(args[0].c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                     nullptr, options.cwd.empty() ? nullptr : options.cwd.c_str(),
                     &si, &pi);
  if (pipe_read) CloseHandle(pipe_read);
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
  if (!started) return result;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  result.exit = static_cast<int>(code);
  if (!options.close_stdout_early) result.out = ReadBytes(out_path);
  // The standard error is a text stream: compare it as text everywhere.
  result.err = Text(ReadBytes(err_path));
  return result;
}

}  // namespace testutil
