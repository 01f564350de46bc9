// Julia paths at constant speed: the polyline by its cumulative lengths, the
// circle by the closed form of a linear spiral's arc length, inverted by
// bisection (its length grows monotonically with the angle).
#include "animate/juliapath.h"

#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

double Distance(Complex2 a, Complex2 b) {
  return std::hypot(b.re - a.re, b.im - a.im);
}

// Arc length of r(phi) = r0 + slope * phi from 0 to phi (slope >= 0 after
// the caller turns a shrinking spiral around).
double SpiralLength(double r0, double slope, double phi) {
  if (slope == 0) return r0 * phi;
  auto primitive = [slope](double r) {
    const double h = std::hypot(r, slope);
    return (r * h + slope * slope * std::log(r + h)) / (2 * slope);
  };
  return primitive(r0 + slope * phi) - primitive(r0);
}

}  // namespace

Complex2 AlongPolyline(const std::vector<Complex2>& points, double u) {
  if (points.size() == 1 || u <= 0) return points.front();
  if (u >= 1) return points.back();
  double total = 0;
  for (std::size_t k = 1; k < points.size(); ++k)
    total += Distance(points[k - 1], points[k]);
  if (total == 0) return points.front();
  double left = u * total;
  for (std::size_t k = 1; k < points.size(); ++k) {
    const double leg = Distance(points[k - 1], points[k]);
    if (left <= leg && leg > 0) {
      const double f = left / leg;
      return {points[k - 1].re + (points[k].re - points[k - 1].re) * f,
              points[k - 1].im + (points[k].im - points[k - 1].im) * f};
    }
    left -= leg;
  }
  return points.back();
}

Complex2 AlongCircle(Complex2 centre, Complex2 a, Complex2 b, bool clockwise,
                     double u) {
  const double ra = Distance(centre, a), rb = Distance(centre, b);
  if (ra == 0 && rb == 0) return centre;
  double angleA = std::atan2(a.im - centre.im, a.re - centre.re);
  double angleB = std::atan2(b.im - centre.im, b.re - centre.re);
  if (ra == 0) angleA = angleB;
  if (rb == 0) angleB = angleA;
  // The turn, anticlockwise, in (0, 2 pi]: equal ends make a whole turn.
  double turn = angleB - angleA;
  if (clockwise) turn = -turn;
  while (turn <= 0) turn += 2 * Pi;
  while (turn > 2 * Pi) turn -= 2 * Pi;
  if (a.re == b.re && a.im == b.im) turn = 2 * Pi;

  // Arc length is symmetric in direction: measure a spiral that grows, from
  // the nearer end, and map the point back when the path shrinks.
  const bool shrinking = rb < ra;
  const double r0 = shrinking ? rb : ra, r1 = shrinking ? ra : rb;
  const double slope = (r1 - r0) / turn;
  const double total = SpiralLength(r0, slope, turn);
  const double want = (shrinking ? 1 - u : u) * total;
  double lo = 0, hi = turn;
  for (int i = 0; i < 200 && lo < hi; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (mid <= lo || mid >= hi) break;
    (SpiralLength(r0, slope, mid) < want ? lo : hi) = mid;
  }
  const double phiFromNear = 0.5 * (lo + hi);
  const double phi = shrinking ? turn - phiFromNear : phiFromNear;  // from a
  const double r = ra + (rb - ra) * (phi / turn);
  const double angle = angleA + (clockwise ? -phi : phi);
  return {centre.re + r * std::cos(angle), centre.im + r * std::sin(angle)};
}
