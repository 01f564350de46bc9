// The escape-time engine: holds one view and computes, recomputes, loads or
// saves its counts one line at a time. Counts are unsigned 16-bit: the number
// of steps after which the point was seen outside the escape radius, modulo
// 65536, and 0 for a point that did not escape within the limit.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>

#include "core/mandarea.h"
#include "core/mbuf.h"

class Mandelbrot {
 public:
  enum BufferModes {
    ReducedBuffer = 0,  // only the current line exists
    NormalBuffer = 1,   // every line is kept
  };

  // Starts with the default view and no buffer; the buffer is created by the
  // first SetArea. Any mode other than NormalBuffer gives a reduced buffer.
  explicit Mandelbrot(BufferModes mode);

  // Recomputes the current line's pixels whose count is 0 with the view's
  // current limit; other pixels and the line's flag are left alone.
  virtual void inReCalc();
  // Computes every pixel of the current line and marks the line computed.
  virtual void Calculation();
  // inReCalc() for a line already computed, Calculation() otherwise.
  virtual void ReCalc();
  // Installs a view: resizes the buffer (dropping every count) and makes
  // line 0 current. Throws std::bad_alloc or std::length_error when the
  // raster cannot be held.
  virtual void SetArea(const MandArea& a);
  virtual const MandArea& GetArea() const;
  // The dotsX counts of the current line.
  virtual unsigned short* GetBuf();
  // Makes l the current line. Past the last line it reports
  // "SetLine OVER! (l/dotsY)" on the error stream and takes the last line.
  // Installs the default view first when no view was ever set.
  virtual void SetLine(std::uint64_t l);
  virtual std::uint64_t GetLine() const;

  // View files: the info text (seven values, one per line) and the current
  // line's counts as little-endian 16-bit values. Stream states are left to
  // the caller; a loaded view is always in Mandelbrot mode.
  virtual std::ostream& SaveInfo(std::ostream& os);
  virtual std::ostream& SaveData(std::ostream& os);
  virtual std::istream& LoadInfo(std::istream& is);
  // Counts that the stream cannot supply read as 0, never as stale memory.
  virtual std::istream& LoadData(std::istream& is);

  virtual ~Mandelbrot();

 protected:
  void EnsureArea();

  MandArea area;
  std::uint64_t line;
  std::unique_ptr<MBuf<unsigned short>> buf;
  bool areaSet;
  BufferModes bufferMode;
};

// The steps of LoadInfo, for callers that must check a view before it is
// installed: reads the seven values into a (which starts from the default
// view) and reports whether all seven were read.
bool ReadInfo(std::istream& is, MandArea& a);
// Consumes what LoadInfo consumes after the seven values: one more character,
// white space skipped.
void SkipInfoEnd(std::istream& is);

// The count of one point, iterated from z0 with constant c and escape
// radius r (the fixed rounding of every step is part of the contract).
unsigned short EscapeCount(double zr, double zi, double cr, double ci,
                           double r, std::uint64_t limit);

// Position of pixel (or line) index i among count points spread over
// [start, start + len], both edges included.
// Inline: the renderers call it once a pixel. Not for files compiled for
// other instruction sets (see kernel_lanes.h).
inline double PixelPosition(double start, double len, std::uint64_t i,
                            std::uint64_t count) {
  if (count < 2) return start + len * 0.5;
  // Product first, then the division: the last point lands exactly on the
  // far edge.
  return start + (static_cast<double>(i) * len) / static_cast<double>(count - 1);
}
