// mandel video: a finished frame sequence assembled into a video, once
// every share of a split render is done.
#include <filesystem>
#include <map>
#include <ostream>

#include "imageio/pngtext.h"
#include "mandel/commands.h"
#include "mandel/mandel.h"
#include "mandel/sequence_files.h"
#include "mandel/video.h"

namespace {

int Usage(std::ostream& err, const std::string& text) {
  return UsageError(err, "video", text);
}

// The frames of DIR/NAME on disk, by number, with the width of the number.
bool ListFrames(const std::string& sequence,
                std::map<std::uint64_t, int>& frames, std::string& error) {
  namespace fs = std::filesystem;
  const fs::path whole(sequence);
  const fs::path dir =
      whole.parent_path().empty() ? fs::path(".") : whole.parent_path();
  const std::string prefix = whole.filename().string() + "-";
  std::error_code ec;
  fs::directory_iterator it(dir, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < prefix.size() + 6 + 4 ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, ".png") != 0)
      continue;
    const std::string number =
        name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if (number.size() > 19 ||
        number.find_first_not_of("0123456789") != std::string::npos)
      continue;
    frames[std::stoull(number)] = static_cast<int>(number.size());
  }
  if (ec) {
    error = dir.string() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

int VideoCommand(const VideoArgs& args, std::ostream& err) {
  std::string why, format;
  std::uint64_t fps = 30;
  if (!args.fps.empty() && !ParseWhole(args.fps, 1, MaxFps, fps, why))
    return Usage(err, "--fps: " + why);
  if (!VideoFormatOf(args.output, format, why))
    return Usage(err, "-o " + args.output + ": " + why);

  std::map<std::uint64_t, int> frames;
  if (!ListFrames(args.sequence, frames, why)) return Failure(err, why);
  if (frames.empty())
    return Failure(err, args.sequence + ": no frames " + args.sequence +
                            "-000000.png onward");
  // The frames carry the length of their sequence; without it, frames from
  // 0 to the highest found must all be there.
  const int digits = frames.begin()->second;
  std::uint64_t count = frames.rbegin()->first + 1;
  std::string text;
  if (ReadPngViewTextFile(
          FrameName(args.sequence, frames.begin()->first, digits), text, why) &&
      FrameCountOfNote(text, count) && count < frames.rbegin()->first + 1)
    return Failure(err, FrameName(args.sequence, frames.rbegin()->first,
                                  frames.rbegin()->second) +
                            ": beyond the sequence's " + std::to_string(count) +
                            " frames");
  std::uint64_t missing = 0, firstMissing = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    auto at = frames.find(i);
    if (at == frames.end() || at->second != digits) {
      if (!missing) firstMissing = i;
      ++missing;
    }
  }
  if (missing)
    return Failure(err, args.sequence + ": " + std::to_string(missing) +
                            " of " + std::to_string(count) +
                            " frames missing, the first " +
                            FrameName(args.sequence, firstMissing, digits) +
                            "; render them first");

  std::string ffmpeg;
  if (!FindOnPath("ffmpeg", ffmpeg)) {
    err << "mandel: ffmpeg is not on the PATH (Debian: apt install ffmpeg); "
           "the same video is made by:\n  "
        << SequenceCommand(args.sequence, digits, 0, 0, fps, args.output)
        << '\n'
        << std::flush;
    return ExitFailure;
  }
  VideoPipe video;
  if (!video.Open(ffmpeg, args.output, fps, why)) return Failure(err, why);
  for (std::uint64_t i = 0; i < count; ++i)
    if (!video.AddFrame(FrameName(args.sequence, i, digits), why))
      return Failure(err, why);
  if (!video.Finish(why)) return Failure(err, why);
  return ExitOk;
}
