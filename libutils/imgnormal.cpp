// Normal maps, the normalisation cube map and the vector functions.
#include "libutils/imgnormal.h"

#include <cmath>

#include "libutils/imgops.h"
#include "libutils/imgutil.h"

namespace libutils {
namespace {

float dot(const vec3& a, const vec3& b) {
  return (a.x * b.x + a.y * b.y) + a.z * b.z;
}

vec3 minus(const vec3& a, const vec3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}

float trunc_step(float c, float s) { return std::trunc(c * (1.0f / s)) * s; }

float ceil_step(float c, float s) {
  float t = trunc_step(c, s);
  return t < c ? t + s : t;
}

}  // namespace

signed char tosbyte(float c) {
  float scaled = 127.0f * c;
  return static_cast<signed char>(c < 0.0f ? scaled - 0.5f : scaled + 0.5f);
}

bool normalmap(img2d& destination, const img2d& source) {
  const imgfmt& f = source.fmt;
  if (source.compressed) {
    imgutil::report("normalmap(): compressed format not supported.");
    destination = source;
    return false;
  }
  if (f.format == imgfmt::RGB && f.type <= 1 && f.bits == imgfmt::BITS8) {
    destination = source;
    return true;
  }
  if (f.format != imgfmt::GREY || f.type != imgfmt::UINT ||
      f.bits != imgfmt::BITS8) {
    imgutil::report("normalmap(): image type not supported.");
    destination = source;
    return false;
  }
  const img2d src = source;
  destination.width = src.width;
  destination.height = src.height;
  destination.fmt = {imgfmt::RGB, 0, imgfmt::BITS8};
  destination.align = src.align;
  destination.compressed = false;
  imgutil::make_own(destination);
  if (!destination.allocate()) {
    imgutil::report("normalmap allocate() fail.");
    return false;
  }

  const std::uint32_t w = src.width, h = src.height;
  auto height_at = [&src](std::uint32_t x, std::uint32_t y) {
    return *src.pixel(x, y) * channel_scale;
  };
  for (std::uint32_t y = 0; y < h; ++y) {
    unsigned char* out = destination.pixel(0, y);
    for (std::uint32_t x = 0; x < w; ++x, out += 3) {
      // The neighbours wrap, so the map tiles without a seam.
      const std::uint32_t x1 = (x + 1) % w, y1 = (y + 1) % h;
      const float here = height_at(x, y);
      const float dx = height_at(x1, y) - here;
      const float dy = height_at(x, y1) - here;
      // The sum of the unit slopes (dx, 0, sqrt(1 - dx^2)) and
      // (0, dy, sqrt(1 - dy^2)); 255 x channel_scale is exactly 1, so the
      // roots never see a negative number.
      vec3 n{dx, dy, std::sqrt(1.0f - dx * dx) + std::sqrt(1.0f - dy * dy)};
      normalize(n, n);
      if (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f) n.z = 1.0f;
      out[0] = static_cast<unsigned char>(tosbyte(n.x));
      out[1] = static_cast<unsigned char>(tosbyte(n.y));
      out[2] = static_cast<unsigned char>(tosbyte(n.z));
    }
  }
  return true;
}

bool normalcubemap(img2d* faces) {
  for (int i = 0; i < 6; ++i) {
    img2d& face = faces[i];
    face.width = 256;
    face.height = 256;
    face.compressed = false;
    face.fmt = {imgfmt::RGB, 0, imgfmt::BITS8};
    imgutil::make_own(face);
    if (!face.allocate()) return false;
  }
  for (int i = 0; i < 6; ++i) {
    for (std::uint32_t t = 0; t < 256; ++t) {
      unsigned char* out = faces[i].pixel(0, t);
      const float v = static_cast<float>(t) / 127.0f - 1.0f;
      for (std::uint32_t s = 0; s < 256; ++s, out += 3) {
        const float u = static_cast<float>(s) / 127.0f - 1.0f;
        // The face layout of the OpenGL cube-map table.
        vec3 d;
        switch (i) {
          case 0:
            d = {1.0f, -v, -u};
            break;
          case 1:
            d = {-1.0f, -v, u};
            break;
          case 2:
            d = {u, 1.0f, v};
            break;
          case 3:
            d = {u, -1.0f, -v};
            break;
          case 4:
            d = {u, -v, 1.0f};
            break;
          default:
            d = {-u, -v, -1.0f};
            break;
        }
        normalize(d, d);
        out[0] = tobyte(0.5f * d.x + 0.5f);
        out[1] = tobyte(0.5f * d.y + 0.5f);
        out[2] = tobyte(0.5f * d.z + 0.5f);
      }
    }
  }
  return true;
}

vec3& normalize(vec3& r, const vec3& v) {
  const float length = std::sqrt((v.x * v.x + v.y * v.y) + v.z * v.z);
  if (length == 0.0f) {
    r = {0.0f, 0.0f, 0.0f};
    return r;
  }
  const float inv = 1.0f / length;
  r = {v.x * inv, v.y * inv, v.z * inv};
  return r;
}

vec4& normalize4(vec4& r, const vec4& v) {
  vec3 n{v.x, v.y, v.z};
  normalize(n, n);
  r = {n.x, n.y, n.z, 0.0f};
  return r;
}

vec3& cross(vec3& r, const vec3& a, const vec3& b) {
  r = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
  return r;
}

vec3& facenormal(vec3& r, const vec3& p0, const vec3& p1, const vec3& p2) {
  return cross(r, minus(p1, p0), minus(p2, p1));
}

vec3& unitfacenormal(vec3& r, const vec3& p0, const vec3& p1, const vec3& p2) {
  facenormal(r, p0, p1, p2);
  return normalize(r, r);
}

float triple(const vec3& a, const vec3& b, const vec3& c) {
  vec3 ab;
  return dot(cross(ab, a, b), c);
}

float det4(const vec3& p0, const vec3& p1, const vec3& p2, const vec3& p3) {
  vec3 n;
  return dot(cross(n, minus(p1, p0), minus(p2, p0)), minus(p3, p0));
}

vec3& dehomogenize(vec3& r, const vec4& v) {
  const float inv = 1.0f / v.w;
  r = {v.x * inv, v.y * inv, v.z * inv};
  return r;
}

vec3& truncto(vec3& r, const vec3& v, float s) {
  return truncto(r, v, vec3{s, s, s});
}

vec3& truncto(vec3& r, const vec3& v, const vec3& s) {
  r = {trunc_step(v.x, s.x), trunc_step(v.y, s.y), trunc_step(v.z, s.z)};
  return r;
}

vec3& ceilto(vec3& r, const vec3& v, float s) {
  return ceilto(r, v, vec3{s, s, s});
}

vec3& ceilto(vec3& r, const vec3& v, const vec3& s) {
  r = {ceil_step(v.x, s.x), ceil_step(v.y, s.y), ceil_step(v.z, s.z)};
  return r;
}

float ceilto(float x, float s) { return ceil_step(x, s); }

}  // namespace libutils
