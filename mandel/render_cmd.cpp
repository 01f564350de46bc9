// mandel render: a view computed and written to a picture, a count file and
// a saved view pair, in one pass.
#include <ostream>

#include "colour/antialias.h"
#include "imageio/bmpwriter.h"
#include "mandel/commands.h"
#include "mandel/mandel.h"
#include "mandel/renderview.h"
#include "mandel/viewinput.h"
#include "setrender/progress.h"

namespace {

int Usage(std::ostream& err, const std::string& text) {
  return UsageError(err, "render", text);
}

// Everything the command line asks for, checked before any file is opened.
struct Plan {
  ViewSpec view;
  int depth = 8;
  unsigned threads = 0;
  bool picture = false;
  OutputKind pictureKind = OutputKind::Png;
  std::string countsName;                   // -o x.exr or --counts
  std::uint64_t firstRow = 0, lastRow = 0;  // the band, with --part
};

// --rows and --part: a band of the picture, written alone. Returns the
// usage message, empty when all is well.
std::string CheckBand(const RenderArgs& args, Plan& plan) {
  if (args.part.empty())
    return args.rows.empty() ? "" : "--rows needs --part FILE for the band";
  if (!args.output.empty() || !args.counts.empty() || !args.saveView.empty())
    return "--part writes the band alone; leave out -o, --counts and "
           "--save-view";
  const std::uint64_t last = plan.view.sizeY - 1;
  if (args.rows.empty()) return "";
  const std::size_t colon = args.rows.find(':');
  std::string why;
  if (colon == std::string::npos ||
      !ParseWhole(args.rows.substr(0, colon), 0, last, plan.firstRow, why) ||
      !ParseWhole(args.rows.substr(colon + 1), 0, last, plan.lastRow, why) ||
      plan.firstRow > plan.lastRow)
    return "--rows " + args.rows + ": expected A:B, the first and last row " +
           "with 0 <= A <= B <= " + std::to_string(last) +
           " (rows count from 0 at the top)";
  return "";
}

// Checks the outputs against each other and against the view; returns the
// usage message, empty when all is well.
std::string CheckOutputs(const RenderArgs& args, Plan& plan) {
  std::string why;
  if (args.output.empty() && args.counts.empty() && args.saveView.empty())
    return "nothing to write: give -o FILE, --counts FILE.exr or "
           "--save-view NAME";
  if (!args.output.empty()) {
    if (!OutputKindOf(args.output, plan.pictureKind, why))
      return "-o " + args.output + ": " + why;
    if (plan.pictureKind == OutputKind::CountFile) {
      if (!args.counts.empty())
        return "-o names a count file already; leave out --counts";
      plan.countsName = args.output;
    } else {
      plan.picture = true;
    }
  }
  if (!args.counts.empty()) {
    if (!HasExtension(args.counts, ".exr"))
      return "--counts " + args.counts + ": the name must end in .exr";
    plan.countsName = args.counts;
  }
  const ViewSpec& v = plan.view;
  if (plan.depth == 16 &&
      !(plan.picture && plan.pictureKind == OutputKind::Png))
    return "--depth 16 needs a PNG picture (-o FILE.png)";
  if (plan.picture && plan.pictureKind == OutputKind::Bmp &&
      !BmpWriter::Fits(v.sizeX, v.sizeY))
    return "--size " + std::to_string(v.sizeX) + "x" + std::to_string(v.sizeY) +
           ": too large for a BMP file";
  if (!plan.countsName.empty() &&
      (v.sizeX * v.samples > MaxSide || v.sizeY * v.samples > MaxSide))
    return "--samples " + std::to_string(v.samples) +
           ": the count file would have more than 2147483647 samples a side";
  if (!args.saveView.empty()) {
    if (v.julia)
      return "--save-view: a Julia view cannot be saved as .mni/.mnd, whose "
             "info file has no place for the Julia constant";
    if (v.bailout != 2)
      return "--save-view: the .mni/.mnd pair holds counts for bailout 2 "
             "only; add --bailout 2";
    if (v.samples != 1)
      return "--save-view: the .mni/.mnd pair holds one count per pixel; "
             "use --samples 1";
  }
  return "";
}

}  // namespace

int RenderCommand(const RenderArgs& args, std::ostream& err, bool terminal) {
  Plan plan;
  std::string why;
  if (!args.view.view.empty() && !ReadView(args.view.view, plan.view, why))
    return Failure(err, why);
  if (!ApplyViewArgs(args.view, plan.view, why) ||
      !ApplyColourArgs(args.colour, plan.view.colouring, why) ||
      !ParseDepth(args.colour.depth, plan.depth, why) ||
      !ParseThreads(args.threads, plan.threads, why))
    return Usage(err, why);
  if (!args.samples.empty()) {
    std::uint64_t n;
    if (!ParseWhole(args.samples, 1, MaxSamples, n, why))
      return Usage(err, "--samples: " + why);
    plan.view.samples = static_cast<unsigned>(n);
  }
  EngineKind engine;
  if (!ParseEngine(args.engine, engine, why)) return Usage(err, why);
  std::uint64_t maxMemory = 0;  // MiB; 0: the engine's own default
  if (!args.maxMemory.empty() &&
      !ParseWhole(args.maxMemory, 1, std::uint64_t(1) << 40, maxMemory, why))
    return Usage(err, "--max-memory: " + why);
  plan.lastRow = plan.view.sizeY - 1;
  why = args.part.empty() && args.rows.empty() ? CheckOutputs(args, plan)
                                               : CheckBand(args, plan);
  if (!why.empty()) return Usage(err, why);

  DrawOutputs outputs;
  if (plan.picture) {
    outputs.picture = args.output;
    outputs.pictureKind = plan.pictureKind;
  }
  outputs.counts = plan.countsName;
  outputs.saveView = args.saveView;
  outputs.part = args.part;
  outputs.firstRow = static_cast<std::uint32_t>(plan.firstRow);
  outputs.lastRow = static_cast<std::uint32_t>(plan.lastRow);
  DrawSettings settings;
  settings.engine = engine;
  settings.maxMemory = maxMemory;
  settings.threads = plan.threads;
  settings.depth = plan.depth;
  settings.verbose = args.verbose;
  Progress progress(err, terminal, plan.lastRow - plan.firstRow + 1);
  const bool ok = DrawView(
      plan.view, settings, outputs, err,
      [&progress](std::uint64_t done) { progress.Update(done); }, why);
  progress.Finish();
  if (!ok) return Failure(err, why);
  return ExitOk;
}
