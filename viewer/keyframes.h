// The session's views as a keyframe file for `mandel animate`: every view
// at full precision (decimal text, never rounded), so that an animation of
// a deep zoom shows the pictures the user saw. The 10-digit driver script
// of the history export stays as it is beside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewspec/viewspec.h"

namespace zv {

// The most frames one step between keyframes may have.
constexpr std::uint32_t MaxKeyframeStep = 1000000;

// What of views can be one animation, ending at the last view: views of
// the other kind (Julia or not) than the last are left out, every view
// takes the last one's size (the window may have been resized between
// runs; the view keeps its centre and width), a limit of 0 becomes 1
// (animate interpolates limits geometrically), and a view equal to the one
// before it is dropped, so that the animation does not stand still.
std::vector<ViewSpec> animation_views(const std::vector<ViewSpec>& views);

// The keyframe file of views (which must each pass CheckViewSpec, share
// their size, and be all Julia sets or none), with frames_per_step frames
// from each keyframe to the next, linear easing, LF line ends. False, with
// a message in error, for fewer than two views or a step outside 1 ..
// MaxKeyframeStep.
bool keyframe_text(const std::vector<ViewSpec>& views,
                   std::uint32_t frames_per_step, std::string* text,
                   std::string* error);

// The number of frames `mandel animate` writes for the file: one more than
// all the steps together.
std::uint64_t keyframe_frame_count(std::size_t views,
                                   std::uint32_t frames_per_step);

}  // namespace zv
