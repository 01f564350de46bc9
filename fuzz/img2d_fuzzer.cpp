// img2d and its operations on fuzzed, small descriptors: any layout and bit
// depth code, odd row alignments, pitches, sub-image windows and palettes.
// The pixel storage is a memory mapping, which AddressSanitizer does not
// guard, so every image an operation returns is checked against its block
// here, and the operations with an exact inverse or an exact meaning are
// checked pixel by pixel.
#include <algorithm>
#include <cstdint>

#include "fuzz/fuzzsupport.h"
#include "libutils/img2d.h"
#include "libutils/imgops.h"

namespace {

using libutils::img2d;
using libutils::imgfmt;

// Every pixel row of the image lies inside its storage window.
void CheckInside(const img2d& im, const char* what) {
  if (im.width == 0 || im.height == 0) return;
  const std::uint64_t size = im.storage.size();
  const std::uint64_t lastBit =
      (std::uint64_t{im.x0} + im.width) * im.bpp();
  const std::uint64_t lastRow = std::uint64_t{im.y0} + im.height - 1;
  if (im.bpp() && (!im.data() || lastRow * im.stride() + (lastBit + 7) / 8 > size))
    fuzzsupport::Fail(what);
  if (std::uint64_t{im.x0} + im.width > im.rowlength()) fuzzsupport::Fail(what);
}

bool Bit(const img2d& im, std::uint32_t x, std::uint32_t y, std::uint64_t b) {
  const std::uint64_t at = (std::uint64_t{x} + im.x0) * im.bpp() + b;
  const unsigned char* row =
      im.data() + (std::uint64_t{y} + im.y0) * im.stride();
  return (row[at / 8] >> (7 - at % 8)) & 1;
}

bool SamePixel(const img2d& a, std::uint32_t ax, std::uint32_t ay,
               const img2d& b, std::uint32_t bx, std::uint32_t by) {
  for (std::uint64_t i = 0; i < a.bpp(); ++i)
    if (Bit(a, ax, ay, i) != Bit(b, bx, by, i)) return false;
  return true;
}

bool SamePixels(const img2d& a, const img2d& b) {
  if (a.width != b.width || a.height != b.height || a.fmt != b.fmt)
    return false;
  for (std::uint32_t y = 0; y < a.height; ++y)
    for (std::uint32_t x = 0; x < a.width; ++x)
      if (!SamePixel(a, x, y, b, x, y)) return false;
  return true;
}

// Reads every byte the image's rows cover, so reads of unmapped or foreign
// memory show.
unsigned Touch(const img2d& im) {
  unsigned sum = 0;
  if (im.width == 0 || !im.data()) return 0;
  for (std::uint32_t y = 0; y < im.height; ++y) {
    const unsigned char* row =
        im.data() + (std::uint64_t{y} + im.y0) * im.stride();
    const std::uint64_t from = std::uint64_t{im.x0} * im.bpp() / 8;
    const std::uint64_t to =
        ((std::uint64_t{im.x0} + im.width) * im.bpp() + 7) / 8;
    for (std::uint64_t i = from; i < to; ++i) sum += row[i];
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  static bool quiet = (fuzzsupport::SilenceStandardErrorStream(), true);
  (void)quiet;
  fuzzsupport::Reader in(data, size);

  // Codes beyond the tables are programming errors that abort by design;
  // everything inside them is fair input.
  static libutils::imgalign aligns[8];
  img2d base;
  base.fmt.format = in.Byte() % 18;
  base.fmt.type = in.Byte() % 3;
  base.fmt.bits = in.Byte() % 16;
  base.width = in.Byte() % 13;
  base.height = in.Byte() % 13;
  const unsigned extraPitch = in.Byte() % 6;
  base.pitch = extraPitch ? base.width + extraPitch - 1 : 0;
  const unsigned alignPick = in.Byte() % 9;
  if (alignPick) {
    aligns[alignPick - 1].row = (alignPick - 1) * 3;  // 0, 3, 6 ... 21
    base.align = &aligns[alignPick - 1];
  }
  base.x0 = base.pitch ? in.Byte() % (base.pitch - base.width + 1) : 0;
  base.y0 = in.Byte() % 3;
  if (!base.allocate()) return 0;
  CheckInside(base, "allocate");
  for (std::uint64_t i = 0; i < base.storage.size(); ++i)
    base.data()[i] = in.Byte();
  const unsigned colours = in.Byte() % 20;
  if (colours && base.palette.allocate(colours)) {
    for (unsigned i = 0; i < colours; ++i) {
      base.palette.red.data()[i] = static_cast<unsigned short>(in.U16());
      base.palette.green.data()[i] = static_cast<unsigned short>(in.U16());
      base.palette.blue.data()[i] = static_cast<unsigned short>(in.U16());
    }
  }

  // The source is the whole image or a clipped window onto it.
  img2d src = base;
  if (in.Bool()) {
    const std::uint32_t x = in.Byte() % 16, y = in.Byte() % 16;
    const std::uint32_t w = in.Byte() % 16, h = in.Byte() % 16;
    if (!libutils::subimage(src, base, x, y, w, h))
      fuzzsupport::Fail("subimage refused");
    const std::uint32_t ew = x < base.width ? std::min(w, base.width - x) : 0;
    const std::uint32_t eh = y < base.height ? std::min(h, base.height - y) : 0;
    if (ew && eh && (src.width != ew || src.height != eh))
      fuzzsupport::Fail("subimage size");
    CheckInside(src, "subimage");
    for (std::uint32_t j = 0; j < src.height; ++j)
      for (std::uint32_t i = 0; i < src.width; ++i)
        if (!SamePixel(src, i, j, base, x + i, y + j))
          fuzzsupport::Fail("subimage pixel");
  }
  unsigned sum = Touch(src);

  img2d dst;
  if (libutils::copy(dst, src)) {
    CheckInside(dst, "copy");
    if (!SamePixels(dst, src)) fuzzsupport::Fail("copy pixels");
  }

  const unsigned op = in.Byte();
  // In place (destination is the source) or into a fresh image.
  img2d copyOfSrc = src;
  img2d& target = op & 0x80 ? copyOfSrc : dst;
  switch (op % 8) {
    case 0: {
      img2d turned = src;
      bool ok = true;
      for (int i = 0; i < 4 && ok; ++i) {
        ok = libutils::rotate(1, turned, turned);
        if (ok) CheckInside(turned, "rotate");
      }
      if (ok && !SamePixels(turned, src))
        fuzzsupport::Fail("four quarter turns differ from the source");
      break;
    }
    case 1: {
      const unsigned q = in.Byte() % 6;
      if (libutils::rotate(q, target, src)) CheckInside(target, "rotate");
      break;
    }
    case 2:
      if (libutils::scaledown(target, src)) CheckInside(target, "scaledown");
      break;
    case 3:
      if (libutils::depalette(target, src)) CheckInside(target, "depalette");
      break;
    case 4:
      if (libutils::togrey(target, src)) CheckInside(target, "togrey");
      break;
    case 5:
      if (libutils::torgb(target, src)) CheckInside(target, "torgb");
      break;
    case 6:
      if (libutils::tobgr(target, src)) CheckInside(target, "tobgr");
      break;
    default: {
      const libutils::imgcolor c{in.Byte() / 255.0f, in.Byte() / 255.0f,
                                 in.Byte() / 255.0f, 1};
      img2d window = src;
      if (op & 0x40 ? libutils::fill(window, c) : libutils::addcolor(window, c))
        CheckInside(window, "colour");
      break;
    }
  }
  sum += Touch(target) + Touch(src);
  volatile unsigned keep = sum;
  (void)keep;
  return 0;
}
