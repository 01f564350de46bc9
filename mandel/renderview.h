// Drawing one view: the engine chosen for it, the outputs opened, and the
// render pipeline run to the end. mandel render draws one view with it, and
// mandel animate every frame of a sequence.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "mandel/args.h"
#include "viewspec/viewspec.h"

enum class EngineKind { Auto, Double, Deep, Exact };

const char* EngineName(EngineKind e);

// --engine: auto when empty. False with a message otherwise.
bool ParseEngine(const std::string& text, EngineKind& engine,
                 std::string& error);

// How to draw, whatever the view.
struct DrawSettings {
  EngineKind engine = EngineKind::Auto;
  std::uint64_t maxMemory = 0;  // MiB for the deep reference; 0: its default
  unsigned threads = 0;         // 0: one per processor
  int depth = 8;                // bits per PNG channel
  bool verbose = false;         // say on err which engine draws the view
};

// Where the view goes. Every name is optional, but one at least is given.
struct DrawOutputs {
  std::string picture;  // .png (view embedded), .bmp or "-"
  OutputKind pictureKind = OutputKind::Png;
  std::string counts;    // count file, .exr
  std::string saveView;  // NAME of a .mni/.mnd pair
  // Extra text stored with the view in a PNG, after it: comment lines
  // ("# ...") a view file reader skips.
  std::string viewNote;
  // A band of the picture alone, rows firstRow .. lastRow counted from the
  // top, to a part file (imageio/partfile.h) in place of a picture; its
  // rows are byte for byte those of the picture drawn whole.
  std::string part;
  std::uint32_t firstRow = 0, lastRow = 0;
};

// Draws v (which must pass CheckViewSpec) to the outputs; each named output
// appears only whole. progress, when set, is called with the rows done.
// False with a message when the engine cannot draw the view in this build,
// refuses it, or an output cannot be written; nothing is left behind then.
bool DrawView(const ViewSpec& v, const DrawSettings& settings,
              const DrawOutputs& outputs, std::ostream& err,
              const std::function<void(std::uint64_t)>& progress,
              std::string& error);
