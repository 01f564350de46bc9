#include "dibpeek/dibpeek.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "tests/support/testutil.h"

namespace {

struct PeekRun {
  int exit;
  std::string out, err;
};

PeekRun Peek(std::vector<std::string> args) {
  args.insert(args.begin(), "dibpeek");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::ostringstream out, err;
  int exit = DibPeekMain(static_cast<int>(args.size()), argv.data(), out, err);
  return {exit, out.str(), err.str()};
}

std::string Block(const std::string& name, const char* fields) {
  return "\nFileName : " + name + "\n" + fields;
}

const char* InitFields =
    "bfType   : BM\nbfSize   : 54\nbfRsvd1  : 0\nbfRsvd2  : 0\n"
    "bfOffBits: 54\nbiSize   : 40\nbiWidth  : 0\nbiHeight : 0\n"
    "biPlanes : 1\nbiBitCnt : 0\nbiCmprss : 0\nbiSizeImg: 0\n"
    "biXPelPm : 0\nbiYPelPm : 0\nbiClrUsed: 0\nbiClrImpt: 0\n";

TEST(DibPeek, ListsEachFileAndStopsAtTheFirstMissingOne) {
  testutil::ScopedTempDir dir;
  std::string golden = testutil::DataFile("setrender/small.bmp");
  // A name that exists bare and with .bmp: the .bmp file wins.
  testutil::WriteBytes(dir.File("pic.bmp"), testutil::ReadBytes(golden));
  testutil::WriteBytes(dir.File("pic"), "not a bitmap");
  const char* small =
      "bfType   : BM\nbfSize   : 630\nbfRsvd1  : 0\nbfRsvd2  : 0\n"
      "bfOffBits: 54\nbiSize   : 40\nbiWidth  : 16\nbiHeight : 12\n"
      "biPlanes : 1\nbiBitCnt : 24\nbiCmprss : 0\nbiSizeImg: 576\n"
      "biXPelPm : 144000\nbiYPelPm : 144000\nbiClrUsed: 0\nbiClrImpt: 0\n";

  PeekRun r = Peek({dir.File("pic"), dir.File("gone")});
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.out, Block(dir.File("pic.bmp"), small) + "\n");
  EXPECT_EQ(r.err, dir.File("gone") + ": File can't open.\n");
}

TEST(DibPeek, UsageWithoutArguments) {
  PeekRun r = Peek({});
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "dibpeek filename[.bmp] \n");
}

TEST(DibPeek, ShortAndForeignFilesShowWhatIsThere) {
  testutil::ScopedTempDir dir;
  testutil::WriteBytes(dir.File("empty.bmp"), "");
  testutil::WriteBytes(dir.File("text.bmp"), "GIF89a");
  PeekRun r = Peek({dir.File("empty.bmp"), dir.File("text.bmp")});
  EXPECT_EQ(r.exit, 0);
  std::string gif = InitFields;
  gif.replace(gif.find("BM"), 2, "GI");
  gif.replace(gif.find("54"), 2, "1631139910");  // "F89a" little-endian
  EXPECT_EQ(r.out, Block(dir.File("empty.bmp"), InitFields) +
                       Block(dir.File("text.bmp"), gif.c_str()));
  EXPECT_EQ(r.err, "");
}

TEST(DibPeek, SignatureBytesThatAreNotPrintableAreEscaped) {
  struct Row {
    std::string bytes, shown;
  } rows[] = {
      {"BM", "BM"},
      {"\x1b[", "\\x1b["},
      {std::string("\0\n", 2), "\\x00\\x0a"},
      {"\x7f\x9b", "\\x7f\\x9b"},
      {"\xff~", "\\xff~"},
  };
  testutil::ScopedTempDir dir;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.shown);
    testutil::WriteBytes(dir.File("sig.bmp"), row.bytes);
    PeekRun r = Peek({dir.File("sig.bmp")});
    EXPECT_EQ(r.exit, 0);
    std::string fields = InitFields;
    fields.replace(fields.find("BM"), 2, row.shown);
    EXPECT_EQ(r.out, Block(dir.File("sig.bmp"), fields.c_str()));
  }
}

// Accepts nothing: every write fails, as on a full disk.
class FullBuf : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
};

// Fails every read, as a device or a directory does; an istream turns the
// exception into badbit.
class BrokenBuf : public std::streambuf {
 protected:
  int_type underflow() override { throw std::ios_base::failure("EIO"); }
};

TEST(DibPeek, FailedWriteOrReadEndsWithStatusOne) {
  testutil::ScopedTempDir dir;
  std::string pic = dir.File("pic.bmp");
  testutil::WriteBytes(
      pic, testutil::ReadBytes(testutil::DataFile("setrender/small.bmp")));
  std::string args[] = {"dibpeek", pic};
  char* argv[] = {&args[0][0], &args[1][0], nullptr};
  FullBuf full;
  std::ostream out(&full);
  std::ostringstream err;
  EXPECT_EQ(DibPeekMain(2, argv, out, err), 1);
  EXPECT_EQ(err.str(), "dibpeek: write error.\n");

  // The second name never opens: reading stops at the failed first one.
  BrokenBuf broken;
  std::streambuf* saved = std::cin.rdbuf(&broken);
  PeekRun r = Peek({"-", dir.File("gone")});
  std::cin.rdbuf(saved);
  std::cin.clear();
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.out, "\n");
  EXPECT_EQ(r.err, "(stdin): read error.\n");
}

}  // namespace
