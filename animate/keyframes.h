// Keyframe files: the views of an animation and how many frames lead from
// each to the next (docs/keyframes.md).
//
//   center = -0.75 0          a view file's keys ...
//   width = 3.5
//   frames = 240              ... and three that lead to the next keyframe
//   ease = inout
//   ---
//   center = -0.7436 0.1318
//   width = 4e-9
//
// Keyframes are separated by a line holding "---" alone. Each is a whole
// view file (keys left out take the view file defaults); `frames`, `ease`
// and `path` belong to every keyframe but the last, `frames` being required
// there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewspec/viewspec.h"

enum class Ease { None, In, Out, InOut };

enum class PathKind { Line, Circle, Polyline };

// How a Julia constant moves from one keyframe to the next.
struct JuliaPath {
  PathKind kind = PathKind::Line;
  std::string re = "0", im = "0";  // the centre of a circle
  bool clockwise = false;          // of a circle
};

constexpr std::uint64_t MaxSegmentFrames = 1000000;

struct Keyframe {
  ViewSpec view;
  std::uint64_t frames = 0;  // to the next keyframe; 0 in the last
  Ease ease = Ease::None;
  JuliaPath path;
  std::size_t line = 1;  // where the keyframe starts, for messages
};

// Reads a keyframe file's text; source names it in messages. On failure
// returns false with error = "<source>:<line>: <what>", counting lines from
// the start of the whole file, and leaves out unchanged. Refuses everything
// a view file refuses, fewer than two keyframes, a missing or malformed
// `frames`, `frames`/`ease`/`path` in the last keyframe, sizes that differ
// from the first keyframe's, a mix of Julia and Mandelbrot keyframes, a path
// on a Mandelbrot keyframe, a limit of 0, and text over 16 MiB.
bool ParseKeyframes(const std::string& text, const std::string& source,
                    std::vector<Keyframe>& out, std::string& error);

// e(t) for t in [0, 1]: t, t^2, t (2 - t) or t^2 (3 - 2 t).
double ApplyEase(Ease ease, double t);
