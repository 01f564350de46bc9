// mandel colour: a picture made again from stored counts, without computing.
// The rows go through the same pipeline as a render, so the picture equals
// the one rendering would give with the same colouring.
#include <memory>
#include <ostream>

#include "imageio/bmpwriter.h"
#include "imageio/countfile.h"
#include "imageio/pngwriter.h"
#include "imageio/viewpair.h"
#include "mandel/commands.h"
#include "mandel/mandel.h"
#include "mandel/viewinput.h"
#include "render/pipeline.h"
#include "setrender/progress.h"

namespace {

int Usage(std::ostream& err, const std::string& text) {
  return UsageError(err, "colour", text);
}

}  // namespace

int ColourCommand(const ColourCommandArgs& args, std::ostream& err,
                  bool terminal) {
  std::string why;
  OutputKind kind;
  int depth = 8;
  unsigned threads = 0;
  if (!OutputKindOf(args.output, kind, why))
    return Usage(err, "-o " + args.output + ": " + why);
  if (kind == OutputKind::CountFile)
    return Usage(err, "-o " + args.output +
                          ": mandel colour writes pictures (.png or .bmp)");
  if (!ParseDepth(args.colour.depth, depth, why) ||
      !ParseThreads(args.threads, threads, why))
    return Usage(err, why);
  if (depth == 16 && kind != OutputKind::Png)
    return Usage(err, "--depth 16 needs a PNG picture (-o FILE.png)");

  // The input: a count file, found by its first bytes, or else a pair.
  ViewSpec view;
  std::unique_ptr<CountFileReader> countFile;
  std::unique_ptr<ViewPairReader> pairFile;
  std::unique_ptr<SampleLines> lines;
  InputKind inputKind = InputKind::ViewFile;
  bool sniffed = SniffInput(args.input, inputKind, why);
  if (sniffed && inputKind == InputKind::Png)
    return Failure(err, args.input +
                            ": a PNG holds no counts; render its view with "
                            "'mandel render --view " +
                            args.input + "'");
  if (sniffed && inputKind == InputKind::CountFile) {
    countFile = std::make_unique<CountFileReader>();
    if (!countFile->Open(args.input, why)) return Failure(err, why);
    const std::string& text = countFile->ViewText();
    if (text.empty())
      return Failure(err, args.input + ": count file holds no view");
    if (!ParseViewSpec(text, args.input, view, why)) return Failure(err, why);
    if (countFile->Width() != view.sizeX * view.samples ||
        countFile->Height() != view.sizeY * view.samples)
      return Failure(err,
                     args.input + ": the samples do not match the view's size");
    lines = std::make_unique<CountFileLines>(*countFile);
  } else {
    pairFile = std::make_unique<ViewPairReader>();
    if (!pairFile->Open(args.input, why)) return Failure(err, why);
    if (!ViewOfPair(pairFile->Area(), view, why))
      return Failure(err, args.input + ": " + why);
    lines = std::make_unique<ViewPairLines>(*pairFile);
  }
  if (!ApplyColourArgs(args.colour, view.colouring, why))
    return Usage(err, why);
  if (kind == OutputKind::Bmp && !BmpWriter::Fits(view.sizeX, view.sizeY))
    return Failure(err, args.input + ": too large for a BMP file");

  std::unique_ptr<ImageSink> picture;
  if (kind == OutputKind::Bmp) {
    auto bmp = std::make_unique<BmpWriter>();
    if (!bmp->Open(args.output, view.sizeX, view.sizeY, why))
      return Failure(err, why);
    picture = std::move(bmp);
  } else {
    auto png = std::make_unique<PngWriter>();
    PngOptions options;
    options.depth = depth;
    options.viewText = FormatViewSpec(view);
    if (!png->Open(args.output, static_cast<std::uint32_t>(view.sizeX),
                   static_cast<std::uint32_t>(view.sizeY), options, why))
      return Failure(err, why);
    picture = std::move(png);
  }

  Colourer colourer(view.colouring, view.bailout, view.limit);
  PixelColourer pixels(colourer, view.limit, view.samples);
  Progress progress(err, terminal, view.sizeY);
  RenderJob job;
  job.width = view.sizeX;
  job.height = view.sizeY;
  job.samples = view.samples;
  job.lines = lines.get();
  job.colourer = &pixels;
  job.picture = picture.get();
  job.threads = threads;
  job.progress = [&progress](std::uint64_t done) { progress.Update(done); };
  bool ok = RunRender(job, why);
  progress.Finish();
  if (!ok) return Failure(err, why);
  return ExitOk;
}
