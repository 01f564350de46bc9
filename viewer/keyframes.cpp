// Keyframe files of the viewer's session.
#include "viewer/keyframes.h"

namespace zv {

std::vector<ViewSpec> animation_views(const std::vector<ViewSpec>& views) {
  std::vector<ViewSpec> out;
  if (views.empty()) return out;
  const ViewSpec& last = views.back();
  for (ViewSpec v : views) {
    if (v.julia != last.julia) continue;
    v.sizeX = last.sizeX;
    v.sizeY = last.sizeY;
    if (v.limit == 0) v.limit = 1;
    if (!out.empty() && out.back() == v) continue;
    out.push_back(std::move(v));
  }
  return out;
}

bool keyframe_text(const std::vector<ViewSpec>& views,
                   std::uint32_t frames_per_step, std::string* text,
                   std::string* error) {
  if (views.size() < 2) {
    *error = "an animation needs at least two views";
    return false;
  }
  if (frames_per_step < 1 || frames_per_step > MaxKeyframeStep) {
    *error =
        "frames per step must be from 1 to " + std::to_string(MaxKeyframeStep);
    return false;
  }
  std::string out = "# zoomview: " + std::to_string(views.size()) + " views, " +
                    std::to_string(frames_per_step) +
                    " frames from each to the next\n";
  for (std::size_t i = 0; i < views.size(); ++i) {
    if (i > 0) out += "---\n";
    out += FormatViewSpec(views[i]);
    if (!out.empty() && out.back() != '\n') out += '\n';
    if (i + 1 < views.size())
      out += "frames = " + std::to_string(frames_per_step) + "\n";
  }
  *text = std::move(out);
  return true;
}

std::uint64_t keyframe_frame_count(std::size_t views,
                                   std::uint32_t frames_per_step) {
  if (views < 2) return views;
  return 1 + static_cast<std::uint64_t>(views - 1) * frames_per_step;
}

}  // namespace zv
