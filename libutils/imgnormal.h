// Normal maps from height images, the normalisation cube map, and the small
// single-precision vector functions behind them, for per-pixel lighting.
#pragma once

#include "libutils/img2d.h"

namespace libutils {

struct vec3 {
  float x, y, z;
};
struct vec4 {
  float x, y, z, w;
};

// A normal component in -1..1 as a signed byte, rounding half away from
// zero: 1 gives 127, -1 gives -127.
signed char tosbyte(float c);

// Turns a GREY height image (8-bit UINT, byte x channel_scale is the height)
// into a normal image of the same size: RGB layout, type 0, 8-bit, each
// pixel the unit normal's x, y, z as signed bytes (tosbyte). Neighbours
// wrap around at the right and bottom edges; a flat image gives
// (0, 0, 127). The destination takes over the source's align record.
// An RGB source with 8-bit channels and type 0 or 1 is taken to be a normal
// map already: the destination becomes a shallow copy, and the result is
// true. Failures call libutils::error() and write, with a newline:
//   "normalmap(): compressed format not supported." (destination = shallow
//   copy of the source), "normalmap(): image type not supported." (the
//   same), "normalmap allocate() fail.".
bool normalmap(img2d& destination, const img2d& source);

// Fills faces[0..5] (+X, -X, +Y, -Y, +Z, -Z) with 256 x 256 RGB images of
// type 0 and 8-bit channels whose pixel (s, t) holds the unit direction
// through that texel of an OpenGL cube map, each component d stored as
// tobyte(0.5 x d + 0.5). False at once when a face cannot be allocated; the
// faces before it stay allocated, the ones after it untouched.
bool normalcubemap(img2d* faces);

// The vector functions write their result to r and return it; r may be one
// of the inputs. All work in single precision.

// v / |v| (a multiplication by 1 / |v|); the zero vector gives (0, 0, 0).
vec3& normalize(vec3& r, const vec3& v);
// normalize of x, y, z, with w 0.
vec4& normalize4(vec4& r, const vec4& v);
vec3& cross(vec3& r, const vec3& a, const vec3& b);
// cross(p1 - p0, p2 - p1): the normal of the triangle, not unit length.
vec3& facenormal(vec3& r, const vec3& p0, const vec3& p1, const vec3& p2);
vec3& unitfacenormal(vec3& r, const vec3& p0, const vec3& p1, const vec3& p2);
// cross(a, b) . c
float triple(const vec3& a, const vec3& b, const vec3& c);
// cross(p1 - p0, p2 - p0) . (p3 - p0): six times the signed volume of the
// tetrahedron.
float det4(const vec3& p0, const vec3& p1, const vec3& p2, const vec3& p3);
// (x, y, z) x (1 / w).
vec3& dehomogenize(vec3& r, const vec4& v);
// Each component rounded toward zero to a multiple of s (one step for all,
// or one per component): trunc(c x (1 / s)) x s.
vec3& truncto(vec3& r, const vec3& v, float s);
vec3& truncto(vec3& r, const vec3& v, const vec3& s);
// truncto, then every component still below the input gets its step added:
// rounding up to the multiple for positive values, toward zero otherwise.
vec3& ceilto(vec3& r, const vec3& v, float s);
vec3& ceilto(vec3& r, const vec3& v, const vec3& s);
// The same for one number: ceilto(5.5, 2) is 6, ceilto(-5.5, 2) is -4.
float ceilto(float x, float s);

}  // namespace libutils
