// setrender's command line, both forms, through parse and the number
// conversions into a bounded render. The input is the argument list,
// separated by NUL bytes. File names are pointed at the scratch directory:
// the output always, the view of the second form at a small saved view.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bmp/bmp.h"
#include "fuzz/fuzzsupport.h"
#include "libutils/com/numconv.h"
#include "setrender/cmdline.h"
#include "setrender/render.h"

namespace {

// Renders above these sizes are skipped; refusing what does not fit is
// still fuzzed, since negative and overflowing values pass the filter.
constexpr std::int64_t MaxPixels = 4096;
constexpr std::int64_t MaxLimit = 10000;

// A 7 x 5 view of limit 40 with counts 0 to 34, saved once.
const std::string& SavedView() {
  static const std::string base = [] {
    std::string b = fuzzsupport::ScratchDir() + "/view";
    const std::string info = "-2\n-1.5\n3\n2\n7\n5\n40\n";
    std::string counts;
    for (int i = 0; i < 35; ++i) {
      counts.push_back(static_cast<char>(i));
      counts.push_back(0);
    }
    fuzzsupport::WriteBytes(b + ".mni", info.data(), info.size());
    fuzzsupport::WriteBytes(b + ".mnd", counts.data(), counts.size());
    return b;
  }();
  return base;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::vector<std::string> args = fuzzsupport::SplitArgs(data, size, 16);
  std::vector<char*> argv = fuzzsupport::MakeArgv("setrender", args);
  const int argc = static_cast<int>(argv.size()) - 1;

  SetRenderCmdOption option;
  std::ostringstream err;
  if (!parse(option, argc, argv.data(), err)) {
    // The refusal path, usage text included.
    if (RenderMain(argc, argv.data(), err, false) != 1)
      fuzzsupport::Fail("refused command line did not give status 1");
    return 0;
  }

  const std::string output = fuzzsupport::ScratchDir() + "/out.bmp";
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == option.bmpFile) args[i - 1] = output;
    if (argv[i] == option.viewFile) args[i - 1] = SavedView();
  }
  argv = fuzzsupport::MakeArgv("setrender", args);

  std::int64_t pixels = 35, limit = 40;
  if (!option.fromFile) {
    const std::int64_t x = libutils::to_i32(option.dotsX);
    const std::int64_t y = libutils::to_i32(option.dotsY);
    // Each side is bounded too: a view without pixels still sizes a line
    // buffer as wide as its width, and still walks every one of its lines
    // (tests/data/bad/setrender keeps both cases).
    pixels = (x == 0 || y == 0) ? 0 : std::max({x * y, x, y});
    limit = libutils::to_i32(option.limit);
  }
  if (pixels > MaxPixels || limit > MaxLimit) return 0;

  std::error_code ec;
  std::filesystem::remove(output, ec);
  const int status = RenderMain(argc, argv.data(), err, false);
  if (status != 0 && status != 1) fuzzsupport::Fail("exit status");
  if (status == 0) {
    // The header promises the file's size; a short or long file would be a
    // broken picture.
    std::ifstream is(output, std::ios::binary);
    BMP header;
    header.Init();
    header.Read(is);
    const auto fileSize = std::filesystem::file_size(output, ec);
    if (ec || fileSize != header.bfSize ||
        fileSize != 54 + header.scanLineBytes() *
                             static_cast<std::uint64_t>(header.biHeight))
      fuzzsupport::Fail("written BMP size differs from its header");
  } else if (err.str().empty()) {
    fuzzsupport::Fail("failure without a message");
  }
  return 0;
}
