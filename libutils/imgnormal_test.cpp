#include "libutils/imgnormal.h"

#include <gtest/gtest.h>

#include <string>

#include "libutils/imgtest.h"

namespace {

using libutils::img2d;
using libutils::imgfmt;
using libutils::vec3;
using imgtest::bytes;

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
      {"flat", 2, 2, {9, 9, 9, 9}, normals({0, 0, 127, 0, 0, 127, 0, 0, 127, 0, 0, 127})},
      {"single pixel", 1, 1, {200}, normals({0, 0, 127})},
      // The last pixel's right neighbour wraps to the first.
      {"step", 4, 1, {0, 0, 0, 255},
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
  img2d packed = imgtest::make(imgfmt::GREY, 3, 1, 1, {1});
  packed.compressed = true;
  struct Row {
    const img2d* src;
    const char* message;
  } rows[] = {
      {&bgr, "normalmap(): image type not supported.\n"},
      {&packed, "normalmap(): compressed format not supported.\n"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.message);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(libutils::normalmap(dst, *r.src));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), r.message);
    EXPECT_EQ(dst.data(), r.src->data());
  }
}

TEST(ImgNormal, CubeMapCentresPointAlongTheAxes) {
  img2d faces[6];
  ASSERT_TRUE(libutils::normalcubemap(faces));
  const bytes centre[6] = {{255, 128, 128}, {0, 128, 128}, {128, 255, 128},
                           {128, 0, 128},   {128, 128, 255}, {128, 128, 0}};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(faces[i].width, 256u);
    EXPECT_EQ(faces[i].fmt, (imgfmt{imgfmt::RGB, 0, 3}));
    const unsigned char* p = faces[i].pixel(127, 127);
    EXPECT_EQ(bytes(p, p + 3), centre[i]);
  }
  // Face +X at (0, 0): u = v = -1, direction (1, 1, 1) / sqrt(3).
  const unsigned char* corner = faces[0].pixel(0, 0);
  EXPECT_EQ(bytes(corner, corner + 3), (bytes{201, 201, 201}));
}

TEST(VectorFunctions, KnownValues) {
  auto expect_vec = [](const vec3& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
  };
  vec3 r;
  expect_vec(libutils::normalize(r, {0, 0, 0}), 0, 0, 0);
  expect_vec(libutils::normalize(r, {3, 4, 0}), 0.6f, 0.8f, 0);
  libutils::vec4 r4;
  libutils::normalize4(r4, {0, 0, 2, 7});
  EXPECT_EQ(r4.z, 1.0f);
  EXPECT_EQ(r4.w, 0.0f);
  expect_vec(libutils::cross(r, {1, 0, 0}, {0, 1, 0}), 0, 0, 1);
  expect_vec(libutils::facenormal(r, {0, 0, 0}, {2, 0, 0}, {2, 3, 0}), 0, 0, 6);
  expect_vec(libutils::unitfacenormal(r, {0, 0, 0}, {2, 0, 0}, {2, 3, 0}), 0,
             0, 1);
  EXPECT_EQ(libutils::triple({1, 0, 0}, {0, 1, 0}, {0, 0, 2}), 2.0f);
  EXPECT_EQ(libutils::det4({1, 1, 1}, {2, 1, 1}, {1, 2, 1}, {1, 1, 2}), 1.0f);
  expect_vec(libutils::dehomogenize(r, {2, 4, 6, 2}), 1, 2, 3);
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
