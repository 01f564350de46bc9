// Feeds saved inputs to a fuzz target without libFuzzer, so that the normal
// (and sanitizer) test builds replay every input that ever broke a target.
// Arguments are files or directories (read one level deep, in name order);
// a missing directory is skipped so an empty corpus needs no placeholder.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
  std::ifstream is(file, std::ios::binary);
  if (!is) {
    std::fprintf(stderr, "%s: File can't open.\n", file.string().c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(is)),
                          std::istreambuf_iterator<char>());
  // The fuzzer never hands out a null pointer; neither does the replay.
  bytes.push_back(0);
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                         bytes.size() - 1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(arg, ec)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(arg, ec))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      for (const auto& f : files) {
        ok = Replay(f) && ok;
        ++count;
      }
    } else if (std::filesystem::exists(arg, ec)) {
      ok = Replay(arg) && ok;
      ++count;
    }
  }
  std::printf("replayed %zu inputs\n", count);
  return ok ? 0 : 1;
}
