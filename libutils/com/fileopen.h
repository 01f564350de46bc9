// File names as the command-line programs take them: with or without an
// extension, and "-" for the standard streams. Each class resolves a name,
// opens it as a stream and keeps the resolved name for messages. A name
// whose resolved form would not fit in 259 characters is refused rather than
// cut, since the cut name could be another file. Named outputs are replaced
// only once complete. Nothing here prints anything.
#pragma once

#include <fstream>
#include <iostream>
#include <string>

#include "libutils/com/atomicfile.h"
#include "libutils/com/blockbuf.h"

namespace libutils {

// Only this character separates path components; a backslash is an ordinary
// character of a name.
constexpr char PathDelimiter = '/';

// True when the last component of the name contains a '.'.
bool HasExtension(const char* fn);

// An input file named with one default extension.
class ReadFile {
 public:
  ReadFile();
  ~ReadFile();

  // "-" selects the standard input and the name "(stdin)". Any other name is
  // kept and, when it has no extension and ext is not null, ext is appended.
  // A result longer than 259 characters makes the name too long.
  void SetName(const char* fn, const char* ext);

  // The standard input when the name was "-" (switched to binary when mode
  // asks for it); otherwise the resolved name opened for reading with mode.
  // Null when it cannot be opened (a directory does not count as a file) or
  // the name is too long.
  std::istream* ROpen(std::ios_base::openmode mode);

  // Closes the file; a failing close sets the stream's fail state.
  void Close();

  // The resolved name; for a name that is too long, the name as given.
  const char* IFN() const { return tooLong ? given.c_str() : ifn; }
  bool isStd() const { return std; }
  // True when the last name was refused for its length; nothing was opened.
  bool NameTooLong() const { return tooLong; }

 private:
  char ifn[260];
  bool std;
  std::ifstream ifs;
  bool tooLong = false;
  std::string given;
};

// An input file found by trying a list of extensions in order.
class Read2File {
 public:
  Read2File();
  ~Read2File();

  // "-" gives the standard input (switched to binary when mode asks for
  // it) and the name "(stdin)". A name without an extension is tried with
  // each extension of the null-terminated list exts in order, then as it
  // stands; a name with one is tried only as it stands. Null when nothing
  // opens; IFN() then holds fn, ready for the message. Null without trying
  // anything when fn, or fn with one of the extensions it would be tried
  // with, is longer than 259 characters.
  std::istream* ROpen(const char* fn, const char** exts,
                      std::ios_base::openmode mode);

  // Closes the file if one is open.
  void Close();

  // The resolved name; for a name that is too long, the name as given.
  const char* IFN() const { return tooLong ? given.c_str() : ifn; }
  bool isStd() const { return std; }
  // True when the last name was refused for its length; nothing was opened.
  bool NameTooLong() const { return tooLong; }

 private:
  char ifn[260];
  bool std;
  std::ifstream ifs;
  bool tooLong = false;
  std::string given;
};

// An output file whose name prefers an existing file with a listed extension.
class WriteFile {
 public:
  WriteFile();
  ~WriteFile();

  // As ReadFile::SetName, with "(stdout)" for "-".
  void SetName(const char* fn, const char* ext);

  // "-" selects the standard output. A name with an extension is used as it
  // is. A name without one becomes the first name that exists of fn with
  // each listed extension, then fn itself; when none exists, fn with the
  // first extension of the list (or fn alone when exts is null). Existence
  // is a status query that opens nothing (a directory does not count), so
  // a FIFO of that name cannot block. Too long, as for Read2File, when fn
  // or fn with one of the extensions is longer than 259 characters.
  void SetName(const char* fn, const char** exts);

  // The standard output when the name was "-" (switched to binary when mode
  // asks for it). Otherwise a stream opened with mode on a temporary file
  // beside the resolved name, which Close puts in its place; a device or
  // FIFO is opened directly. Null when it cannot be opened (ErrorText()
  // says why) or the name is too long; nothing is created then.
  std::ostream* WOpen(std::ios_base::openmode mode);

  // Closes the file. When every byte was written, the file is flushed to
  // disk and replaces the target; otherwise, or when that fails, the
  // stream's fail state is set, the temporary file removed, the target
  // keeps its old bytes and ErrorText() says why. The standard output is
  // flushed instead.
  void Close();

  // Gives up the output: the stream is closed, the temporary file removed
  // and the target left as it was. Also what destruction without Close does.
  void Abort();

  // The resolved name; for a name that is too long, the name as given.
  const char* OFN() const { return tooLong ? given.c_str() : ofn; }
  bool isStd() const { return std; }
  // True when the last name was refused for its length.
  bool NameTooLong() const { return tooLong; }
  // The system's explanation of the last failed WOpen or Close.
  const std::string& ErrorText() const { return errorText; }

 private:
  char ofn[260];
  bool std;
  std::ofstream ofs;
  // What callers write to: whole blocks go on to ofs.
  block_buffer blocks;
  std::ostream out{&blocks};
  bool tooLong = false;
  std::string given;
  atomic_file file;
  std::string errorText;
};

// Bytes the stream can still deliver from its read position, or -1 when it
// cannot tell (a pipe). The read position and a good state are kept.
long long remaining_bytes(std::istream& is);

}  // namespace libutils
