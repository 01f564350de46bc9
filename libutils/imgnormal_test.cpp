#include "libutils/imgnormal.h"

#include <gtest/gtest.h>

#include <string>

#include "libutils/imgtest.h"

namespace {

using imgtest::bytes;
using libutils::img2d;
using libutils::imgfmt;
using libutils::vec3;

// Signed components as the bytes that store them.
bytes normals(std::initializer_list<int> values) {
  bytes out;
  for (int v : values) out.push_back(static_cast<unsigned char>(v));
  return out;
}

TEST(ImgNormal, NormalMapOfWorkedHeightFields) {
  struct Row {
    const char* label;
    std::uint32_t w, h;
    bytes heights, stored;
  } rows[] = {
      {"flat", 2, 1, {9, 9}, normals({0, 0, 127, 0, 0, 127})},
      {"single pixel", 1, 1, {200}, normals({0, 0, 127})},
      // The last pixel's right neighbour wraps to the first.
      {"step",
       4,
       1,
       {0, 0, 0, 255},
       normals({0, 0, 127, 0, 0, 127, 90, 0, 90, -90, 0, 90})},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    img2d src = imgtest::make(imgfmt::GREY, 3, r.w, r.h, r.heights), dst;
    ASSERT_TRUE(libutils::normalmap(dst, src));
    EXPECT_EQ(dst.fmt, (imgfmt{imgfmt::RGB, 0, 3}));
    EXPECT_EQ(imgtest::pixels(dst), r.stored);
  }
}

TEST(ImgNormal, NormalMapPassesNormalsAndRefusesOthers) {
  img2d rgb = imgtest::make(imgfmt::RGB, 3, 1, 1, {1, 2, 3}, 0), dst;
  EXPECT_TRUE(libutils::normalmap(dst, rgb));
  EXPECT_EQ(dst.data(), rgb.data());
  img2d bgr = imgtest::make(imgfmt::BGR, 3, 1, 1, {1, 2, 3});
  testing::internal::CaptureStderr();
  EXPECT_FALSE(libutils::normalmap(dst, bgr));
  bgr.compressed = true;
  EXPECT_FALSE(libutils::normalmap(dst, bgr));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "normalmap(): image type not supported.\n"
            "normalmap(): compressed format not supported.\n");
  EXPECT_EQ(dst.data(), bgr.data());
}

TEST(ImgNormal, CubeMapPointsThroughEachTexel) {
  img2d faces[6];
  ASSERT_TRUE(libutils::normalcubemap(faces));
  struct Row {
    int face;
    std::uint32_t s, t;
    bytes stored;
  } rows[] = {
      {0, 127, 127, {255, 128, 128}},
      {5, 127, 127, {128, 128, 0}},
      {2, 127, 127, {128, 255, 128}},
      {0, 0, 0, {201, 201, 201}},  // u = v = -1: (1, 1, 1) / sqrt(3)
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.face);
    EXPECT_EQ(faces[r.face].fmt, (imgfmt{imgfmt::RGB, 0, 3}));
    const unsigned char* p = faces[r.face].pixel(r.s, r.t);
    EXPECT_EQ(bytes(p, p + 3), r.stored);
  }
}

TEST(VectorFunctions, NormalizeKeepsTheZeroVector) {
  vec3 r;
  libutils::normalize(r, {0, 0, 0});
  EXPECT_EQ(r.x + r.y + r.z, 0.0f);
  libutils::normalize(r, {3, 4, 0});
  EXPECT_FLOAT_EQ(r.x, 0.6f);
  EXPECT_FLOAT_EQ(r.y, 0.8f);
  EXPECT_EQ(libutils::det4({1, 1, 1}, {2, 1, 1}, {1, 2, 1}, {1, 1, 2}), 1.0f);
}

TEST(VectorFunctions, RoundingToSteps) {
  EXPECT_EQ(libutils::ceilto(5.5f, 2.0f), 6.0f);
  EXPECT_EQ(libutils::ceilto(-5.5f, 2.0f), -4.0f);
  EXPECT_EQ(libutils::ceilto(4.0f, 2.0f), 4.0f);
  vec3 r;
  libutils::truncto(r, {5.5f, -5.5f, 4.0f}, 2.0f);
  EXPECT_EQ(r.x, 4.0f);
  EXPECT_EQ(r.y, -4.0f);
  EXPECT_EQ(r.z, 4.0f);
  libutils::ceilto(r, {5.5f, -5.5f, 0.3f}, vec3{2.0f, 2.0f, 0.25f});
  EXPECT_EQ(r.x, 6.0f);
  EXPECT_EQ(r.y, -4.0f);
  EXPECT_EQ(r.z, 0.5f);
}

}  // namespace
