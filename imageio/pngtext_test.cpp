#include "imageio/pngtext.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "imageio/testfiles.h"
#include "tests/support/testutil.h"

namespace {

const char TinyView[] = "center = -0.5 0\nwidth = 3\nsize = 4 3\nlimit = 100\n";

struct Result {
  bool ok;
  std::string text, error;
};

Result Read(const std::string& bytes) {
  std::istringstream is(bytes);
  Result r;
  r.ok = ReadPngViewText(is, r.text, r.error);
  return r;
}

// Where the chunk of type `type` begins (at its length field).
std::size_t ChunkAt(const std::string& png, const char* type) {
  return png.find(type) - 4;
}

TEST(PngText, ReadsTheViewOfOurPictures) {
  for (const char* name : {"tiny.png", "tiny16.png"}) {
    SCOPED_TRACE(name);
    Result r = Read(testutil::ReadBytes(TestData(name)));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.text, TinyView);
  }
}

TEST(PngText, MalformedInputsGetTheirMessage) {
  const std::string png = testutil::ReadBytes(TestData("tiny.png"));
  ASSERT_FALSE(png.empty());
  const std::size_t text = ChunkAt(png, "tEXt");
  std::string badCrc = png;
  badCrc[text + 8 + 3] ^= 1;  // a byte of the keyword
  std::string badLength = png;
  badLength[8] = '\x80';  // IHDR's length above 2^31 - 1
  const std::string sig = png.substr(0, 8);
  const std::string iend("\0\0\0\0IEND\xae\x42\x60\x82", 12);
  struct Row {
    std::string bytes;
    const char* error;
  } rows[] = {
      {"", "not a PNG file"},
      {png.substr(0, 7), "not a PNG file"},
      {testutil::ReadBytes(testutil::DataFile("setrender/small.bmp")),
       "not a PNG file"},
      {sig, "truncated PNG file"},
      {png.substr(0, 20), "truncated PNG file"},  // inside IHDR
      {png.substr(0, text + 10), "truncated PNG file"},
      {png.substr(0, text + 12 + sizeof TinyView + 10), "truncated PNG file"},
      {badCrc, "damaged PNG file"},
      {badLength, "damaged PNG file"},
      {sig + iend, "damaged PNG file"},  // IEND where IHDR must be
      {testutil::ReadBytes(TestData("noview.png")), "PNG file holds no view"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.bytes.size() << " bytes");
    Result r = Read(row.bytes);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, row.error);
  }
}

// Every cut before the end of the text chunk is refused, and none crashes;
// once the text is whole, the rest of the file is never needed.
TEST(PngText, EveryTruncationIsRefusedUntilTheTextIsWhole) {
  const std::string png = testutil::ReadBytes(TestData("tiny.png"));
  const std::size_t text = ChunkAt(png, "tEXt");
  const std::size_t textEnd = text + 12 + (sizeof "mandel-view") + sizeof TinyView - 1;
  for (std::size_t n = 0; n <= png.size(); ++n) {
    Result r = Read(png.substr(0, n));
    EXPECT_EQ(r.ok, n >= textEnd) << n;
  }
}

TEST(PngText, NamedFiles) {
  std::string text, error;
  EXPECT_TRUE(ReadPngViewTextFile(TestData("tiny.png"), text, error));
  EXPECT_EQ(text, TinyView);
  const std::string missing = TestData("no-such.png");
  EXPECT_FALSE(ReadPngViewTextFile(missing, text, error));
  EXPECT_EQ(error.rfind(missing + ": ", 0), 0u) << error;
  const std::string bmp = testutil::DataFile("setrender/small.bmp");
  EXPECT_FALSE(ReadPngViewTextFile(bmp, text, error));
  EXPECT_EQ(error, bmp + ": not a PNG file");
}

}  // namespace
