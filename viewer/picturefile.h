// The viewer's files: the picture saved as PNG with its view inside, and
// whatever a user may open to continue from: a view file, a PNG that mandel
// or this viewer wrote, a count file, or the five programs' .mni/.mnd pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewspec/viewspec.h"

namespace zv {

// Writes width x height pixels of 8-bit red-green-blue (rows top first,
// stride bytes apart, starting at first) to path as a PNG that holds
// view_text the way mandel stores it, so that `mandel render --view` and
// `mandel info` read the view back. The file appears under its name only
// when complete; an existing file keeps its bytes on failure. False, with
// "<path>: <why>" in error, when the picture is empty or the file cannot
// be written.
bool save_picture(const std::string& path, const unsigned char* first,
                  std::uint32_t width, std::uint32_t height, std::size_t stride,
                  const std::string& view_text, std::string* error);

// What an opened file gives the window.
struct openedfile {
  // True when the file holds counts to show as they are; false when it
  // holds only a view, which the window computes.
  bool has_counts = false;
  // The view. With counts, size is the counts' raster (one sample per
  // pixel: a count file of N x N samples per pixel is shown at its full
  // sample size) and samples is 1.
  ViewSpec view;
  // With counts: sizeX * sizeY samples, the top row first, each row left
  // to right, in the count files' convention (n: 0 not computed,
  // NeverEscaped, else count + 1; nf the fraction in [0, 1)).
  std::vector<std::uint32_t> n;
  std::vector<float> nf;
};

// The most samples an opened count file or pair may hold: the window keeps
// eight bytes a sample besides the picture.
constexpr std::uint64_t MaxOpenedSamples = std::uint64_t(1) << 26;

// Opens path, telling the kinds apart by their first bytes (PNG, OpenEXR)
// or, for the pair, by the extension .mni or .mnd (either case; the other
// file of the pair is found beside it); anything else is read as a view
// file. False, with a message naming the file in error, when it cannot be
// read, holds no view, is malformed, or holds more than MaxOpenedSamples
// counts; out is then unchanged.
bool open_file(const std::string& path, openedfile* out, std::string* error);

}  // namespace zv
