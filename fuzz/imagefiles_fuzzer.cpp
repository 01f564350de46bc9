// The readers of the renderer's own files on hostile bytes: the view text
// of a PNG, and a saved view pair read line by line in both directions.
//
// Input: the bytes as a PNG; then, split at the first NUL, the info text and
// the data file of a saved view.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzzsupport.h"
#include "imageio/pngtext.h"
#include "imageio/viewpair.h"

namespace {

// Views above this many pixels are read only in part, so a run stays fast.
constexpr std::uint64_t MaxLines = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::istringstream is(bytes, std::ios::binary);
    std::string text, error;
    bool ok = ReadPngViewText(is, text, error);
    if (ok != error.empty()) fuzzsupport::Fail("PNG text: ok and message disagree");
    if (!ok && error != "not a PNG file" && error != "truncated PNG file" &&
        error != "damaged PNG file" && error != "PNG file holds no view") {
      fuzzsupport::Fail("PNG text: unexpected message");
    }
    if (ok && !LooksLikePng(bytes.data(), bytes.size())) {
      fuzzsupport::Fail("PNG text: read from a file without the signature");
    }
  }

  std::vector<std::string> parts = fuzzsupport::SplitArgs(data, size, 2);
  const std::string base = fuzzsupport::ScratchDir() + "/view";
  if (!fuzzsupport::WriteBytes(base + ".mni", parts.empty() ? "" : parts[0].data(),
                               parts.empty() ? 0 : parts[0].size()) ||
      !fuzzsupport::WriteBytes(base + ".mnd",
                               parts.size() < 2 ? "" : parts[1].data(),
                               parts.size() < 2 ? 0 : parts[1].size())) {
    return 0;
  }
  ViewPairReader reader;
  std::string error;
  if (!reader.Open(base, error)) {
    if (error.empty()) fuzzsupport::Fail("view pair: refused without a message");
    return 0;
  }
  const MandArea& a = reader.Area();
  // Open checked the data file's length: every line must now read, top
  // first and bottom first alike, with the same counts.
  const std::uint64_t lines = a.dotsY < MaxLines ? a.dotsY : MaxLines;
  std::vector<std::uint16_t> up(a.dotsX), down(a.dotsX);
  for (std::uint64_t l = 0; l < lines; ++l) {
    if (!reader.ReadLine(l, up.data(), error) ||
        !reader.ReadLine(a.dotsY - 1 - l, down.data(), error) ||
        !reader.ReadLine(l, down.data(), error)) {
      fuzzsupport::Fail("view pair: a line of a checked file does not read");
    }
    if (up != down) fuzzsupport::Fail("view pair: a line reads differently");
  }
  return 0;
}
