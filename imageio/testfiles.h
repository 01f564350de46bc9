// Test helpers of imageio: what a directory holds (to prove that no stray
// temporary file is left behind), and its golden files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/testutil.h"

inline std::vector<std::string> DirEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The path of a file under imageio/testdata.
inline std::string TestData(const std::string& name) {
  return std::string(IMAGEIO_TESTDATA) + "/" + name;
}

// Compares bytes with the golden file imageio/testdata/<name>; with
// UPDATE_GOLDEN=1 in the environment the file is rewritten instead, for a
// deliberate change to be reviewed in git.
inline void ExpectSameAsTestData(const std::string& bytes,
                                 const std::string& name) {
  const char* update = std::getenv("UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    testutil::WriteBytes(TestData(name), bytes);
    return;
  }
  const std::string golden = testutil::ReadBytes(TestData(name));
  ASSERT_FALSE(golden.empty()) << "missing " << TestData(name);
  std::size_t at = 0;
  while (at < bytes.size() && at < golden.size() && bytes[at] == golden[at]) {
    ++at;
  }
  EXPECT_TRUE(at == bytes.size() && at == golden.size())
      << name << ": first difference at byte " << at << " (sizes "
      << bytes.size() << " and " << golden.size() << ")";
}
