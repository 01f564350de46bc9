// The PNG writer and the count files in a build without libpng or OpenEXR
// (the Windows cross build has neither): the interfaces stay, and every
// attempt to use them says why it cannot work.
#include "imageio/countfile.h"
#include "imageio/pngwriter.h"

namespace {
const std::string NoString;
}  // namespace

#ifndef IMAGEIO_HAVE_PNG
bool PngAvailable() { return false; }
struct PngWriter::State {};
PngWriter::PngWriter() = default;
PngWriter::~PngWriter() = default;
bool PngWriter::Open(const std::string& target, std::uint32_t, std::uint32_t,
                     const PngOptions&, std::string& error) {
  error = target + ": PNG output is not available in this build";
  return false;
}
PixelLayout PngWriter::Layout() const { return PixelLayout::Rgb8; }
std::size_t PngWriter::RowBytes() const { return 0; }
bool PngWriter::WriteRow(const void*, std::string& error) {
  error = "PNG output is not available in this build";
  return false;
}
bool PngWriter::Finish(std::string& error) {
  error = "PNG output is not available in this build";
  return false;
}
void PngWriter::Abandon() {}
#endif

#ifndef IMAGEIO_HAVE_OPENEXR
const char CountViewAttribute[] = "mandel.view";
bool CountFilesAvailable() { return false; }
struct CountFileWriter::State {};
CountFileWriter::CountFileWriter() = default;
CountFileWriter::~CountFileWriter() = default;
bool CountFileWriter::Open(const std::string& target, std::uint32_t,
                           std::uint32_t, std::uint32_t, const std::string&,
                           bool, std::string& error) {
  error = target + ": count files are not available in this build";
  return false;
}
bool CountFileWriter::WriteLine(const std::uint32_t*, const float*,
                                std::string& error) {
  error = "count files are not available in this build";
  return false;
}
bool CountFileWriter::Finish(std::string& error) {
  error = "count files are not available in this build";
  return false;
}
void CountFileWriter::Abandon() {}

struct CountFileReader::State {};
CountFileReader::CountFileReader() = default;
CountFileReader::~CountFileReader() = default;
bool CountFileReader::Open(const std::string& path, std::string& error) {
  error = path + ": count files are not available in this build";
  return false;
}
std::uint32_t CountFileReader::Width() const { return 0; }
std::uint32_t CountFileReader::Height() const { return 0; }
std::uint32_t CountFileReader::Limit() const { return 0; }
std::uint32_t CountFileReader::Bias() const { return 0; }
const std::string& CountFileReader::ViewText() const { return NoString; }
bool CountFileReader::ReadLine(std::uint64_t, std::uint32_t*, float*,
                               std::string& error) {
  error = "count files are not available in this build";
  return false;
}
#endif
