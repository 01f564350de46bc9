// The BMP header dump.
#include "dibpeek/dibpeek.h"

#include <ostream>

#include "bmp/bmp.h"
#include "libutils/com/console.h"
#include "libutils/com/fileopen.h"

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
    out << "FileName : " << file.IFN() << std::endl;
    header.Print(out);
    file.Close();
  }
  return 0;
}
