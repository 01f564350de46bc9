// The window's view and the view files of mandel, both ways: the window
// keeps a lower-left corner and a width as decimal text, with the height
// following from the picture's shape; a view file keeps a centre. Exact
// both ways for the same picture size, so a saved picture opens as the
// view it was saved from. Toolkit-free.
#pragma once

#include <cstdint>

#include "viewer/countcolour.h"
#include "viewer/viewmodel.h"
#include "viewspec/viewspec.h"

namespace zv {

// The height in the plane of a width over width_px by height_px pixels, as
// decimal text: the width itself for a square picture, otherwise to 15
// significant digits (a millionth of a millionth of a pixel).
std::string height_of(const std::string& width, std::uint64_t width_px,
                      std::uint64_t height_px);

// The view file of v over a picture of width_px by height_px pixels,
// coloured as mode colours it, at the escape radius of the window's runs.
ViewSpec spec_of(const preciseview& v, std::uint64_t width_px,
                 std::uint64_t height_px, const colourmode& mode);

// The window's view of file_view shown over width_px by height_px pixels: the
// same centre and width (the height follows the picture's shape), its
// limit and Julia constant.
preciseview precise_of(const ViewSpec& file_view, std::uint64_t width_px,
                       std::uint64_t height_px);

}  // namespace zv
