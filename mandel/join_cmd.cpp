// mandel join: a poster's bands, rendered apart, streamed into one PNG.
// Only one row is held at a time, so any height joins in the same memory;
// every band is checked against the others before the first row is written.
#include <memory>
#include <ostream>
#include <vector>

#include "imageio/partfile.h"
#include "imageio/pngwriter.h"
#include "mandel/commands.h"
#include "mandel/mandel.h"
#include "setrender/progress.h"
#include "viewspec/viewspec.h"

int JoinCommand(const JoinArgs& args, std::ostream& err, bool terminal) {
  std::string why;
  OutputKind kind;
  if (!OutputKindOf(args.output, kind, why) || kind != OutputKind::Png)
    return UsageError(err, "join",
                      "-o " + args.output +
                          ": the name must end in .png, or be - for PNG on "
                          "the standard output");

  // Headers first, one file open at a time: a poster may have more bands
  // than a process may hold open files.
  std::vector<PartInfo> parts;
  PartReader reader;
  for (const std::string& path : args.parts) {
    if (!reader.Open(path, why)) return Failure(err, why);
    parts.push_back(PartInfo{path, reader.Header()});
    reader.Close();
  }
  if (!FitParts(parts, why)) return Failure(err, why);
  const PartHeader& whole = parts.front().header;
  ViewSpec view;
  if (!ParseViewSpec(whole.viewText, parts.front().path, view, why))
    return Failure(err, why);
  if (view.sizeX != whole.width || view.sizeY != whole.height)
    return Failure(err, parts.front().path + ": its view is not of a " +
                            std::to_string(whole.width) + "x" +
                            std::to_string(whole.height) + " picture");

  // The options mandel render gives its PNG, so the joined file is byte for
  // byte the poster rendered in one piece.
  PngWriter png;
  PngOptions options;
  options.depth = whole.depth;
  options.viewText = whole.viewText;
  if (!png.Open(args.output, whole.width, whole.height, options, why))
    return Failure(err, why);
  std::vector<unsigned char> row(png.RowBytes());
  Progress progress(err, terminal, whole.height);
  std::uint64_t done = 0;
  for (const PartInfo& part : parts) {
    bool ok = reader.Open(part.path, why);
    // A file changed since its header was read is caught here or by its
    // checksum; the picture is then dropped, never left half-written.
    const PartHeader& h = reader.Header();
    if (ok && (h.width != whole.width || h.height != whole.height ||
               h.first != part.header.first || h.last != part.header.last ||
               h.depth != whole.depth || h.viewText != whole.viewText)) {
      why = part.path + ": changed while being joined";
      ok = false;
    }
    for (std::uint64_t r = 0; ok && r < part.header.Rows(); ++r) {
      ok = reader.ReadRow(row.data(), why) && png.WriteRow(row.data(), why);
      progress.Update(++done);
    }
    if (ok) ok = reader.CheckSum(why);
    reader.Close();
    if (!ok) {
      progress.Finish();
      png.Abandon();
      return Failure(err, why);
    }
  }
  progress.Finish();
  if (!png.Finish(why)) return Failure(err, why);
  return ExitOk;
}
