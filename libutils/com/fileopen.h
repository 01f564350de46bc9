// File names as the command-line programs take them: with or without an
// extension, and "-" for the standard streams. Each class resolves a name,
// opens it as a stream and keeps the resolved name for messages. Names are
// cut silently to 259 characters. Nothing here prints anything.
#pragma once

#include <fstream>
#include <iostream>

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
  // kept (cut to 259 characters) and, when it has no extension and ext is not
  // null, ext is appended as far as it fits.
  void SetName(const char* fn, const char* ext);

  // The standard input when the name was "-"; otherwise the resolved name
  // opened for reading with mode. Null when it cannot be opened (a directory
  // does not count as a file).
  std::istream* ROpen(std::ios_base::openmode mode);

  // Closes the file; a failing close sets the stream's fail state.
  void Close();

  const char* IFN() const { return ifn; }
  bool isStd() const { return std; }

 private:
  char ifn[260];
  bool std;
  std::ifstream ifs;
};

// An input file found by trying a list of extensions in order.
class Read2File {
 public:
  Read2File();
  ~Read2File();

  // "-" gives the standard input and the name "(stdin)". A name without an
  // extension is tried with each extension of the null-terminated list exts
  // in order, then as it stands; a name with one is tried only as it stands.
  // Null when nothing opens; IFN() then holds fn, ready for the message.
  std::istream* ROpen(const char* fn, const char** exts,
                      std::ios_base::openmode mode);

  // Closes the file if one is open.
  void Close();

  const char* IFN() const { return ifn; }
  bool isStd() const { return std; }

 private:
  char ifn[260];
  bool std;
  std::ifstream ifs;
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
  // first extension of the list (or fn alone when exts is null).
  void SetName(const char* fn, const char** exts);

  // The standard output when the name was "-"; otherwise the resolved name
  // created or truncated for writing with mode. Null when it cannot be opened.
  std::ostream* WOpen(std::ios_base::openmode mode);

  // Closes the file; a failing close (data that could not be written out)
  // sets the stream's fail state. The standard output is flushed instead.
  void Close();

  const char* OFN() const { return ofn; }
  bool isStd() const { return std; }

 private:
  char ofn[260];
  bool std;
  std::ofstream ofs;
};

}  // namespace libutils
