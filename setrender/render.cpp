// The render driver of setrender.
#include "setrender/render.h"

#include <cstdint>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "bmp/bmp.h"
#include "core/cosinepalette.h"
#include "core/linepool.h"
#include "core/mandelbrot.h"
#include "libutils/com/atomicfile.h"
#include "libutils/com/fileopen.h"
#include "libutils/com/numconv.h"
#include "setrender/cmdline.h"
#include "setrender/progress.h"

namespace {

const char* InfoExts[] = {".mni", ".MNI", nullptr};
const char* DataExts[] = {".mnd", ".MND", nullptr};
const char* BmpExts[] = {".bmp", ".BMP", nullptr};

// Bytes the stream can still deliver, or -1 when it cannot tell (a pipe).
long long Remaining(std::istream& is) {
  std::streampos here = is.tellg();
  if (here == std::streampos(-1)) {
    is.clear();
    return -1;
  }
  is.seekg(0, std::ios::end);
  std::streampos end = is.tellg();
  is.seekg(here);
  if (end == std::streampos(-1) || !is) {
    is.clear();
    is.seekg(here);
    return -1;
  }
  return static_cast<long long>(end - here);
}

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

int Render(const SetRenderCmdOption& option, std::ostream& err,
           bool showProgress) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  MandArea area;
  std::uint32_t reLimit = 0;
  // The files the view is read from, empty for the standard input.
  std::string infoName, dataName;

  if (option.fromFile) {
    libutils::Read2File info;
    std::istream* in = info.ROpen(option.viewFile, InfoExts, std::ios::binary);
    if (!in) {
      ReportOpenFailure(err, info.IFN(), info.NameTooLong());
      return 1;
    }
    if (!info.isStd()) infoName = info.IFN();
    // Read and checked before it is installed, so that a broken file never
    // sizes the engine.
    bool complete = ReadInfo(*in, area);
    SkipInfoEnd(*in);
    info.Close();
    if (!complete) {
      err << info.IFN() << ": Invalid view info." << std::endl;
      return 1;
    }
    if (option.reLimit) reLimit = libutils::to_u32(option.reLimit);
  } else if (!ViewFromNumbers(option, area, err)) {
    return 1;
  }
  if (!FitsInBmp(area.dotsX, area.dotsY)) {
    err << area.dotsX << "x" << area.dotsY << ": Image too large for BMP."
        << std::endl;
    return 1;
  }
  // A view without pixels is a header-only picture: sizing the engine, the
  // row or the workers, or walking 2^31 empty lines, would cost memory or
  // time for nothing.
  const bool empty = area.dotsX == 0 || area.dotsY == 0;
  if (!empty) engine.SetArea(area);

  double rateR = option.rateR ? libutils::to_double(option.rateR) : 3;
  double rateG = option.rateG ? libutils::to_double(option.rateG) : 2;
  double rateB = option.rateB ? libutils::to_double(option.rateB) : 1;
  CosinePalette palette;
  palette.Build(area.limit, reLimit != 0 ? reLimit : area.limit, rateR, rateG,
                rateB);

  BMP header;
  header.biBitCount = 24;
  header.biCompression = 0;
  header.biXPelsPerMeter = 144000;
  header.biYPelsPerMeter = 144000;
  header.biClrUsed = 0;
  header.biClrImportant = 0;
  header.biWidth = static_cast<std::int32_t>(area.dotsX);
  header.biHeight = static_cast<std::int32_t>(area.dotsY);
  header.ReCalc();
  // Zeroed once: the padding at the end of every row stays 0.
  std::vector<char> row(empty ? 0 : header.scanLineBytes(), 0);

  libutils::Read2File data;
  std::istream* counts = nullptr;
  if (option.fromFile) {
    counts = data.ROpen(option.viewFile, DataExts, std::ios::binary);
    if (!counts) {
      ReportOpenFailure(err, data.IFN(), data.NameTooLong());
      return 1;
    }
    if (!data.isStd()) dataName = data.IFN();
    // Checked before the output exists, so a short file costs no picture.
    long long have = Remaining(*counts);
    long long need = static_cast<long long>(area.dotsX * area.dotsY * 2);
    if (have >= 0 && have < need) {
      err << data.IFN() << ": Data file too short." << std::endl;
      return 1;
    }
  }

  libutils::WriteFile out;
  out.SetName(option.bmpFile, BmpExts);
  if (OverwritesAnInput(out, infoName, dataName)) {
    err << out.OFN() << ": Output would overwrite an input." << std::endl;
    return 1;
  }
  // Written beside the target and put in its place only once complete: any
  // return before the Close below leaves an existing picture as it was.
  std::ostream* os = out.WOpen(std::ios::binary);
  if (!os) {
    ReportOpenFailure(err, out.OFN(), out.NameTooLong());
    return 1;
  }

  header.Write(*os);
  // Computed lines come from workers on every processor, strictly in order
  // and a few lines ahead at most; they hold the counts Calculation gives.
  std::unique_ptr<LinePool> pool;
  if (!counts && !empty) {
    pool.reset(new LinePool());
    pool->Start(engine.GetArea());
  }
  Progress progress(err, showProgress, area.dotsY);
  for (std::uint64_t l = 0; !empty && l < area.dotsY && *os; ++l) {
    const unsigned short* buf;
    if (counts) {
      engine.SetLine(l);
      engine.LoadData(*counts);
      if (counts->fail()) {
        progress.Finish();
        err << data.IFN() << ": Data file too short." << std::endl;
        return 1;
      }
      buf = engine.GetBuf();
    } else {
      buf = pool->Next();
    }
    char* p = row.data();
    for (std::uint64_t m = 0; m < area.dotsX; ++m) {
      PaletteColour c = palette.Colour(buf[m], reLimit);
      *p++ = static_cast<char>(c.blue);
      *p++ = static_cast<char>(c.green);
      *p++ = static_cast<char>(c.red);
    }
    os->write(row.data(), static_cast<std::streamsize>(row.size()));
    progress.Update(l + 1);
  }
  progress.Finish();
  out.Close();
  if (counts) data.Close();
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

bool FitsInBmp(std::uint64_t dotsX, std::uint64_t dotsY) {
  const std::uint64_t maxSide = 0x7fffffff;
  if (dotsX > maxSide || dotsY > maxSide) return false;
  std::uint64_t scan = ((dotsX * 24 + 31) / 32) * 4;
  if (dotsY != 0 && scan > (0xffffffffull - 54) / dotsY) return false;
  return true;
}

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
