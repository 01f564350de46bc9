#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>

#include "core/mandelbrot.h"

namespace {

TEST(ViewFile, InfoTextOfTheDefaultView) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(MandArea());
  std::ostringstream os;
  engine.SaveInfo(os);
  EXPECT_EQ(os.str(), "-2\n-2\n4\n4\n400\n400\n100\n");
}

TEST(ViewFile, InfoUsesThirtySignificantDigits) {
  MandArea a;
  a.minRe = 0.1;
  a.minIm = -1e-20;
  a.lenRe = 1.0 / 3;
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(a);
  std::ostringstream os;
  engine.SaveInfo(os);
  EXPECT_EQ(os.str(),
            "0.100000000000000005551115123126\n"
            "-9.9999999999999994515327145421e-21\n"
            "0.333333333333333314829616256247\n"
            "4\n400\n400\n100\n");
}

TEST(ViewFile, InfoRoundTripsExactlyAndDropsJulia) {
  MandArea a;
  a.minRe = -0.743643887037151;
  a.minIm = 0.13182590420533;
  a.lenRe = 1.5e-12;
  a.lenIm = 1.125e-12;
  a.julia = true;
  a.juliaRe = 0.3;
  a.dotsX = 640;
  a.dotsY = 480;
  a.limit = 4000000000;
  Mandelbrot saver(Mandelbrot::ReducedBuffer);
  saver.SetArea(a);
  std::stringstream file;
  saver.SaveInfo(file);

  Mandelbrot loader(Mandelbrot::ReducedBuffer);
  loader.LoadInfo(file);
  const MandArea& b = loader.GetArea();
  EXPECT_EQ(b.minRe, a.minRe);
  EXPECT_EQ(b.minIm, a.minIm);
  EXPECT_EQ(b.lenRe, a.lenRe);
  EXPECT_EQ(b.lenIm, a.lenIm);
  EXPECT_EQ(b.dotsX, 640u);
  EXPECT_EQ(b.dotsY, 480u);
  EXPECT_EQ(b.limit, 4000000000u);
  EXPECT_FALSE(b.julia);
  EXPECT_EQ(b.juliaRe, -0.8);
  EXPECT_EQ(b.juliaIm, 0.156);
}

TEST(ViewFile, ReadInfoReportsWhetherAllSevenValuesWereThere) {
  struct Row {
    const char* text;
    bool complete;
  } rows[] = {
      {"-2\n-2\n4\n4\n400\n400\n100\n", true},
      {"-1 -1.5 3 3 30 20 50", true},
      {"-2\n-2\n4\n4\n400\n400\n", false},
      {"", false},
      {"-2 -2 four 4 400 400 100", false},
      {"BM6\x04\x01", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    std::istringstream is(r.text);
    MandArea a;
    EXPECT_EQ(ReadInfo(is, a), r.complete);
  }
  std::istringstream blanks("-1 -1.5 3 3 30 20 50");
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.LoadInfo(blanks);
  EXPECT_EQ(engine.GetArea().minIm, -1.5);
  EXPECT_EQ(engine.GetArea().dotsY, 20u);
  EXPECT_EQ(engine.GetArea().limit, 50u);
}

TEST(ViewFile, DataIsLittleEndianLineByLine) {
  MandArea a;
  a.dotsX = 3;
  a.dotsY = 2;
  Mandelbrot engine(Mandelbrot::NormalBuffer);
  engine.SetArea(a);
  std::ostringstream os;
  const unsigned short values[2][3] = {{258, 0, 65535}, {1, 2, 3}};
  for (int l = 0; l < 2; ++l) {
    engine.SetLine(l);
    for (int m = 0; m < 3; ++m) engine.GetBuf()[m] = values[l][m];
    engine.SaveData(os);
  }
  const char expected[] = "\x02\x01\x00\x00\xff\xff\x01\x00\x02\x00\x03\x00";
  EXPECT_EQ(os.str(), std::string(expected, 12));

  Mandelbrot loader(Mandelbrot::ReducedBuffer);
  loader.SetArea(a);
  std::istringstream is(os.str());
  for (int l = 0; l < 2; ++l) {
    loader.SetLine(l);
    loader.LoadData(is);
    for (int m = 0; m < 3; ++m) EXPECT_EQ(loader.GetBuf()[m], values[l][m]);
  }
}

TEST(ViewFile, ShortDataReadsAsZerosAndFailsTheStream) {
  MandArea a;
  a.dotsX = 4;
  a.dotsY = 1;
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(a);
  engine.SetLine(0);
  engine.Calculation();  // leave non-zero counts behind in the buffer
  for (int m = 0; m < 4; ++m) engine.GetBuf()[m] = 7;
  std::istringstream is(std::string("\x05\x00\x06", 3));
  engine.LoadData(is);
  EXPECT_TRUE(is.fail());
  EXPECT_EQ(engine.GetBuf()[0], 5);
  EXPECT_EQ(engine.GetBuf()[1], 0);
  EXPECT_EQ(engine.GetBuf()[2], 0);
  EXPECT_EQ(engine.GetBuf()[3], 0);
}

TEST(ViewFile, TokensLongerThan4096CharactersAreMalformed) {
  auto padded = [](std::string value, std::size_t width) {
    std::size_t at = value[0] == '-' ? 1 : 0;
    return value.insert(at, width - value.size(), '0');
  };
  struct Row {
    std::string text;
    bool complete;
  } rows[] = {
      {padded("-2", 4096) + " -2 4 4 30 20 50", true},
      {padded("-2", 4097) + " -2 4 4 30 20 50", false},
      {"-2 -2 4 4 30 20 " + padded("50", 4096) + "\n", true},
      {"-2 -2 4 4 30 20 " + padded("50", 4097), false},
      // Only a run without blanks counts, not the file's length.
      {std::string(10000, ' ') + "-2 -2 4 4 30 20 50", true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text.size());
    std::istringstream is(r.text);
    MandArea a;
    EXPECT_EQ(ReadInfo(is, a), r.complete);
    if (r.complete) {
      EXPECT_EQ(a.minRe, -2);
      EXPECT_EQ(a.limit, 50u);
    }
  }
}

// Ten million digits, handed out one by one and counted.
class Digits : public std::streambuf {
 public:
  std::size_t taken = 0;

 protected:
  int_type underflow() override {
    return taken < 10000000 ? traits_type::to_int_type('1')
                            : traits_type::eof();
  }
  int_type uflow() override {
    int_type c = underflow();
    if (!traits_type::eq_int_type(c, traits_type::eof())) ++taken;
    return c;
  }
};

TEST(ViewFile, ReadingStopsSoonAfterAnOverlongToken) {
  Digits digits;
  std::istream is(&digits);
  MandArea a;
  EXPECT_FALSE(ReadInfo(is, a));
  EXPECT_LE(digits.taken, 4096u);
  SkipInfoEnd(is);
  EXPECT_LE(digits.taken, 4096u);
  // LoadInfo reads through the same bound.
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  std::istream again(&digits);
  engine.LoadInfo(again);
  EXPECT_LE(digits.taken, 2 * 4096u);
}

TEST(ViewFile, InfoReadingLeavesTheStreamAtTheCharacterAfterIt) {
  std::istringstream is("-2 -2 4 4 2 1 10 #AB");
  MandArea a;
  ASSERT_TRUE(ReadInfo(is, a));
  SkipInfoEnd(is);
  EXPECT_EQ(is.get(), 'A');
}

TEST(ViewFile, ReadInfoThrowsOnlyWithTheStreamsOwnBufferInPlace) {
  std::istringstream is("-2 -2 four");
  std::streambuf* own = is.rdbuf();
  is.exceptions(std::ios::failbit);
  MandArea a;
  EXPECT_THROW(ReadInfo(is, a), std::ios_base::failure);
  EXPECT_EQ(is.rdbuf(), own);
}

}  // namespace
