// mandel render: a view computed and written to a picture, a count file and
// a saved view pair, in one pass.
#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <ostream>

#include "colour/antialias.h"
#include "imageio/bmpwriter.h"
#include "imageio/countfile.h"
#include "imageio/pngwriter.h"
#include "imageio/viewpair.h"
#include "mandel/commands.h"
#include "mandel/mandel.h"
#include "mandel/viewinput.h"
#include "render/linesource.h"
#ifdef HAVE_DEEP_ENGINE
#include "render/deepsource.h"
#endif
#include "render/pipeline.h"
#include "setrender/progress.h"
#include "viewspec/decimal.h"

namespace {

int Usage(std::ostream& err, const std::string& text) {
  return UsageError(err, "render", text);
}

enum class EngineKind { Auto, Double, Deep, Exact };

const char* EngineName(EngineKind e) {
  switch (e) {
    case EngineKind::Double:
      return "double";
    case EngineKind::Deep:
      return "deep";
    case EngineKind::Exact:
      return "exact";
    default:
      return "auto";
  }
}

bool ParseEngine(const std::string& text, EngineKind& engine,
                 std::string& error) {
  static const EngineKind all[] = {EngineKind::Auto, EngineKind::Double,
                                   EngineKind::Deep, EngineKind::Exact};
  if (text.empty()) {
    engine = EngineKind::Auto;
    return true;
  }
  for (EngineKind e : all)
    if (text == EngineName(e)) {
      engine = e;
      return true;
    }
  error = "--engine " + text + ": must be auto, double, deep or exact";
  return false;
}

// Below this sample spacing, relative to the larger of 1 and the centre's
// magnitude, auto leaves doubles for the deep engine. Doubles then keep only
// about a dozen bits between neighbouring samples, and a dozen bits further
// on neighbouring samples collapse onto the same double. Their counts part
// from exact iteration long before, but only where orbits are long and
// chaotic; the deep engine, though closer to exact there, costs an order of
// magnitude more time at these moderate depths, where its reference orbit
// is short. So doubles, the counts the five programs give, stay while the
// points themselves are still well resolved.
constexpr double DeepSpacing = 0x1p-40;

// Whether doubles resolve the samples of v well enough (area = ViewArea(v)).
[[maybe_unused]] bool DoublesSuffice(const ViewSpec& v, const MandArea& area) {
  double re = 0, im = 0;
  DecimalToDouble(CenterRe(v), re);
  DecimalToDouble(CenterIm(v), im);
  const double scale = std::max({1.0, std::fabs(re), std::fabs(im)});
  const double spacing =
      area.lenRe / (static_cast<double>(v.sizeX) * v.samples);
  return spacing / scale >= DeepSpacing;
}

// Everything the command line asks for, checked before any file is opened.
struct Plan {
  ViewSpec view;
  int depth = 8;
  unsigned threads = 0;
  bool picture = false;
  OutputKind pictureKind = OutputKind::Png;
  std::string countsName;  // -o x.exr or --counts
};

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
  why = CheckOutputs(args, plan);
  if (!why.empty()) return Usage(err, why);

  const ViewSpec& v = plan.view;
  const std::string viewText = FormatViewSpec(v);
  const MandArea area = ViewArea(v);

#ifdef HAVE_DEEP_ENGINE
  if (engine == EngineKind::Auto)
    engine = DoublesSuffice(v, area) ? EngineKind::Double : EngineKind::Deep;
#else
  if (engine == EngineKind::Deep || engine == EngineKind::Exact)
    return Failure(err, std::string("--engine ") + EngineName(engine) +
                            ": not available in this build (it needs MPFR)");
  engine = EngineKind::Double;
#endif

  EscapeRule rule;
  rule.radius = v.bailout;
  rule.limit = v.limit;
  rule.julia = v.julia;
  rule.cr = area.juliaRe;
  rule.ci = area.juliaIm;
  std::unique_ptr<SampleLineSource> source;
  // The deep sources take fractions of the width about the centre.
  MandArea sampleArea = area;
#ifdef HAVE_DEEP_ENGINE
  // Built before any output is opened: a reference that does not fit in
  // memory, or a view the engine refuses, leaves nothing behind.
  if (engine != EngineKind::Double) {
    deep::View dv;
    dv.re = CenterRe(v);
    dv.im = CenterIm(v);
    dv.width = v.width;
    dv.limit = v.limit;
    dv.bailout = v.bailout;
    dv.julia = v.julia;
    dv.juliaRe = v.juliaRe;
    dv.juliaIm = v.juliaIm;
    try {
      if (engine == EngineKind::Deep) {
        deep::Options options;
        options.threads = plan.threads;
        options.memoryBudget = maxMemory << 20;
        auto d = std::make_unique<DeepLineSource>(dv, options);
        if (args.verbose) {
          const deep::Stats st = d->engine().stats();
          err << "mandel: engine deep: reference of " << st.referenceLength
              << " steps at " << st.precisionBits << " bits, "
              << (st.referenceBytes + 1023) / 1024 << " KiB with its table\n";
        }
        source = std::move(d);
      } else {
        source = std::make_unique<ExactLineSource>(dv);
        if (args.verbose) err << "mandel: engine exact\n";
      }
    } catch (const std::exception& e) {
      return Failure(err, e.what());
    }
    sampleArea = FractionArea(area);
  }
#endif
  if (!source) {
    source = std::make_unique<DoubleLineSource>(rule);
    if (args.verbose) err << "mandel: engine double\n";
  }

  // Opened in this order because the picture decides the order of the rows,
  // and the count file must be told it.
  std::unique_ptr<ImageSink> picture;
  if (plan.picture && plan.pictureKind == OutputKind::Bmp) {
    auto bmp = std::make_unique<BmpWriter>();
    if (!bmp->Open(args.output, v.sizeX, v.sizeY, why))
      return Failure(err, why);
    picture = std::move(bmp);
  } else if (plan.picture) {
    auto png = std::make_unique<PngWriter>();
    PngOptions options;
    options.depth = plan.depth;
    options.viewText = viewText;
    if (!png->Open(args.output, static_cast<std::uint32_t>(v.sizeX),
                   static_cast<std::uint32_t>(v.sizeY), options, why))
      return Failure(err, why);
    picture = std::move(png);
  }
  std::unique_ptr<CountFileWriter> counts;
  if (!plan.countsName.empty()) {
    counts = std::make_unique<CountFileWriter>();
    if (!counts->Open(plan.countsName,
                      static_cast<std::uint32_t>(v.sizeX * v.samples),
                      static_cast<std::uint32_t>(v.sizeY * v.samples), v.limit,
                      viewText, BottomFirst(picture.get()), why))
      return Failure(err, why);
  }
  std::unique_ptr<ViewPairWriter> pair;
  if (!args.saveView.empty()) {
    pair = std::make_unique<ViewPairWriter>();
    if (!pair->Open(args.saveView, area, why)) return Failure(err, why);
  }

  // Banded colours never read the fraction, and only a count file keeps it.
  const bool fractions =
      v.colouring.shading == Shading::Smooth || counts != nullptr;
  ComputedLines lines(sampleArea, v.samples, v.bailout, *source, fractions);
  Colourer colourer(v.colouring, v.bailout, v.limit);
  PixelColourer pixels(colourer, v.limit, v.samples);
  Progress progress(err, terminal, v.sizeY);

  RenderJob job;
  job.width = v.sizeX;
  job.height = v.sizeY;
  job.samples = v.samples;
  job.lines = &lines;
  job.colourer = &pixels;
  job.picture = picture.get();
  job.counts = counts.get();
  job.pair = pair.get();
  job.threads = plan.threads;
  job.progress = [&progress](std::uint64_t done) { progress.Update(done); };
  bool ok = RunRender(job, why);
  progress.Finish();
  if (!ok) return Failure(err, why);
  return ExitOk;
}
