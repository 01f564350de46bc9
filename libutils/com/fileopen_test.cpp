#include "libutils/com/fileopen.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/testutil.h"

namespace {

using testutil::ScopedTempDir;
using testutil::WriteBytes;

const char* InfoExts[] = {".mni", ".MNI", nullptr};
const char* BmpExts[] = {".bmp", ".BMP", nullptr};

bool CaseInsensitive(const ScopedTempDir& dir) {
  WriteBytes(dir.File("Case.probe"), "");
  return testutil::FileExists(dir.File("case.PROBE"));
}

TEST(FileOpen, ExtensionIsLookedForInTheLastComponentOnly) {
  struct Row {
    const char* name;
    bool has;
  } rows[] = {
      {"view", false},   {"view.x", true},  {"dir.d/view", false},
      {"dir.d\\view", true}, {".hidden", true}, {"a/b/", false},
      {"", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(libutils::HasExtension(r.name), r.has);
  }
}

TEST(FileOpen, Read2FileTriesExtensionsInListOrder) {
  ScopedTempDir dir;
  std::string base = dir.File("view");
  libutils::Read2File rf;

  EXPECT_EQ(rf.ROpen(base.c_str(), InfoExts, std::ios::binary), nullptr);
  EXPECT_EQ(std::string(rf.IFN()), base);

  WriteBytes(base, "bare");
  ASSERT_NE(rf.ROpen(base.c_str(), InfoExts, std::ios::binary), nullptr);
  EXPECT_EQ(std::string(rf.IFN()), base);
  EXPECT_FALSE(rf.isStd());
  rf.Close();

  WriteBytes(base + ".MNI", "upper");
  ASSERT_NE(rf.ROpen(base.c_str(), InfoExts, std::ios::binary), nullptr);
  // Where names ignore case (Windows), the first listed spelling opens it.
  EXPECT_EQ(std::string(rf.IFN()),
            base + (CaseInsensitive(dir) ? ".mni" : ".MNI"));
  rf.Close();

  WriteBytes(base + ".mni", "lower");
  std::istream* in = rf.ROpen(base.c_str(), InfoExts, std::ios::binary);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(std::string(rf.IFN()), base + ".mni");
  std::string word;
  *in >> word;
  EXPECT_EQ(word, "lower");
  rf.Close();

  // A name with an extension is tried only as it stands.
  std::string dotted = dir.File("view.x");
  EXPECT_EQ(rf.ROpen(dotted.c_str(), InfoExts, std::ios::binary), nullptr);
  EXPECT_EQ(std::string(rf.IFN()), dotted);
}

TEST(FileOpen, DashMeansTheStandardStreams) {
  libutils::Read2File rf;
  EXPECT_EQ(rf.ROpen("-", InfoExts, std::ios::binary), &std::cin);
  EXPECT_STREQ(rf.IFN(), "(stdin)");
  EXPECT_TRUE(rf.isStd());

  libutils::ReadFile r;
  r.SetName("-", ".mni");
  EXPECT_EQ(r.ROpen(std::ios::binary), &std::cin);
  EXPECT_STREQ(r.IFN(), "(stdin)");

  libutils::WriteFile w;
  w.SetName("-", BmpExts);
  EXPECT_EQ(w.WOpen(std::ios::binary), &std::cout);
  EXPECT_STREQ(w.OFN(), "(stdout)");
}

TEST(FileOpen, WriteFilePrefersAnExistingName) {
  ScopedTempDir dir;
  std::string base = dir.File("out");
  libutils::WriteFile w;

  w.SetName(base.c_str(), BmpExts);
  EXPECT_EQ(std::string(w.OFN()), base + ".bmp");

  WriteBytes(base, "x");
  w.SetName(base.c_str(), BmpExts);
  EXPECT_EQ(std::string(w.OFN()), base);

  WriteBytes(base + ".BMP", "x");
  w.SetName(base.c_str(), BmpExts);
  EXPECT_EQ(std::string(w.OFN()),
            base + (CaseInsensitive(dir) ? ".bmp" : ".BMP"));

  w.SetName((base + ".png").c_str(), BmpExts);
  EXPECT_EQ(std::string(w.OFN()), base + ".png");

  w.SetName(base.c_str(), static_cast<const char**>(nullptr));
  EXPECT_EQ(std::string(w.OFN()), base);
}

TEST(FileOpen, LongNamesAreCutTo259Characters) {
  std::string longname(300, 'a');
  libutils::ReadFile r;
  r.SetName(longname.c_str(), ".mni");
  EXPECT_EQ(std::string(r.IFN()), std::string(259, 'a'));

  std::string almost(257, 'b');
  r.SetName(almost.c_str(), ".mni");
  EXPECT_EQ(std::string(r.IFN()), almost + ".m");
}

TEST(FileOpen, DirectoriesDoNotOpenAsFiles) {
  ScopedTempDir dir;
  libutils::Read2File rf;
  EXPECT_EQ(rf.ROpen(dir.path().c_str(), BmpExts, std::ios::binary), nullptr);
  libutils::WriteFile w;
  w.SetName(dir.path().c_str(), BmpExts);
  EXPECT_EQ(std::string(w.OFN()), dir.path() + ".bmp");
}

TEST(FileOpen, WriteFileTruncatesAndReportsUnwritableNames) {
  ScopedTempDir dir;
  std::string name = dir.File("t.bin");
  WriteBytes(name, "old contents");
  libutils::WriteFile w;
  w.SetName(name.c_str(), ".bin");
  std::ostream* out = w.WOpen(std::ios::binary);
  ASSERT_NE(out, nullptr);
  *out << "new";
  w.Close();
  EXPECT_EQ(testutil::ReadBytes(name), "new");

  std::string missing = dir.File("no/such/dir/file");
  w.SetName(missing.c_str(), ".bin");
  EXPECT_EQ(w.WOpen(std::ios::binary), nullptr);
  EXPECT_EQ(std::string(w.OFN()), missing + ".bin");
}

}  // namespace
