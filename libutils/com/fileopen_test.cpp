#include "libutils/com/fileopen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

// A cut name could be another, existing file: every helper refuses a name
// whose resolved form does not fit, opens nothing and gives it back whole.
TEST(FileOpen, NamesTooLongForTheBufferAreRefused) {
  ScopedTempDir dir;
  const std::string fits(259, 'a');
  struct Row {
    std::string name;
    bool tooLong;  // with the extensions ".mni" and ".MNI"
  } rows[] = {
      {std::string(300, 'a'), true},
      {std::string(260, 'a'), true},
      {std::string(256, 'a'), true},   // 260 with the extension
      {std::string(255, 'a'), false},  // 259 with it
      {std::string(255, 'a') + ".bmp", false},  // 259 as it stands
      {fits, true},  // fits only until an extension is added
      {fits + "x.bmp", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name.size());
    const char* fn = row.name.c_str();
    libutils::ReadFile r;
    r.SetName(fn, ".mni");
    // A name that fits is not cut: it has no extension or keeps all of it.
    if (!row.tooLong && row.name.size() <= 255) {
      EXPECT_EQ(std::string(r.IFN()),
                row.name + (libutils::HasExtension(fn) ? "" : ".mni"));
    }
    libutils::Read2File r2;
    libutils::WriteFile w;
    w.SetName(fn, InfoExts);
    EXPECT_EQ(row.tooLong, r.NameTooLong());
    EXPECT_EQ(row.tooLong, w.NameTooLong());
    EXPECT_EQ(nullptr, r2.ROpen(fn, InfoExts, std::ios::binary));
    EXPECT_EQ(row.tooLong, r2.NameTooLong());
    if (!row.tooLong) continue;
    EXPECT_EQ(nullptr, r.ROpen(std::ios::binary));
    EXPECT_EQ(nullptr, w.WOpen(std::ios::binary));
    EXPECT_EQ(row.name, r.IFN());
    EXPECT_EQ(row.name, r2.IFN());
    EXPECT_EQ(row.name, w.OFN());
  }

  // What the old cut would have opened and overwritten.
  const std::string victim = dir.File("v");
  WriteBytes(victim, "victim");
  const std::string longer =
      victim + std::string(260 - victim.size(), '_') + ".bmp";
  libutils::WriteFile w;
  w.SetName(longer.c_str(), BmpExts);
  EXPECT_EQ(nullptr, w.WOpen(std::ios::binary));
  libutils::Read2File r2;
  EXPECT_EQ(nullptr, r2.ROpen(longer.c_str(), BmpExts, std::ios::binary));
  EXPECT_EQ("victim", testutil::ReadBytes(victim));
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
  EXPECT_EQ("No such file or directory", w.ErrorText());
}

// The old file keeps its bytes until the new one is complete, and whenever
// the new one is given up.
// Outputs go to the file in large blocks, each started on its way to the
// disk before the next: a picture of many blocks, given in rows, must come
// out whole, and one given up after several blocks must leave nothing.
TEST(FileOpen, WriteFileOfManyBlocksArrivesWhole) {
  ScopedTempDir dir;
  const std::string name = dir.File("big.bmp");
  for (std::size_t size :
       {std::size_t{256} << 10, (std::size_t{1} << 20) + 7}) {
    for (bool abort : {false, true}) {
      SCOPED_TRACE(size);
      SCOPED_TRACE(abort);
      WriteBytes(name, "old picture");
      std::string bytes(size, '\0');
      for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 131 % 251);
      libutils::WriteFile w;
      w.SetName(name.c_str(), BmpExts);
      std::ostream* out = w.WOpen(std::ios::binary);
      ASSERT_NE(out, nullptr);
      for (std::size_t at = 0; at < size; at += 3000) {
        const std::size_t n = std::min<std::size_t>(3000, size - at);
        out->write(bytes.data() + at, static_cast<std::streamsize>(n));
      }
      if (abort) {
        w.Abort();
      } else {
        w.Close();
        EXPECT_FALSE(out->fail());
      }
      EXPECT_TRUE(testutil::ReadBytes(name) == (abort ? "old picture" : bytes));
      EXPECT_EQ(std::vector<std::string>{"big.bmp"},
                testutil::ListDirectory(dir.path()));
    }
  }
}

TEST(FileOpen, WriteFileReplacesTheTargetOnlyWhenComplete) {
  ScopedTempDir dir;
  const std::string name = dir.File("pic.bmp");
  WriteBytes(name, "old picture");
  struct Row {
    const char* what;
    bool fail;   // the stream fails before Close
    bool abort;  // the program gives up instead of closing
    const char* after;
  } rows[] = {
      {"complete", false, false, "new picture"},
      {"stream failed", true, false, "old picture"},
      {"given up", false, true, "old picture"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WriteBytes(name, "old picture");
    {
      libutils::WriteFile w;
      w.SetName(name.c_str(), BmpExts);
      std::ostream* out = w.WOpen(std::ios::binary);
      ASSERT_NE(out, nullptr);
      *out << "new picture";
      out->flush();
      EXPECT_EQ("old picture", testutil::ReadBytes(name));
      if (row.fail) out->setstate(std::ios::badbit);
      if (row.abort) {
        w.Abort();
      } else {
        w.Close();
        EXPECT_EQ(row.fail, out->fail());
      }
    }
    EXPECT_EQ(row.after, testutil::ReadBytes(name));
    EXPECT_EQ(std::vector<std::string>{"pic.bmp"}, testutil::ListDirectory(dir.path()));
  }
  // Destroyed while open, as when the program ends by an exception.
  {
    libutils::WriteFile w;
    w.SetName(dir.File("new").c_str(), BmpExts);
    ASSERT_NE(w.WOpen(std::ios::binary), nullptr);
  }
  EXPECT_EQ(std::vector<std::string>{"pic.bmp"}, testutil::ListDirectory(dir.path()));
}

}  // namespace
