// BMP headers read the way dibpeek reads them: header, listing, then the
// skip to the pixel data; also the whole dibpeek program on the same bytes
// saved as a file.
#include <cstdint>
#include <sstream>
#include <string>

#include "bmp/bmp.h"
#include "dibpeek/dibpeek.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream is(bytes, std::ios::binary);
  BMP header;
  header.Init();
  header.Read(is);
  std::ostringstream listing;
  header.Print(listing);
  const std::string text = listing.str();
  // The signature prints as two raw characters, which may be line feeds.
  std::size_t lines = 0;
  for (char c : text) lines += c == '\n';
  lines -= (header.bfType & 0xff) == '\n';
  lines -= (header.bfType >> 8) == '\n';
  if (lines != 16) fuzzsupport::Fail("Print gave other than sixteen lines");
  BMP_SkipColorMap_TellData(header, is);
  (void)header.scanLineBytes();

  // A whole header must write back as the very bytes it was read from.
  if (size >= BMP::size_bmfh + BMP::size_bmih) {
    std::ostringstream os(std::ios::binary);
    header.Write(os);
    if (os.str() != bytes.substr(0, 54))
      fuzzsupport::Fail("header does not write back as read");
  }

  const std::string path = fuzzsupport::ScratchDir() + "/peek.bmp";
  if (!fuzzsupport::WriteBytes(path, data, size)) return 0;
  std::string program = "dibpeek";
  std::string name = path;
  char* argv[] = {program.data(), name.data(), nullptr};
  std::ostringstream out, err;
  if (DibPeekMain(2, argv, out, err) != 0)
    fuzzsupport::Fail("dibpeek refused a file that exists");
  // dibpeek shows the signature's two bytes escaped where they are not
  // printable; every field after them must read exactly as Print has it.
  const std::size_t afterSignature = 13;  // "bfType   : " and two bytes
  if (out.str().find(text.substr(afterSignature)) == std::string::npos)
    fuzzsupport::Fail("dibpeek listing differs from Print");
  for (char c : out.str()) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c != '\n' && (u < 0x20 || u >= 0x7f))
      fuzzsupport::Fail("dibpeek let a control byte through");
  }
  return 0;
}
