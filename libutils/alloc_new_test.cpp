#include "libutils/alloc_new.h"

#include <gtest/gtest.h>

#include <string>

#include "libutils/refvector.h"
#include "tests/support/testutil.h"

namespace {

using heap = libutils::refvector2<unsigned char, libutils::alloc_new>;

TEST(AllocNew, FillsFromTheFileAndZeroesWhatCannotBeRead) {
  testutil::ScopedTempDir dir;
  std::string name = dir.File("data.bin");
  testutil::WriteBytes(name, "0123456789");
  std::string missing = dir.File("missing.bin");
  struct Row {
    const char* label;
    std::string file;
    std::uint64_t count, offset;
    std::string expect;
  } rows[] = {
      {"at offset", name, 4, 3, "3456"},
      {"whole file", name, 0, 0, "0123456789"},
      {"short file", name, 6, 7, std::string("789\0\0\0", 6)},
      {"missing file", missing, 3, 0, std::string(3, '\0')},
      {"offset past the end", name, 2, 50, std::string(2, '\0')},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    heap h;
    ASSERT_TRUE(h.allocate(r.count, r.file.c_str(), 0, r.offset));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.data()), h.size()),
              r.expect);
  }
  heap h;
  EXPECT_FALSE(h.allocate(0, missing.c_str(), 0));  // no size to take
  ASSERT_TRUE(h.allocate(2, name.c_str(), 0));
  ASSERT_TRUE(h.resize(4));  // grown: the front kept, the rest zero
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.data()), h.size()),
            std::string("01\0\0", 4));
}

}  // namespace
