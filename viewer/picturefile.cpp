// Saving the viewer's picture and opening the files it can continue from.
#include "viewer/picturefile.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "colour/colouring.h"
#include "colour/palette.h"
#include "core/escape.h"
#include "imageio/countfile.h"
#include "imageio/pngtext.h"
#include "imageio/pngwriter.h"
#include "imageio/viewpair.h"
#include "viewer/countcolour.h"
#include "viewspec/decimal.h"

namespace zv {

namespace {

// A view file is a few lines; a file this large is something else, and
// reading it whole would only cost memory.
constexpr std::streamsize MaxViewFileBytes = 1 << 20;

bool fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool looks_like_exr(const char* bytes, std::size_t size) {
  return size >= 4 && static_cast<unsigned char>(bytes[0]) == 0x76 &&
         static_cast<unsigned char>(bytes[1]) == 0x2f &&
         static_cast<unsigned char>(bytes[2]) == 0x31 &&
         static_cast<unsigned char>(bytes[3]) == 0x01;
}

bool has_pair_extension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return false;
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(c));
  return ext == ".mni" || ext == ".mnd";
}

std::string too_large(const std::string& path, std::uint64_t w,
                      std::uint64_t h) {
  return path + ": " + std::to_string(w) + " x " + std::to_string(h) +
         " samples are too many to show (at most " +
         std::to_string(MaxOpenedSamples) + ")";
}

bool open_view_text(const std::string& path, const std::string& text,
                    openedfile* out, std::string* error) {
  openedfile o;
  std::string why;
  if (!ParseViewSpec(text, path, o.view, why)) return fail(error, why);
  *out = std::move(o);
  return true;
}

bool open_count_file(const std::string& path, openedfile* out,
                     std::string* error) {
  CountFileReader reader;
  std::string why;
  if (!reader.Open(path, why)) return fail(error, why);
  if (reader.ViewText().empty())
    return fail(error, path + ": count file holds no view");
  openedfile o;
  if (!ParseViewSpec(reader.ViewText(), path, o.view, why))
    return fail(error, why);
  const std::uint64_t w = reader.Width(), h = reader.Height();
  // The file's raster is the view's pixels times its samples per side;
  // anything else was not written for this view.
  if (o.view.sizeX * o.view.samples != w || o.view.sizeY * o.view.samples != h)
    return fail(error, path + ": the counts (" + std::to_string(w) + " x " +
                           std::to_string(h) + ") do not fit the view's size");
  if (w * h > MaxOpenedSamples) return fail(error, too_large(path, w, h));
  o.has_counts = true;
  o.view.sizeX = w;
  o.view.sizeY = h;
  o.view.samples = 1;
  o.n.resize(w * h);
  o.nf.resize(w * h);
  // Line 0 is the bottom; the window keeps the top row first.
  for (std::uint64_t line = 0; line < h; ++line) {
    const std::uint64_t row = h - 1 - line;
    if (!reader.ReadLine(line, &o.n[row * w], &o.nf[row * w], why))
      return fail(error, why);
  }
  *out = std::move(o);
  return true;
}

// The view of a pair: centred on its rectangle (exact in decimal from the
// doubles it holds), at the radius 2 its counts were made with.
bool pair_view(const MandArea& area, ViewSpec& view, std::string& error) {
  ViewSpec v;
  if (!ViewOfPair(area, v, error)) return false;
  // The five programs colour a pair in bands: the window's colouring.
  v.colouring = mandel_colouring(colourmode(), v.limit);
  if (!CheckViewSpec(v, error)) return false;
  view = v;
  return true;
}

bool open_pair(const std::string& path, openedfile* out, std::string* error) {
  // The reader takes a name with an extension for both files; the pair is
  // named by what comes before it.
  const std::string base = ViewPairWriter::BaseName(path);
  if (base.empty())
    return fail(error, path + ": not the name of a .mni/.mnd pair");
  ViewPairReader reader;
  std::string why;
  if (!reader.Open(base, why)) return fail(error, why);
  const MandArea& area = reader.Area();
  openedfile o;
  if (!pair_view(area, o.view, why)) return fail(error, path + ": " + why);
  const std::uint64_t w = area.dotsX, h = area.dotsY;
  if (w * h > MaxOpenedSamples) return fail(error, too_large(path, w, h));
  o.has_counts = true;
  o.n.resize(w * h);
  o.nf.assign(w * h, 0.0f);
  std::vector<std::uint16_t> counts(w);
  for (std::uint64_t line = 0; line < h; ++line) {
    if (!reader.ReadLine(line, counts.data(), why)) return fail(error, why);
    std::uint32_t* row = &o.n[(h - 1 - line) * w];
    for (std::uint64_t x = 0; x < w; ++x) row[x] = FromCount16(counts[x]).n;
  }
  *out = std::move(o);
  return true;
}

}  // namespace

bool save_picture(const std::string& path, const unsigned char* first,
                  std::uint32_t width, std::uint32_t height, std::size_t stride,
                  const std::string& view_text, std::string* error) {
  if (!first || width == 0 || height == 0)
    return fail(error, path + ": there is no picture to save");
  PngWriter png;
  PngOptions options;
  options.viewText = view_text;
  std::string why;
  if (!png.Open(path, width, height, options, why)) return fail(error, why);
  for (std::uint32_t row = 0; row < height; ++row) {
    if (!png.WriteRow(first + row * stride, why)) {
      png.Abandon();
      return fail(error, why);
    }
  }
  if (!png.Finish(why)) return fail(error, why);
  return true;
}

bool open_file(const std::string& path, openedfile* out, std::string* error) {
  if (has_pair_extension(path)) return open_pair(path, out, error);
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail(error, path + ": " + std::strerror(errno));
  char head[8] = {};
  in.read(head, sizeof head);
  const auto got = static_cast<std::size_t>(in.gcount());
  if (LooksLikePng(head, got)) {
    std::string text, why;
    if (!ReadPngViewTextFile(path, text, why)) return fail(error, why);
    return open_view_text(path, text, out, error);
  }
  if (looks_like_exr(head, got)) return open_count_file(path, out, error);
  in.clear();
  in.seekg(0);
  std::vector<char> bytes(MaxViewFileBytes + 1);
  in.read(bytes.data(), MaxViewFileBytes + 1);
  const std::streamsize size = in.gcount();
  if (in.bad()) return fail(error, path + ": read error");
  if (size > MaxViewFileBytes)
    return fail(error, path + ": too large for a view file");
  return open_view_text(path, std::string(bytes.data(), size), out, error);
}

}  // namespace zv
