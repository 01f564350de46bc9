#include "imageio/partfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "imageio/testfiles.h"
#include "tests/support/testutil.h"

namespace {

using testutil::FileExists;
using testutil::ReadBytes;
using testutil::ScopedTempDir;
using testutil::WriteBytes;

PartHeader Band(std::uint32_t first, std::uint32_t last, int depth = 8) {
  PartHeader h;
  h.width = 5;
  h.height = 7;
  h.first = first;
  h.last = last;
  h.depth = depth;
  h.viewText = "size = 5 7\n";
  return h;
}

// Row r of the test picture, in the writer's layout: every byte differs
// from its neighbours, so a shifted or swapped row shows.
std::vector<unsigned char> TestRow(const PartHeader& h, std::uint32_t r) {
  std::vector<unsigned char> row(h.RowBytes());
  if (h.depth == 16) {
    std::vector<std::uint16_t> v(row.size() / 2);
    for (std::size_t i = 0; i < v.size(); ++i)
      v[i] = static_cast<std::uint16_t>(0x1234 * (r + 1) + 0x0101 * i);
    std::memcpy(row.data(), v.data(), row.size());
  } else {
    for (std::size_t i = 0; i < row.size(); ++i)
      row[i] = static_cast<unsigned char>(31 * r + i);
  }
  return row;
}

bool WriteBand(const std::string& path, const PartHeader& h,
               std::string& error) {
  PartWriter w;
  if (!w.Open(path, h, error)) return false;
  for (std::uint32_t r = h.first; r <= h.last; ++r)
    if (!w.WriteRow(TestRow(h, r).data(), error)) return false;
  return w.Finish(error);
}

TEST(PartFile, RoundTripsBothDepths) {
  ScopedTempDir dir;
  for (int depth : {8, 16}) {
    SCOPED_TRACE(depth);
    const PartHeader h = Band(2, 4, depth);
    const std::string path = dir.File("band.part");
    std::string error;
    ASSERT_TRUE(WriteBand(path, h, error)) << error;
    // 36 fixed bytes, the view text, three rows of 5 pixels, the checksum.
    EXPECT_EQ(ReadBytes(path).size(), 36u + 11 + 3 * 15 * (depth / 8) + 8);

    PartReader r;
    ASSERT_TRUE(r.Open(path, error)) << error;
    const PartHeader& got = r.Header();
    EXPECT_EQ(got.width, 5u);
    EXPECT_EQ(got.height, 7u);
    EXPECT_EQ(got.first, 2u);
    EXPECT_EQ(got.last, 4u);
    EXPECT_EQ(got.depth, depth);
    EXPECT_EQ(got.viewText, "size = 5 7\n");
    std::vector<unsigned char> row(h.RowBytes());
    for (std::uint32_t k = 2; k <= 4; ++k) {
      ASSERT_TRUE(r.ReadRow(row.data(), error)) << error;
      EXPECT_EQ(row, TestRow(h, k)) << "row " << k;
    }
    EXPECT_FALSE(r.ReadRow(row.data(), error));
    EXPECT_TRUE(r.CheckSum(error)) << error;
  }
}

// 16-bit channels are stored as PNG stores them, whatever the host.
TEST(PartFile, SixteenBitChannelsMostSignificantByteFirst) {
  ScopedTempDir dir;
  PartHeader h = Band(0, 0, 16);
  h.width = 1;
  h.viewText = "";
  PartWriter w;
  std::string error;
  ASSERT_TRUE(w.Open(dir.File("p"), h, error)) << error;
  const std::uint16_t rgb[3] = {0x0102, 0xA0B0, 0xFF00};
  ASSERT_TRUE(w.WriteRow(rgb, error)) << error;
  ASSERT_TRUE(w.Finish(error)) << error;
  EXPECT_EQ(ReadBytes(dir.File("p")).substr(36, 6),
            std::string("\x01\x02\xA0\xB0\xFF\x00", 6));
}

TEST(PartFile, WriterRefusesBandsThatDoNotFitAndLeavesNothing) {
  struct Row {
    std::uint32_t width, height, first, last;
    int depth;
    const char* error;
  } rows[] = {
      {0, 7, 0, 0, 8,
       "the picture's size must be from 1 to 2147483647 pixels a side"},
      {5, 0x80000000u, 0, 0, 8,
       "the picture's size must be from 1 to 2147483647 pixels a side"},
      {5, 7, 3, 2, 8, "rows 3 to 2 do not lie in a picture of 7 rows"},
      {5, 7, 6, 7, 8, "rows 6 to 7 do not lie in a picture of 7 rows"},
      {5, 7, 0, 6, 12, "bits per channel must be 8 or 16, not 12"},
  };
  ScopedTempDir dir;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.error);
    PartHeader h = Band(row.first, row.last, row.depth);
    h.width = row.width;
    h.height = row.height;
    PartWriter w;
    std::string error;
    EXPECT_FALSE(w.Open(dir.File("p"), h, error));
    EXPECT_EQ(error, dir.File("p") + ": " + row.error);
    EXPECT_TRUE(DirEntries(dir.path()).empty());
  }
}

TEST(PartFile, UnfinishedBandLeavesTheTargetAsItWas) {
  ScopedTempDir dir;
  const std::string path = dir.File("band.part");
  WriteBytes(path, "old");
  const PartHeader h = Band(0, 2);
  std::string error;
  {
    PartWriter w;
    ASSERT_TRUE(w.Open(path, h, error)) << error;
    ASSERT_TRUE(w.WriteRow(TestRow(h, 0).data(), error)) << error;
    EXPECT_FALSE(w.Finish(error));
    EXPECT_EQ(error, path + ": band incomplete");
  }
  {
    PartWriter w;  // dropped without Finish
    ASSERT_TRUE(w.Open(path, h, error)) << error;
    ASSERT_TRUE(w.WriteRow(TestRow(h, 0).data(), error)) << error;
  }
  EXPECT_EQ(ReadBytes(path), "old");
  EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"band.part"});
}

// Damage at each place a file can take it: the reader says what is wrong
// before a row is used, or at the latest by the checksum.
TEST(PartFile, ReaderFindsDamage) {
  ScopedTempDir dir;
  const std::string good = dir.File("good.part");
  std::string error;
  ASSERT_TRUE(WriteBand(good, Band(1, 3), error)) << error;
  const std::string bytes = ReadBytes(good);
  const std::size_t rows = 36 + 11;  // where the rows start
  struct Row {
    const char* name;
    std::string bytes;
    const char* openError;  // nullptr: opens, fails at the checksum
  } table[] = {
      {"empty", "", "not a part file of mandel"},
      {"png", "\x89PNG\r\n\x1a\n" + bytes.substr(8),
       "not a part file of mandel"},
      {"version", bytes.substr(0, 8) + "\x02" + bytes.substr(9),
       "part file of an unknown version 2"},
      {"rows beyond the height",
       bytes.substr(0, 24) + "\x07" + bytes.substr(25),
       "damaged part file (rows 1 to 7 do not lie in a picture of 7 rows)"},
      {"depth", bytes.substr(0, 28) + "\x09" + bytes.substr(29),
       "damaged part file (bits per channel must be 8 or 16, not 9)"},
      {"view text longer than the file",
       bytes.substr(0, 35) + "\x0f" + bytes.substr(36),
       "damaged part file (view text too long)"},
      {"truncated", bytes.substr(0, bytes.size() - 1),
       "truncated part file (99 bytes, the header says 100)"},
      {"too long", bytes + "x",
       "part file too long (101 bytes, the header says 100)"},
      {"row byte",
       bytes.substr(0, rows + 20) + "\x7f" + bytes.substr(rows + 21), nullptr},
      {"view text", bytes.substr(0, 40) + "X" + bytes.substr(41), nullptr},
      {"checksum", bytes.substr(0, bytes.size() - 1) + "\x01", nullptr},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    const std::string path = dir.File("bad.part");
    WriteBytes(path, row.bytes);
    PartReader r;
    if (row.openError) {
      EXPECT_FALSE(r.Open(path, error));
      EXPECT_EQ(error, path + ": " + row.openError);
      continue;
    }
    ASSERT_TRUE(r.Open(path, error)) << error;
    std::vector<unsigned char> buffer(r.Header().RowBytes());
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(r.ReadRow(buffer.data(), error));
    EXPECT_FALSE(r.CheckSum(error));
    EXPECT_EQ(error, path + ": damaged part file (checksum mismatch)");
  }
}

TEST(PartChecksum, SameBytesSameValueHoweverCut) {
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes += static_cast<char>(i * 7);
  PartChecksum whole;
  whole.Add(bytes.data(), bytes.size());
  for (std::size_t cut : {1u, 3u, 8u, 13u}) {
    SCOPED_TRACE(cut);
    PartChecksum pieces;
    for (std::size_t at = 0; at < bytes.size(); at += cut)
      pieces.Add(bytes.data() + at, std::min(cut, bytes.size() - at));
    EXPECT_EQ(pieces.Value(), whole.Value());
  }
  // Any one byte changed, or zero bytes added, changes the value.
  for (std::size_t at : {0u, 7u, 8u, 63u, 99u}) {
    SCOPED_TRACE(at);
    std::string other = bytes;
    other[at] = static_cast<char>(other[at] ^ 0x80);
    PartChecksum changed;
    changed.Add(other.data(), other.size());
    EXPECT_NE(changed.Value(), whole.Value());
  }
  PartChecksum longer;
  longer.Add((bytes + std::string(4, '\0')).data(), bytes.size() + 4);
  EXPECT_NE(longer.Value(), whole.Value());
}

TEST(FitParts, OrdersBandsAndFindsWhatDoesNotFit) {
  struct Row {
    const char* name;
    std::vector<PartHeader> bands;  // named a, b, c ... in this order
    const char* error;              // nullptr: they fit
  };
  PartHeader wide = Band(4, 6);
  wide.width = 6;
  PartHeader deep = Band(4, 6, 16);
  PartHeader other = Band(4, 6);
  other.viewText = "size = 5 7\nlimit = 9\n";
  const Row table[] = {
      {"in order", {Band(0, 3), Band(4, 6)}, nullptr},
      {"any order", {Band(5, 6), Band(0, 0), Band(1, 4)}, nullptr},
      {"one band", {Band(0, 6)}, nullptr},
      {"gap",
       {Band(0, 2), Band(5, 6)},
       "rows 3 to 4 are in no part (between a and b)"},
      {"gap of one",
       {Band(4, 6), Band(0, 2)},
       "row 3 is in no part (between b and a)"},
      {"top missing", {Band(2, 6)}, "rows 0 to 1 are in no part"},
      {"bottom missing", {Band(0, 5)}, "row 6 is in no part"},
      {"overlap", {Band(0, 3), Band(3, 6)}, "a and b both hold row 3"},
      {"inside another",
       {Band(0, 6), Band(2, 3)},
       "a and b both hold rows 2 to 3"},
      {"twice", {Band(0, 6), Band(0, 6)}, "a and b both hold rows 0 to 6"},
      {"width",
       {Band(0, 3), wide},
       "b: a band of a 6x7 picture, but a is of 5x7"},
      {"depth", {Band(0, 3), deep}, "b: 16 bits per channel, but a has 8"},
      {"view",
       {Band(0, 3), other},
       "b: a band of another view or colouring than a"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    std::vector<PartInfo> parts;
    for (const PartHeader& h : row.bands)
      parts.push_back(PartInfo{std::string(1, 'a' + parts.size()), h});
    std::string error;
    if (!row.error) {
      ASSERT_TRUE(FitParts(parts, error)) << error;
      for (std::size_t i = 1; i < parts.size(); ++i)
        EXPECT_EQ(parts[i].header.first, parts[i - 1].header.last + 1);
      continue;
    }
    EXPECT_FALSE(FitParts(parts, error));
    EXPECT_EQ(error, row.error);
  }
}

}  // namespace
