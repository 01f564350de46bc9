// The BMP header dump.
#include "dibpeek/dibpeek.h"

#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>

#include "bmp/bmp.h"
#include "libutils/com/console.h"
#include "libutils/com/fileopen.h"

namespace {

// A header byte as it may reach a terminal: printable ASCII as it is, any
// other byte as \xhh, so that a file cannot send control sequences.
std::string Shown(unsigned char c) {
  if (c >= 0x20 && c < 0x7f) return std::string(1, static_cast<char>(c));
  char hex[5];
  std::snprintf(hex, sizeof hex, "\\x%02x", c);
  return hex;
}

// The sixteen lines of Print, with the signature's two bytes (the only
// field printed as characters) made safe to show.
std::string Listing(const BMP& header) {
  std::ostringstream text;
  header.Print(text);
  std::string lines = text.str();
  const std::size_t value = 11;  // after the label "bfType   : "
  lines.replace(value, 2,
                Shown(header.bfType & 0xff) + Shown(header.bfType >> 8));
  return lines;
}

// A short file only runs into the end of the data; a failing device or a
// directory fails the read itself. Files report that through the stream;
// the standard input keeps its error in the C stream beneath it.
bool ReadFailed(const std::istream& in, bool isStd) {
  return in.bad() || (isStd && std::ferror(stdin));
}

int WriteError(std::ostream& err) {
  err << "dibpeek: write error." << std::endl;
  return 1;
}

}  // namespace

int DibPeekMain(int argc, char** argv, std::ostream& out, std::ostream& err) {
  static const char* BmpExts[] = {".bmp", ".BMP", nullptr};
  if (argc < 2) {
    err << "dibpeek filename[.bmp] " << std::endl;
    return 1;
  }
  libutils::Read2File file;
  BMP header;
  for (int i = 1; i < argc; ++i) {
    out << std::endl;
    if (!out) return WriteError(err);
    std::istream* in = file.ROpen(argv[i], BmpExts, std::ios::binary);
    if (!in) {
      err << file.IFN()
          << (file.NameTooLong() ? ": File name too long." : ": File can't open.")
          << std::endl;
      return 1;
    }
    if (file.isStd()) libutils::set_binary_stdin();
    // A short or foreign file is shown as far as it goes: fields that could
    // not be read keep their initial values.
    header.Init();
    header.Read(*in);
    if (ReadFailed(*in, file.isStd())) {
      err << file.IFN() << ": read error." << std::endl;
      file.Close();
      return 1;
    }
    out << "FileName : " << file.IFN() << std::endl;
    out << Listing(header) << std::flush;
    file.Close();
    if (!out) return WriteError(err);
  }
  return 0;
}
