#include "core/mbuf.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

namespace {

// Captures what the code under test writes to std::cerr.
class CerrCapture {
 public:
  CerrCapture() : old_(std::cerr.rdbuf(out_.rdbuf())) {}
  ~CerrCapture() { std::cerr.rdbuf(old_); }
  std::string str() const { return out_.str(); }

 private:
  std::ostringstream out_;
  std::streambuf* old_;
};

TEST(MBuf, OutOfRangeRowsAreReportedAndFallBackToRowZero) {
  NormalMBuf<unsigned short> buf;
  ASSERT_TRUE(buf.Allocate(400, 400));
  unsigned short* row0 = buf[0];
  EXPECT_EQ(buf[399], row0 + 399 * 400);
  {
    CerrCapture err;
    EXPECT_EQ(buf[400], row0);
    EXPECT_EQ(err.str(), "arrays OVER! (400/399)\n");
  }
  char* flag0 = buf.Flags(0);
  CerrCapture err;
  EXPECT_EQ(buf.Flags(400), flag0);
  EXPECT_EQ(err.str(), "flags OVER! (400/399)\n");
}

TEST(MBuf, NormalBufferStartsWithClearFlags) {
  NormalMBuf<unsigned short> buf;
  buf.Allocate(3, 2);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(*buf.Flags(r), 0);
  *buf.Flags(1) = 1;
  EXPECT_EQ(*buf.Flags(1), 1);
  EXPECT_TRUE(buf.Free());
  EXPECT_FALSE(buf.Free());
}

TEST(MBuf, ReducedBufferHoldsOnlyTheLastRowAskedFor) {
  ReducedMBuf<unsigned short> buf;
  ASSERT_TRUE(buf.Allocate(400, 300));
  unsigned short* row4 = buf[4];
  for (int i = 0; i < 300; ++i) row4[i] = static_cast<unsigned short>(i + 1);
  *buf.Flags(4) = 1;
  EXPECT_EQ(buf[4][299], 300);  // same row again: contents kept
  EXPECT_EQ(*buf.Flags(4), 1);

  unsigned short* row5 = buf[5];
  EXPECT_EQ(row5, row4);  // one row of storage, reused
  for (int i = 0; i < 300; ++i) ASSERT_EQ(row5[i], 0) << i;
  EXPECT_EQ(*buf.Flags(4), 0);
  EXPECT_EQ(*buf.Flags(5), 0);
  *buf.Flags(5) = 1;
  EXPECT_EQ(*buf.Flags(5), 1);
  *buf.Flags(7) = 1;  // writes to other rows' flags are lost
  EXPECT_EQ(*buf.Flags(7), 0);
}

TEST(MBuf, EmptyBuffersFreeNothing) {
  ReducedMBuf<unsigned short> reduced;
  EXPECT_FALSE(reduced.Free());
  NormalMBuf<unsigned short> normal;
  EXPECT_FALSE(normal.Free());
  CerrCapture err;
  EXPECT_EQ(normal[0], nullptr);
  EXPECT_EQ(err.str(), "arrays OVER! (0/18446744073709551615)\n");
}

TEST(MBuf, ImpossibleSizesThrowInsteadOfWrapping) {
  NormalMBuf<unsigned short> buf;
  EXPECT_THROW(buf.Allocate(1ull << 40, 1ull << 40), std::length_error);
  EXPECT_FALSE(buf.Free());
}

}  // namespace
