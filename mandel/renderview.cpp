// One view drawn: engine, sinks, pipeline.
#include "mandel/renderview.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <ostream>

#include "imageio/bmpwriter.h"
#include "imageio/countfile.h"
#include "imageio/partfile.h"
#include "imageio/pngwriter.h"
#include "imageio/viewpair.h"
#include "render/linesource.h"
#ifdef HAVE_DEEP_ENGINE
#include "render/deepsource.h"
#endif
#include "render/pipeline.h"
#include "viewspec/decimal.h"

namespace {

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

}  // namespace

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

bool DrawView(const ViewSpec& v, const DrawSettings& settings,
              const DrawOutputs& outputs, std::ostream& err,
              const std::function<void(std::uint64_t)>& progress,
              std::string& why) {
  const std::string viewText = FormatViewSpec(v);
  const MandArea area = ViewArea(v);
  EngineKind engine = settings.engine;

#ifdef HAVE_DEEP_ENGINE
  if (engine == EngineKind::Auto)
    engine = DoublesSuffice(v, area) ? EngineKind::Double : EngineKind::Deep;
#else
  if (engine == EngineKind::Deep || engine == EngineKind::Exact) {
    why = std::string("--engine ") + EngineName(engine) +
          ": not available in this build (it needs MPFR)";
    return false;
  }
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
        options.threads = settings.threads;
        options.memoryBudget = settings.maxMemory << 20;
        auto d = std::make_unique<DeepLineSource>(dv, options);
        if (settings.verbose) {
          const deep::Stats st = d->engine().stats();
          err << "mandel: engine deep: reference of " << st.referenceLength
              << " steps at " << st.precisionBits << " bits, "
              << (st.referenceBytes + 1023) / 1024 << " KiB with its table\n";
        }
        source = std::move(d);
      } else {
        source = std::make_unique<ExactLineSource>(dv);
        if (settings.verbose) err << "mandel: engine exact\n";
      }
    } catch (const std::exception& e) {
      why = e.what();
      return false;
    }
    sampleArea = FractionArea(area);
  }
#endif
  if (!source) {
    source = std::make_unique<DoubleLineSource>(rule);
    if (settings.verbose) err << "mandel: engine double\n";
  }

  // Opened in this order because the picture decides the order of the rows,
  // and the count file must be told it.
  std::unique_ptr<ImageSink> picture;
  if (!outputs.picture.empty() && outputs.pictureKind == OutputKind::Bmp) {
    auto bmp = std::make_unique<BmpWriter>();
    if (!bmp->Open(outputs.picture, v.sizeX, v.sizeY, why)) return false;
    picture = std::move(bmp);
  } else if (!outputs.picture.empty()) {
    auto png = std::make_unique<PngWriter>();
    PngOptions options;
    options.depth = settings.depth;
    options.viewText = viewText + outputs.viewNote;
    if (!png->Open(outputs.picture, static_cast<std::uint32_t>(v.sizeX),
                   static_cast<std::uint32_t>(v.sizeY), options, why))
      return false;
    picture = std::move(png);
  } else if (!outputs.part.empty()) {
    auto part = std::make_unique<PartWriter>();
    PartHeader band;
    band.width = static_cast<std::uint32_t>(v.sizeX);
    band.height = static_cast<std::uint32_t>(v.sizeY);
    band.first = outputs.firstRow;
    band.last = outputs.lastRow;
    band.depth = settings.depth;
    // The text the whole picture's PNG would hold, for the join to embed.
    band.viewText = viewText + outputs.viewNote;
    if (!part->Open(outputs.part, band, why)) return false;
    picture = std::move(part);
  }
  std::unique_ptr<CountFileWriter> counts;
  if (!outputs.counts.empty()) {
    counts = std::make_unique<CountFileWriter>();
    if (!counts->Open(outputs.counts,
                      static_cast<std::uint32_t>(v.sizeX * v.samples),
                      static_cast<std::uint32_t>(v.sizeY * v.samples), v.limit,
                      viewText, BottomFirst(picture.get()), why))
      return false;
  }
  std::unique_ptr<ViewPairWriter> pair;
  if (!outputs.saveView.empty()) {
    pair = std::make_unique<ViewPairWriter>();
    if (!pair->Open(outputs.saveView, area, why)) return false;
  }

  // Banded colours never read the fraction, and only a count file keeps it.
  const bool fractions =
      v.colouring.shading == Shading::Smooth || counts != nullptr;
  ComputedLines lines(sampleArea, v.samples, v.bailout, *source, fractions);
  Colourer colourer(v.colouring, v.bailout, v.limit);
  PixelColourer pixels(colourer, v.limit, v.samples);

  // A band reads the whole picture's sample lines, from the band's lowest
  // row up.
  std::uint64_t height = v.sizeY;
  std::unique_ptr<BandLines> band;
  if (!outputs.part.empty()) {
    height = std::uint64_t(outputs.lastRow) - outputs.firstRow + 1;
    band = std::make_unique<BandLines>(
        lines, (v.sizeY - 1 - outputs.lastRow) * v.samples);
  }

  RenderJob job;
  job.width = v.sizeX;
  job.height = height;
  job.samples = v.samples;
  job.lines = band ? static_cast<const SampleLines*>(band.get()) : &lines;
  job.colourer = &pixels;
  job.picture = picture.get();
  job.counts = counts.get();
  job.pair = pair.get();
  job.threads = settings.threads;
  job.progress = progress;
  return RunRender(job, why);
}
