// The frames of an animation as views: frame i of a keyframe sequence,
// interpolated as docs/keyframes.md describes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "animate/keyframes.h"
#include "viewspec/viewspec.h"

// 1 + the sum of every keyframe's frames.
std::uint64_t FrameCount(const std::vector<Keyframe>& keys);

// The view of frame index (below FrameCount). A frame a keyframe leads to
// is that keyframe's view as written (with the constant of its Julia path
// when it sits inside a polyline); the others are centred views whose
// centre and width are decimal text fine enough for their pixels. False,
// with a message, when the build cannot place the frame (a zoom deeper than
// doubles without MPFR) or a number runs out of range.
bool FrameView(const std::vector<Keyframe>& keys, std::uint64_t index,
               ViewSpec& out, std::string& error);

// The limit at progress s between limits a and b (both at least 1):
// a^(1-s) b^s rounded to the nearest whole number.
std::uint32_t InterpolateLimit(std::uint32_t a, std::uint32_t b, double s);
