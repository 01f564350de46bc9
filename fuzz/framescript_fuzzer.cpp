// zoomscript's and juliascript's argument handling and script writing. The
// first byte picks the program, the rest is the argument list separated by
// NUL bytes. The frame range and the padding width are capped so a run
// stays fast; the script is then written both to memory and, under a
// scratch name, by the whole program, and the two must agree.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzzsupport.h"
#include "zoomscript/framescript.h"

namespace {

using framescript::ColumnType;

const framescript::ScriptLayout Zoom{"zoomstep.bat",
                                     {{"real", ColumnType::Double},
                                      {"imag", ColumnType::Double},
                                      {"length", ColumnType::Double},
                                      {"limit", ColumnType::Unsigned}}};
const framescript::ScriptLayout Julia{
    "juliastep.bat",
    {{"real", ColumnType::Double}, {"imag", ColumnType::Double}}};

constexpr std::uint32_t MaxFrames = 64;
constexpr std::int32_t MaxWidth = 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  const framescript::ScriptLayout& layout = data[0] & 1 ? Julia : Zoom;
  std::vector<std::string> args =
      fuzzsupport::SplitArgs(data + 1, size - 1, 16);
  std::vector<char*> argv = fuzzsupport::MakeArgv("script", args);
  const int argc = static_cast<int>(argv.size()) - 1;

  framescript::FrameScript script;
  if (!framescript::ParseArguments(layout, argc, argv.data(), &script)) {
    std::ostringstream out, err;
    if (framescript::ScriptMain(layout, argc, argv.data(), out, err) != 0 ||
        out.str().rfind("usage: script", 0) != 0)
      fuzzsupport::Fail("missing arguments did not give the usage text");
    return 0;
  }
  (void)framescript::OutputName(script);

  if (script.first <= script.last && script.last - script.first > MaxFrames)
    script.last = script.first + MaxFrames;
  if (script.width > MaxWidth) script.width = MaxWidth;

  std::ostringstream memory(std::ios::binary);
  if (!framescript::WriteScript(layout, script, memory))
    fuzzsupport::Fail("WriteScript failed on a string stream");
  const std::string text = memory.str();
  if (text.rfind("@echo off\r\n", 0) != 0) fuzzsupport::Fail("first line");
  const std::uint64_t frames =
      script.first <= script.last ? std::uint64_t{script.last} - script.first + 1
                                  : 0;

  // The same script through the program, with the capped values written
  // back as arguments and a base name in the scratch directory. A base name
  // holding a line break changes the line count, so this check uses ours.
  const std::size_t columns = layout.columns.size();
  args[columns] = std::to_string(script.first);
  args[2 * columns + 1] = std::to_string(script.last);
  args[2 * columns + 2] = std::to_string(script.width);
  args[2 * columns + 3] = fuzzsupport::ScratchDir() + "/s";
  argv = fuzzsupport::MakeArgv("script", args);
  std::ostringstream out, err;
  if (framescript::ScriptMain(layout, argc, argv.data(), out, err) != 0)
    fuzzsupport::Fail("ScriptMain failed in the scratch directory");
  script.base = args[2 * columns + 3];
  const std::string name = framescript::OutputName(script);
  std::ifstream is(name, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(is)),
                         std::istreambuf_iterator<char>());
  is.close();
  std::error_code ec;
  std::filesystem::remove(name, ec);
  std::ostringstream expected(std::ios::binary);
  framescript::WriteScript(layout, script, expected);
  if (file != expected.str()) fuzzsupport::Fail("file and stream differ");
  std::size_t lines = 0;
  for (std::size_t at = file.find("\r\n"); at != std::string::npos;
       at = file.find("\r\n", at + 2))
    ++lines;
  if (lines != 1 + 2 * frames) fuzzsupport::Fail("line count");
  return 0;
}
