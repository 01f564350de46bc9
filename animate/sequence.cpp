// Frames between keyframes: the place by the zoom's similarity, the limit
// and period geometrically, the Julia constant along its path, everything
// else held from the keyframe the segment starts at.
#include "animate/sequence.h"

#include <algorithm>
#include <cmath>

#include "animate/juliapath.h"
#include "animate/zoom.h"
#include "viewspec/decimal.h"

namespace {

double Geometric(double a, double b, double s) {
  if (a == b) return a;  // exactly: a period that stays keeps its colours
  return std::exp((1 - s) * std::log(a) + s * std::log(b));
}

Complex2 Constant(const ViewSpec& v) {
  Complex2 c;
  DecimalToDouble(v.juliaRe, c.re);
  DecimalToDouble(v.juliaIm, c.im);
  return c;
}

// The frame each keyframe is shown by.
std::vector<std::uint64_t> Starts(const std::vector<Keyframe>& keys) {
  std::vector<std::uint64_t> starts(keys.size(), 0);
  for (std::size_t k = 1; k < keys.size(); ++k)
    starts[k] = starts[k - 1] + keys[k - 1].frames;
  return starts;
}

// The Julia constant at frame index, which lies in segment k (from the
// keyframe's frame on, before the next's) or is keyframe k's own frame.
// Keeps the texts when the constant does not move.
void JuliaAt(const std::vector<Keyframe>& keys,
             const std::vector<std::uint64_t>& starts, std::size_t k,
             std::uint64_t index, ViewSpec& out) {
  // A polyline run: the keyframes before k that share it, and those after.
  auto poly = [&](std::size_t j) {
    return j + 1 < keys.size() && keys[j].path.kind == PathKind::Polyline;
  };
  // A run's points are the constants of keys[first .. end].
  std::size_t first = k, end = k;
  if (poly(k)) {
    while (first > 0 && poly(first - 1)) --first;
    end = first;
    while (poly(end)) ++end;
    if (index == starts[first]) return;
    std::vector<Complex2> points;
    for (std::size_t j = first; j <= end; ++j)
      points.push_back(Constant(keys[j].view));
    const double t =
        double(index - starts[first]) / double(starts[end] - starts[first]);
    const Complex2 c = AlongPolyline(points, ApplyEase(keys[first].ease, t));
    out.juliaRe = FormatDouble(c.re);
    out.juliaIm = FormatDouble(c.im);
    return;
  }
  if (index == starts[k]) return;
  const Keyframe& a = keys[k];
  const ViewSpec& b = keys[k + 1].view;
  const double s =
      ApplyEase(a.ease, double(index - starts[k]) / double(a.frames));
  Complex2 c;
  if (a.path.kind == PathKind::Circle) {
    Complex2 centre;
    DecimalToDouble(a.path.re, centre.re);
    DecimalToDouble(a.path.im, centre.im);
    c = AlongCircle(centre, Constant(a.view), Constant(b), a.path.clockwise, s);
  } else {
    if (DecimalEqual(a.view.juliaRe, b.juliaRe) &&
        DecimalEqual(a.view.juliaIm, b.juliaIm))
      return;
    c = AlongPolyline({Constant(a.view), Constant(b)}, s);
  }
  out.juliaRe = FormatDouble(c.re);
  out.juliaIm = FormatDouble(c.im);
}

}  // namespace

std::uint64_t FrameCount(const std::vector<Keyframe>& keys) {
  std::uint64_t n = 1;
  for (const Keyframe& k : keys) n += k.frames;
  return n;
}

std::uint32_t InterpolateLimit(std::uint32_t a, std::uint32_t b, double s) {
  const double v = std::nearbyint(Geometric(a, b, s));
  if (!(v >= 1)) return 1;
  if (v >= 4294967295.0) return 4294967295u;
  return static_cast<std::uint32_t>(v);
}

bool FrameView(const std::vector<Keyframe>& keys, std::uint64_t index,
               ViewSpec& out, std::string& error) {
  const std::vector<std::uint64_t> starts = Starts(keys);
  std::size_t k = 0;
  while (k + 1 < keys.size() && index >= starts[k + 1]) ++k;
  ViewSpec v = keys[k].view;
  if (index == starts[k]) {
    if (v.julia) JuliaAt(keys, starts, k, index, v);
    out = v;
    return true;
  }
  const Keyframe& a = keys[k];
  const ViewSpec& b = keys[k + 1].view;
  const double s =
      ApplyEase(a.ease, double(index - starts[k]) / double(a.frames));

  PlanePlace from{CenterRe(a.view), CenterIm(a.view), a.view.width};
  PlanePlace to{CenterRe(b), CenterIm(b), b.width};
  PlanePlace place;
  const std::uint64_t pixels = v.sizeX * std::max(a.view.samples, b.samples);
  if (!ZoomPlace(from, to, s, pixels, place, error)) {
    error = "frame " + std::to_string(index) + ": " + error;
    return false;
  }
  v.anchor = Anchor::Center;
  v.re = place.re;
  v.im = place.im;
  v.width = place.width;
  v.limit = InterpolateLimit(a.view.limit, b.limit, s);
  v.colouring.period =
      Geometric(a.view.colouring.period, b.colouring.period, s);
  if (v.julia) JuliaAt(keys, starts, k, index, v);
  if (!CheckViewSpec(v, error)) {
    error = "frame " + std::to_string(index) + ": " + error;
    return false;
  }
  out = v;
  return true;
}
