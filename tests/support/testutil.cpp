// Test helpers that need nothing of the operating system.
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>


namespace fs = std::filesystem;

namespace testutil {

ScopedTempDir::ScopedTempDir() {
  // Portable stand-in for mkdtemp: create_directory fails on a name that is
  // already taken, so a collision just moves on to the next name.
  std::random_device random;
  fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = base / ("msuite" + std::to_string(random()));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = candidate.generic_string();
      return;
    }
  }
  ADD_FAILURE() << "cannot create a temporary directory";
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

std::string ScopedTempDir::File(const std::string& name) const {
  return path_ + "/" + name;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Text(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      continue;
    }
    text += bytes[i];
  }
  return text;
}

std::vector<std::string> ListDirectory(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string DataFile(const std::string& relative) {
  return std::string(TESTUTIL_DATA_DIR) + "/" + relative;
}

void ExpectSameAsGolden(const std::string& actual,
                        const std::string& relative) {
  std::string path = DataFile(relative);
  const char* update = std::getenv("UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    fs::create_directories(fs::path(path).parent_path());
    WriteBytes(path, actual);
    return;
  }
  if (!FileExists(path)) {
    ADD_FAILURE() << "golden file missing: " << path
                  << " (run with UPDATE_GOLDEN=1 to create it)";
    return;
  }
  std::string expected = ReadBytes(path);
  std::size_t n = std::min(expected.size(), actual.size());
  std::size_t i = 0;
  while (i < n && expected[i] == actual[i]) ++i;
  if (i == n && expected.size() == actual.size()) return;
  ADD_FAILURE() << relative << ": first difference at byte " << i
                << " (golden " << expected.size() << " bytes, actual "
                << actual.size() << " bytes)";
}

}  // namespace testutil
