// The render driver of setrender.
#include "setrender/render.h"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "bmp/bmp.h"
#include "core/cosinepalette.h"
#include "core/escape.h"
#include "core/mandelbrot.h"
#include "core/orderedrows.h"
#include "libutils/com/atomicfile.h"
#include "libutils/com/fileopen.h"
#include "libutils/com/numconv.h"
#include "setrender/cmdline.h"
#include "setrender/progress.h"

namespace {

const char* InfoExts[] = {".mni", ".MNI", nullptr};
const char* DataExts[] = {".mnd", ".MND", nullptr};
const char* BmpExts[] = {".bmp", ".BMP", nullptr};

// The message for a name the file helpers could not open.
void ReportOpenFailure(std::ostream& err, const char* name, bool tooLong) {
  err << name << (tooLong ? ": File name too long." : ": File can't open.")
      << std::endl;
}

// True when the output names the same file as one of the inputs (links
// followed); the output would destroy the input it is made from.
bool OverwritesAnInput(const libutils::WriteFile& out,
                       const std::string& infoName,
                       const std::string& dataName) {
  if (out.isStd() || out.NameTooLong()) return false;
  for (const std::string& input : {infoName, dataName}) {
    if (!input.empty() && libutils::same_file(out.OFN(), input.c_str())) {
      return true;
    }
  }
  return false;
}

// Fills area from the first form's numbers; false (with the message written)
// when a pixel count or the limit is negative.
bool ViewFromNumbers(const SetRenderCmdOption& option, MandArea& area,
                     std::ostream& err) {
  std::int32_t x = libutils::to_i32(option.dotsX);
  std::int32_t y = libutils::to_i32(option.dotsY);
  std::int32_t limit = libutils::to_i32(option.limit);
  // Widened with sign, a negative count would become a raster of some 10^19
  // pixels: refuse it instead.
  if (x < 0) {
    err << option.dotsX << ": Invalid pixel count." << std::endl;
    return false;
  }
  if (y < 0) {
    err << option.dotsY << ": Invalid pixel count." << std::endl;
    return false;
  }
  if (limit < 0) {
    err << option.limit << ": Invalid limit." << std::endl;
    return false;
  }
  area = MandArea();
  area.dotsX = static_cast<std::uint64_t>(x);
  area.dotsY = static_cast<std::uint64_t>(y);
  double length = libutils::to_double(option.length);
  area.lenRe = length;
  // Product first, then the division; the order fixes the last bits.
  area.lenIm = (static_cast<double>(area.dotsY) * length) /
               static_cast<double>(area.dotsX);
  area.minIm = libutils::to_double(option.imag) + (area.lenRe - area.lenIm) * 0.5;
  area.minRe = libutils::to_double(option.real);
  area.limit = static_cast<std::uint64_t>(limit);
  return true;
}

// Pixels per piece of a row: the positions and results of one piece stay in
// a worker's first-level cache, whatever the width.
constexpr std::size_t Piece = 512;

// What the load step found: the view, how to colour it, and for a saved
// view the stream of its counts.
struct Job {
  MandArea area;
  std::uint32_t reLimit = 0;
  CosinePalette palette;
  BMP header;
  std::uint64_t rowBytes = 0;
  libutils::Read2File data;
  std::istream* counts = nullptr;  // null: the counts are computed
  // The files the view is read from, empty for the standard input.
  std::string infoName, dataName;
  bool Empty() const { return area.dotsX == 0 || area.dotsY == 0; }
};

// Loads the view (from the numbers, or the info file and then the data
// file), checks that the picture fits the format, and sets up its colours
// and header. False with the message written.
bool Load(const SetRenderCmdOption& option, Job& job, std::ostream& err) {
  MandArea& area = job.area;
  if (option.fromFile) {
    libutils::Read2File info;
    std::istream* in = info.ROpen(option.viewFile, InfoExts, std::ios::binary);
    if (!in) {
      ReportOpenFailure(err, info.IFN(), info.NameTooLong());
      return false;
    }
    if (!info.isStd()) job.infoName = info.IFN();
    // Read and checked before it is used, so that a broken file never sizes
    // anything.
    bool complete = ReadInfo(*in, area);
    SkipInfoEnd(*in);
    info.Close();
    if (!complete) {
      err << info.IFN() << ": Invalid view info." << std::endl;
      return false;
    }
    if (option.reLimit) job.reLimit = libutils::to_u32(option.reLimit);
  } else if (!ViewFromNumbers(option, area, err)) {
    return false;
  }
  if (!FitsInBmp(area.dotsX, area.dotsY)) {
    err << area.dotsX << "x" << area.dotsY << ": Image too large for BMP."
        << std::endl;
    return false;
  }

  double rateR = option.rateR ? libutils::to_double(option.rateR) : 3;
  double rateG = option.rateG ? libutils::to_double(option.rateG) : 2;
  double rateB = option.rateB ? libutils::to_double(option.rateB) : 1;
  job.palette.Build(area.limit, job.reLimit != 0 ? job.reLimit : area.limit,
                    rateR, rateG, rateB);

  BMP& header = job.header;
  SetRgbHeader(header, area.dotsX, area.dotsY);
  job.rowBytes = header.scanLineBytes();

  if (option.fromFile) {
    job.counts = job.data.ROpen(option.viewFile, DataExts, std::ios::binary);
    if (!job.counts) {
      ReportOpenFailure(err, job.data.IFN(), job.data.NameTooLong());
      return false;
    }
    if (!job.data.isStd()) job.dataName = job.data.IFN();
    // Checked before the output exists, so a short file costs no picture.
    long long have = libutils::remaining_bytes(*job.counts);
    long long need = static_cast<long long>(area.dotsX * area.dotsY * 2);
    if (have >= 0 && have < need) {
      err << job.data.IFN() << ": Data file too short." << std::endl;
      return false;
    }
  }
  return true;
}

// Opens the output and writes the header. Null with the message written.
std::ostream* Open(const SetRenderCmdOption& option, const Job& job,
                   libutils::WriteFile& out, std::ostream& err) {
  out.SetName(option.bmpFile, BmpExts);
  if (OverwritesAnInput(out, job.infoName, job.dataName)) {
    err << out.OFN() << ": Output would overwrite an input." << std::endl;
    return nullptr;
  }
  // Written beside the target and put in its place only once complete: any
  // return before the Close in Render leaves an existing picture as it was.
  std::ostream* os = out.WOpen(std::ios::binary);
  if (!os) {
    ReportOpenFailure(err, out.OFN(), out.NameTooLong());
    return nullptr;
  }
  job.header.Write(*os);
  return os;
}

// Pixel colours in file order (blue, green, red) from 16-bit counts.
void ColourPixels(const Job& job, const unsigned short* counts, std::size_t n,
                  unsigned char* p) {
  job.palette.WriteBgr(n, job.reLimit, p,
                       [counts](std::size_t m) { return counts[m]; });
}

// The real parts of a computed view's pixels, the same on every line: kept
// for the whole line when that costs little next to the rows themselves,
// and otherwise computed again for each piece.
class Positions {
 public:
  explicit Positions(const MandArea& a) : a(a) {
    if (a.dotsX <= CachedWidth) {
      cache.resize(static_cast<std::size_t>(a.dotsX));
      for (std::size_t m = 0; m < cache.size(); ++m) {
        cache[m] = PixelPosition(a.minRe, a.lenRe, m, a.dotsX);
      }
    }
  }

  // Positions m0 .. m0 + n - 1; scratch holds at least n doubles.
  const double* Get(std::uint64_t m0, std::size_t n, double* scratch) const {
    if (!cache.empty()) return cache.data() + m0;
    for (std::size_t i = 0; i < n; ++i) {
      scratch[i] = PixelPosition(a.minRe, a.lenRe, m0 + i, a.dotsX);
    }
    return scratch;
  }

 private:
  static constexpr std::uint64_t CachedWidth = std::uint64_t(1) << 20;
  MandArea a;
  std::vector<double> cache;
};

// One BMP row of a computed view, counts and colours, made on a worker. The
// counts are Calculation's: the 32-bit ones modulo 2^16, 0 for inside.
void ProduceRow(const Job& job, const Positions& positions,
                const EscapeRule& rule, std::uint64_t line,
                unsigned char* out) {
  const MandArea& a = job.area;
  double im = PixelPosition(a.minIm, a.lenIm, line, a.dotsY);
  double scratch[Piece];
  EscapeResult results[Piece];
  unsigned char* p = out;
  for (std::uint64_t m0 = 0; m0 < a.dotsX; m0 += Piece) {
    std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(Piece, a.dotsX - m0));
    EscapeLine(rule, positions.Get(m0, n, scratch), n, im, results);
    job.palette.WriteBgr(n, job.reLimit, p, [&results](std::size_t i) {
      const std::uint32_t c = results[i].count;
      return static_cast<unsigned short>(c == NeverEscaped ? 0 : c);
    });
    p += 3 * n;
  }
  // The padding at the end of the row.
  std::fill(p, out + job.rowBytes, 0);
}

// Writes the rows of a computed view, made on every processor and handed
// over in order.
void WriteComputedRows(const Job& job, std::ostream& os, Progress& progress) {
  EscapeRule rule;
  rule.radius = 2;
  rule.limit = static_cast<std::uint32_t>(job.area.limit);
  Positions positions(job.area);
  OrderedRows rows;
  rows.Start(job.area.dotsY, job.rowBytes,
             [&job, &positions, rule](std::uint64_t line, unsigned char* out) {
               ProduceRow(job, positions, rule, line, out);
             });
  for (std::uint64_t l = 0; l < job.area.dotsY && os; ++l) {
    const unsigned char* row = rows.Next();
    os.write(reinterpret_cast<const char*>(row),
             static_cast<std::streamsize>(job.rowBytes));
    progress.Update(l + 1);
  }
}

// Writes the rows of a saved view, loaded line by line into the engine.
// False with the message written when the data ends early.
bool WriteLoadedRows(Job& job, std::ostream& os, Progress& progress,
                     std::ostream& err) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(job.area);
  // Zeroed once: the padding at the end of every row stays 0.
  std::vector<unsigned char> row(job.rowBytes, 0);
  for (std::uint64_t l = 0; l < job.area.dotsY && os; ++l) {
    engine.SetLine(l);
    engine.LoadData(*job.counts);
    if (job.counts->fail()) {
      progress.Finish();
      err << job.data.IFN() << ": Data file too short." << std::endl;
      return false;
    }
    ColourPixels(job, engine.GetBuf(), job.area.dotsX, row.data());
    os.write(reinterpret_cast<const char*>(row.data()),
             static_cast<std::streamsize>(row.size()));
    progress.Update(l + 1);
  }
  return true;
}

int Render(const SetRenderCmdOption& option, std::ostream& err,
           bool showProgress) {
  Job job;
  if (!Load(option, job, err)) return 1;
  libutils::WriteFile out;
  std::ostream* os = Open(option, job, out, err);
  if (!os) return 1;
  // A view without pixels is a header-only picture: sizing the engine, the
  // rows or the workers, or walking 2^31 empty lines, would cost memory or
  // time for nothing.
  if (!job.Empty()) {
    Progress progress(err, showProgress, job.area.dotsY);
    if (job.counts) {
      if (!WriteLoadedRows(job, *os, progress, err)) return 1;
    } else {
      WriteComputedRows(job, *os, progress);
    }
    progress.Finish();
  }
  out.Close();
  if (job.counts) job.data.Close();
  // A full disk or a closed pipe shows only here, at the latest when the
  // file is closed: report it rather than leave a cut-off picture behind
  // as a success.
  if (os->fail()) {
    err << out.OFN() << ": write error." << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace

int RenderMain(int argc, char** argv, std::ostream& err, bool showProgress) {
  SetRenderCmdOption option;
  if (!parse(option, argc, argv, err)) {
    PrintUsage(err);
    return 1;
  }
  try {
    return Render(option, err, showProgress);
  } catch (const std::bad_alloc&) {
    err << "setrender: Out of memory." << std::endl;
  } catch (const std::length_error&) {
    err << "setrender: Out of memory." << std::endl;
  }
  return 1;
}
