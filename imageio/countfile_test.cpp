#include "imageio/countfile.h"

#include <gtest/gtest.h>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfIntAttribute.h>
#include <ImfLineOrderAttribute.h>
#include <ImfOutputFile.h>
#include <ImfStringAttribute.h>

#include <cstring>
#include <string>
#include <vector>

#include "imageio/testfiles.h"
#include "tests/support/testutil.h"

namespace {

using testutil::ReadBytes;
using testutil::ScopedTempDir;

// Line l of a w-wide test raster (line 0 at the bottom): every kind of N;
// or, as noise, values that no compressor can shrink (which the file must
// then hold as they are).
void Line(std::uint32_t w, std::uint32_t l, std::vector<std::uint32_t>& n,
          std::vector<float>& nf, bool noise = false) {
  n.resize(w);
  nf.resize(w);
  if (noise) {
    std::uint64_t s = 0x9e3779b97f4a7c15ull * (l + 1);
    for (std::uint32_t x = 0; x < w; ++x) {
      s ^= s << 13;
      s ^= s >> 7;
      s ^= s << 17;
      n[x] = static_cast<std::uint32_t>(s);
      // Any float but a NaN, which would not compare equal to itself.
      std::uint32_t bits = static_cast<std::uint32_t>(s >> 32);
      if ((bits & 0x7f800000u) == 0x7f800000u) bits &= 0xff7fffffu;
      std::memcpy(&nf[x], &bits, 4);
    }
    return;
  }
  for (std::uint32_t x = 0; x < w; ++x) {
    std::uint32_t k = (x * 7 + l * 13) % 5;
    n[x] = k == 0   ? CountNotComputed
           : k == 1 ? CountNeverEscaped
           : k == 2 ? 1u  // escaped at once: count 0
                    : 1000u * l + x + 2;
    nf[x] = n[x] >= 2 && n[x] != CountNeverEscaped ? 0.125f * (x % 8) : 0.0f;
  }
}

bool Write(const std::string& name, std::uint32_t w, std::uint32_t h,
           std::uint32_t limit, const std::string& view, bool bottomFirst,
           std::string& error, bool noise = false) {
  CountFileWriter out;
  if (!out.Open(name, w, h, limit, view, bottomFirst, error)) return false;
  std::vector<std::uint32_t> n;
  std::vector<float> nf;
  for (std::uint32_t i = 0; i < h; ++i) {
    Line(w, bottomFirst ? i : h - 1 - i, n, nf, noise);
    if (!out.WriteLine(n.data(), nf.data(), error)) return false;
  }
  return out.Finish(error);
}

TEST(CountFile, RoundTripInEitherOrder) {
  struct Row {
    std::uint32_t w, h, limit;
    bool bottomFirst;
    std::string view;
    bool noise = false;
  } rows[] = {
      {5, 3, 100, true, "center = 0 0\nwidth = 4\n"},
      {5, 3, 100, false, "center = 0 0\nwidth = 4\n"},
      {1, 40, 0x7ffffffcu, true, ""},  // the largest limit kept as an int
      {33, 20, 0xffffffffu, false, "limit = 4294967295\n"},
      // Lines whose bytes reach the compressor in several blocks.
      {70001, 3, 100, true, "", false},
      {70001, 3, 100, false, "", true},
      {2, 5, 100, true, "", true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.w << "x" << r.h << " limit "
                                    << r.limit << " bottom first "
                                    << r.bottomFirst);
    ScopedTempDir dir;
    const std::string name = dir.File("c.exr");
    std::string error;
    ASSERT_TRUE(Write(name, r.w, r.h, r.limit, r.view, r.bottomFirst, error,
                      r.noise))
        << error;
    EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"c.exr"});
    const std::size_t bytes = ReadBytes(name).size();
    const std::size_t raw = std::size_t{r.w} * r.h * 8;
    if (r.noise) {
      EXPECT_GT(bytes, raw);  // each line stored as it is
    } else if (r.w > 1000) {
      EXPECT_LT(bytes, raw / 4);
    }

    CountFileReader in;
    ASSERT_TRUE(in.Open(name, error)) << error;
    EXPECT_EQ(in.Width(), r.w);
    EXPECT_EQ(in.Height(), r.h);
    EXPECT_EQ(in.Limit(), r.limit);
    EXPECT_EQ(in.Bias(), 1u);
    EXPECT_EQ(in.ViewText(), r.view);
    std::vector<std::uint32_t> n(r.w), wantN;
    std::vector<float> nf(r.w), wantNf;
    // Top first, then bottom first: both directions read back the same.
    for (int pass = 0; pass < 2; ++pass) {
      for (std::uint32_t i = 0; i < r.h; ++i) {
        std::uint32_t l = pass == 0 ? r.h - 1 - i : i;
        ASSERT_TRUE(in.ReadLine(l, n.data(), nf.data(), error)) << error;
        Line(r.w, l, wantN, wantNf, r.noise);
        EXPECT_EQ(n, wantN) << "line " << l;
        EXPECT_EQ(nf, wantNf) << "line " << l;
      }
    }
    EXPECT_FALSE(in.ReadLine(r.h, n.data(), nf.data(), error));
  }
}

// What another tool of the convention sees in our file: the channel types,
// the attributes with their types, and line 0 as the last scanline.
TEST(CountFile, HeaderFollowsTheSharedConvention) {
  struct Row {
    std::uint32_t limit;
    bool bottomFirst;
  } rows[] = {{1000, true}, {0x7ffffffdu, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.limit);
    ScopedTempDir dir;
    const std::string name = dir.File("c.exr");
    std::string error;
    ASSERT_TRUE(Write(name, 4, 2, r.limit, "v = 1\n", r.bottomFirst, error))
        << error;
    Imf::InputFile in(name.c_str(), 0);
    const Imf::Header& h = in.header();
    ASSERT_NE(h.channels().findChannel("N"), nullptr);
    EXPECT_EQ(h.channels().findChannel("N")->type, Imf::UINT);
    ASSERT_NE(h.channels().findChannel("NF"), nullptr);
    EXPECT_EQ(h.channels().findChannel("NF")->type, Imf::FLOAT);
    auto* bias = h.findTypedAttribute<Imf::IntAttribute>("IterationsBias");
    ASSERT_NE(bias, nullptr);
    EXPECT_EQ(bias->value(), 1);
    if (r.limit == 1000) {
      auto* it = h.findTypedAttribute<Imf::IntAttribute>("Iterations");
      ASSERT_NE(it, nullptr);
      EXPECT_EQ(it->value(), 1000);
    } else {
      // limit + bias no longer fits below INT_MAX - 1: decimal text.
      auto* it = h.findTypedAttribute<Imf::StringAttribute>("Iterations");
      ASSERT_NE(it, nullptr);
      EXPECT_EQ(it->value(), "2147483645");
    }
    auto* view = h.findTypedAttribute<Imf::StringAttribute>("mandel.view");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->value(), "v = 1\n");
    EXPECT_EQ(h.lineOrder(),
              r.bottomFirst ? Imf::DECREASING_Y : Imf::INCREASING_Y);
    // Scanline y = 1 (the last) holds line 0.
    std::vector<std::uint32_t> n(4);
    Imf::FrameBuffer fb;
    fb.insert("N", Imf::Slice(Imf::UINT, reinterpret_cast<char*>(n.data()),
                              4, 0));
    in.setFrameBuffer(fb);
    in.readPixels(1);
    std::vector<std::uint32_t> want;
    std::vector<float> wantNf;
    Line(4, 0, want, wantNf);
    EXPECT_EQ(n, want);
  }
}

// A file written by hand with OpenEXR, as another tool would write it.
struct Foreign {
  const char* nType = "UINT";
  const char* nfType = "FLOAT";
  bool withNf = true;
  bool withIterations = true;
  std::string iterationsText;  // non-empty: Iterations as a string
  int bias = 1;
  std::uint32_t firstN = 5;
};

void WriteForeign(const std::string& name, const Foreign& f) {
  const int w = 3, h = 2;
  Imf::Header header(w, h);
  // The data window need not start at 0.
  header.dataWindow() = Imath::Box2i(Imath::V2i(10, -4), Imath::V2i(12, -3));
  auto type = [](const char* t) {
    return std::string(t) == "UINT" ? Imf::UINT
           : std::string(t) == "HALF" ? Imf::HALF
                                      : Imf::FLOAT;
  };
  header.channels().insert("N", Imf::Channel(type(f.nType)));
  if (f.withNf) header.channels().insert("NF", Imf::Channel(type(f.nfType)));
  header.channels().insert("R", Imf::Channel(Imf::HALF));
  if (f.withIterations) {
    if (f.iterationsText.empty()) {
      header.insert("Iterations", Imf::IntAttribute(5000));
    } else {
      header.insert("Iterations", Imf::StringAttribute(f.iterationsText));
    }
  }
  header.insert("IterationsBias", Imf::IntAttribute(f.bias));
  Imf::OutputFile out(name.c_str(), header, 0);
  std::vector<std::uint32_t> n = {f.firstN, CountNeverEscaped, 0, 1030, 1500, 1024};
  std::vector<float> nf = {0.5f, 0, 0, 0.25f, 0.75f, 0};
  std::vector<float> nAsFloat(n.begin(), n.end());
  Imf::FrameBuffer fb;
  const std::ptrdiff_t origin = -(10 + (-4) * w);  // pixel (10, -4) at [0]
  if (type(f.nType) == Imf::UINT) {
    fb.insert("N", Imf::Slice(Imf::UINT,
                              reinterpret_cast<char*>(n.data() + origin), 4,
                              4 * w));
  } else {
    fb.insert("N", Imf::Slice(Imf::FLOAT,
                              reinterpret_cast<char*>(nAsFloat.data() + origin),
                              4, 4 * w));
  }
  if (f.withNf && type(f.nfType) == Imf::FLOAT) {
    fb.insert("NF", Imf::Slice(Imf::FLOAT,
                               reinterpret_cast<char*>(nf.data() + origin), 4,
                               4 * w));
  }
  out.setFrameBuffer(fb);
  out.writePixels(h);
}

TEST(CountFile, ForeignBiasIsBroughtToOurs) {
  ScopedTempDir dir;
  const std::string name = dir.File("f.exr");
  Foreign f;
  f.bias = 1024;
  f.firstN = 1024;
  f.iterationsText = "5000";
  WriteForeign(name, f);
  CountFileReader in;
  std::string error;
  ASSERT_TRUE(in.Open(name, error)) << error;
  EXPECT_EQ(in.Width(), 3u);
  EXPECT_EQ(in.Height(), 2u);
  EXPECT_EQ(in.Limit(), 5000u);
  EXPECT_EQ(in.Bias(), 1024u);
  EXPECT_EQ(in.ViewText(), "");
  std::uint32_t n[3];
  float nf[3];
  // Line 1 is the top scanline: N = 1024 (count 0), never, not computed.
  ASSERT_TRUE(in.ReadLine(1, n, nf, error)) << error;
  EXPECT_EQ(n[0], 1u);
  EXPECT_EQ(n[1], CountNeverEscaped);
  EXPECT_EQ(n[2], CountNotComputed);
  EXPECT_EQ(nf[0], 0.5f);
  ASSERT_TRUE(in.ReadLine(0, n, nf, error)) << error;
  EXPECT_EQ(n[0], 7u);    // 1030 - 1024 + 1
  EXPECT_EQ(n[1], 477u);  // 1500 - 1024 + 1
  EXPECT_EQ(n[2], 1u);
  EXPECT_EQ(nf[1], 0.75f);

  // A count below the bias has no meaning.
  f.firstN = 1000;
  WriteForeign(name, f);
  ASSERT_TRUE(in.Open(name, error)) << error;
  EXPECT_FALSE(in.ReadLine(1, n, nf, error));
  EXPECT_EQ(error, name + ": count out of range for IterationsBias 1024");
}

TEST(CountFile, MalformedFilesAreRefused) {
  Foreign nFloat, nfHalf, noNf, noIterations, iterationsText, negativeBias;
  nFloat.nType = "FLOAT";
  nfHalf.nfType = "HALF";
  noNf.withNf = false;
  noIterations.withIterations = false;
  iterationsText.iterationsText = "5e3";
  negativeBias.bias = -1;
  struct Row {
    const char* what;
    Foreign f;
    const char* why;
  } rows[] = {
      {"N as float", nFloat, "channel N is not UINT"},
      {"NF as half", nfHalf, "channel NF is not FLOAT"},
      {"no NF", noNf, "count file without channel NF"},
      {"no Iterations", noIterations,
       "count file without a valid Iterations attribute"},
      {"Iterations not a number", iterationsText,
       "count file without a valid Iterations attribute"},
      {"negative bias", negativeBias, "invalid IterationsBias attribute"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ScopedTempDir dir;
    const std::string name = dir.File("m.exr");
    WriteForeign(name, r.f);
    CountFileReader in;
    std::string error;
    EXPECT_FALSE(in.Open(name, error));
    EXPECT_EQ(error, name + ": " + r.why);
  }
}

// Cut anywhere, a count file is refused at Open or at the line that is
// missing, never read as counts it does not hold.
TEST(CountFile, TruncatedFilesAreRefused) {
  ScopedTempDir dir;
  const std::string whole = dir.File("whole.exr");
  std::string error;
  ASSERT_TRUE(Write(whole, 40, 50, 300, "view\n", true, error)) << error;
  const std::string bytes = ReadBytes(whole);
  const std::string cut = dir.File("cut.exr");
  for (std::size_t n = 0; n < bytes.size(); n += 1 + n / 7) {
    SCOPED_TRACE(n);
    testutil::WriteBytes(cut, bytes.substr(0, n));
    CountFileReader in;
    if (!in.Open(cut, error)) {
      EXPECT_EQ(error.rfind(cut + ": ", 0), 0u);
      continue;
    }
    std::vector<std::uint32_t> nv(40);
    std::vector<float> nf(40);
    bool all = true;
    for (std::uint32_t l = 0; l < 50 && all; ++l) {
      all = in.ReadLine(l, nv.data(), nf.data(), error);
    }
    EXPECT_FALSE(all);
  }
  CountFileReader in;
  const std::string png = TestData("tiny.png");
  EXPECT_FALSE(in.Open(png, error));
  EXPECT_EQ(error, png + ": not an OpenEXR file, or a damaged one");
  EXPECT_FALSE(in.Open(dir.File("none.exr"), error));
  EXPECT_EQ(error.rfind(dir.File("none.exr") + ": ", 0), 0u);
}

TEST(CountFile, WriterRefusalsAndUnfinishedFilesLeaveNothing) {
  ScopedTempDir dir;
  const std::string name = dir.File("c.exr");
  CountFileWriter out;
  std::string error;
  EXPECT_FALSE(out.Open("-", 2, 2, 10, "", true, error));
  EXPECT_EQ(error, "a count file cannot be written to the standard output");
  EXPECT_FALSE(out.Open(name, 0, 2, 10, "", true, error));
  EXPECT_EQ(error, name + ": a count file needs 1 to 2147483647 samples a side");

  testutil::WriteBytes(name, "old");
  ASSERT_TRUE(out.Open(name, 2, 2, 10, "", true, error)) << error;
  std::uint32_t n[2] = {1, 2};
  float nf[2] = {0, 0};
  ASSERT_TRUE(out.WriteLine(n, nf, error));
  EXPECT_FALSE(out.Finish(error));
  EXPECT_EQ(error, name + ": count file incomplete");
  EXPECT_EQ(ReadBytes(name), "old");
  {
    CountFileWriter dropped;
    ASSERT_TRUE(dropped.Open(name, 2, 1, 10, "", false, error)) << error;
  }
  EXPECT_EQ(ReadBytes(name), "old");
  EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"c.exr"});
}

}  // namespace
