// mandel info: the view and the count statistics of a count file, a saved
// view pair, or a PNG of ours (whose counts are computed again, since a
// picture keeps only colours).
#include <cstdio>
#include <memory>
#include <ostream>
#include <sstream>

#include "imageio/countfile.h"
#include "imageio/pngtext.h"
#include "imageio/viewpair.h"
#include "mandel/commands.h"
#include "mandel/mandel.h"
#include "mandel/viewinput.h"
#include "render/linesource.h"
#include "render/pipeline.h"
#include "render/stats.h"

namespace {

std::string Percent(std::uint64_t part, std::uint64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%",
                whole ? 100.0 * double(part) / double(whole) : 0.0);
  return text;
}

void PrintStats(std::ostream& out, const CountStats& s) {
  out << "samples: " << s.samples << '\n';
  if (s.notComputed)
    out << "not computed: " << s.notComputed << " ("
        << Percent(s.notComputed, s.samples) << ")\n";
  out << "escaped: " << s.escaped << " (" << Percent(s.escaped, s.samples)
      << ")\n";
  if (s.escaped == 0) return;
  out << "counts: " << s.minCount << " to " << s.maxCount << '\n';
  out << "percentiles:";
  for (int p = 0; p < 5; ++p)
    out << (p ? ", " : " ") << StatsPercentiles[p] << "% " << s.percentile[p];
  if (s.binWidth > 1) out << " (to within " << s.binWidth - 1 << ")";
  out << '\n';
  char period[32];
  std::snprintf(period, sizeof period, "%.0f", s.suggestedPeriod);
  out << "suggested period: " << period << '\n';
}

void PrintView(std::ostream& out, const ViewSpec& view) {
  std::istringstream text(FormatViewSpec(view));
  std::string line;
  while (std::getline(text, line)) out << "  " << line << '\n';
}

}  // namespace

int InfoCommand(const std::string& input, std::ostream& out,
                std::ostream& err) {
  std::string why;
  InputKind kind = InputKind::ViewFile;
  bool sniffed = SniffInput(input, kind, why);
  ViewSpec view;
  std::unique_ptr<CountFileReader> countFile;
  std::unique_ptr<ViewPairReader> pairFile;
  std::unique_ptr<SampleLineSource> source;
  std::unique_ptr<SampleLines> lines;
  std::uint64_t width = 0, height = 0;
  std::string what;
  bool haveView = true;

  if (sniffed && kind == InputKind::CountFile) {
    countFile = std::make_unique<CountFileReader>();
    if (!countFile->Open(input, why)) return Failure(err, why);
    const std::string& text = countFile->ViewText();
    haveView = !text.empty();
    if (haveView && !ParseViewSpec(text, input, view, why))
      return Failure(err, why);
    width = countFile->Width();
    height = countFile->Height();
    what = "count file, " + std::to_string(width) + " x " +
           std::to_string(height) + " samples, limit " +
           std::to_string(countFile->Limit());
    lines = std::make_unique<CountFileLines>(*countFile);
  } else if (sniffed && kind == InputKind::Png) {
    std::string text;
    if (!ReadPngViewTextFile(input, text, why)) return Failure(err, why);
    if (!ParseViewSpec(text, input, view, why)) return Failure(err, why);
    const MandArea area = ViewArea(view);
    EscapeRule rule;
    rule.radius = view.bailout;
    rule.limit = view.limit;
    rule.julia = view.julia;
    rule.cr = area.juliaRe;
    rule.ci = area.juliaIm;
    source = std::make_unique<DoubleLineSource>(rule);
    lines = std::make_unique<ComputedLines>(area, view.samples, view.bailout,
                                            *source);
    width = view.sizeX * view.samples;
    height = view.sizeY * view.samples;
    what = "PNG picture; counts computed again from its view";
  } else {
    pairFile = std::make_unique<ViewPairReader>();
    if (!pairFile->Open(input, why)) return Failure(err, why);
    if (!ViewOfPair(pairFile->Area(), view, why))
      return Failure(err, input + ": " + why);
    width = view.sizeX;
    height = view.sizeY;
    what = "saved view (.mni/.mnd), 16-bit counts";
    lines = std::make_unique<ViewPairLines>(*pairFile);
  }

  CountStats stats;
  if (!GatherStats(*lines, width, height, 0, stats, why))
    return Failure(err, why);
  out << input << ": " << what << '\n';
  if (haveView) {
    out << "view:\n";
    PrintView(out, view);
  }
  PrintStats(out, stats);
  out << std::flush;
  return ExitOk;
}
