// mandel animate: the frames of a keyframe sequence, or of a zoom between
// two views, each drawn as mandel render draws a view, skipping frames
// already on disk, optionally piped on to ffmpeg.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "animate/keyframes.h"
#include "animate/sequence.h"
#include "animate/shares.h"
#include "colour/antialias.h"
#include "libutils/com/atomicfile.h"
#include "mandel/commands.h"
#include "mandel/mandel.h"
#include "mandel/renderview.h"
#include "mandel/sequence_files.h"
#include "mandel/video.h"
#include "mandel/viewinput.h"

namespace {

int Usage(std::ostream& err, const std::string& text) {
  return UsageError(err, "animate", text);
}

constexpr std::uint64_t MaxKeyframeBytes = std::uint64_t(16) << 20;

bool ReadKeyframeFile(const std::string& path, std::vector<Keyframe>& keys,
                      std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read";
    return false;
  }
  std::string text;
  std::vector<char> buffer(1 << 16);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    // One byte over is enough for the parser to refuse it.
    if (text.size() > MaxKeyframeBytes) break;
  }
  if (in.bad()) {
    error = path + ": cannot be read";
    return false;
  }
  return ParseKeyframes(text, path, keys, error);
}

// --from A --to B --frames N: the two views N - 1 frames apart, held to the
// rules of a keyframe file.
bool TwoViews(const AnimateArgs& args, std::vector<Keyframe>& keys,
              std::string& error, bool& usage) {
  usage = true;
  if (args.from.empty() || args.to.empty() || args.frames.empty()) {
    error = "give a keyframe file, or --from A.view --to B.view --frames N";
    return false;
  }
  std::uint64_t n = 0;
  if (!ParseWhole(args.frames, 2, MaxSegmentFrames + 1, n, error)) {
    error = "--frames: " + error;
    return false;
  }
  usage = false;
  keys.assign(2, Keyframe());
  if (!ReadView(args.from, keys[0].view, error) ||
      !ReadView(args.to, keys[1].view, error))
    return false;
  keys[0].frames = n - 1;
  const ViewSpec &a = keys[0].view, &b = keys[1].view;
  if (a.julia != b.julia) {
    error = "--to " + args.to + ": both views must be Julia sets, or neither";
    return false;
  }
  return true;
}

// Applies the options that hold for every frame to every keyframe.
bool ApplyOverrides(const AnimateArgs& args, std::vector<Keyframe>& keys,
                    std::string& error) {
  ViewArgs view;
  view.size = args.size;
  view.limit = args.limit;
  view.bailout = args.bailout;
  std::uint64_t samples = 0;
  if (!args.samples.empty() &&
      !ParseWhole(args.samples, 1, MaxSamples, samples, error)) {
    error = "--samples: " + error;
    return false;
  }
  for (Keyframe& k : keys) {
    if (!ApplyViewArgs(view, k.view, error) ||
        !ApplyColourArgs(args.colour, k.view.colouring, error))
      return false;
    if (samples) k.view.samples = static_cast<unsigned>(samples);
  }
  if (!args.limit.empty() && keys[0].view.limit == 0) {
    error =
        "--limit: must be at least 1 in an animation, since limits move "
        "geometrically";
    return false;
  }
  return true;
}

// The line kept on a terminal: frames done of the frames this run draws,
// the rate, and the time left at that rate.
class FrameProgress {
 public:
  FrameProgress(std::ostream& err, bool enabled, std::uint64_t total)
      : err(err),
        enabled(enabled),
        total(total),
        start(std::chrono::steady_clock::now()) {}
  ~FrameProgress() { Finish(); }

  // done frames finished (drawn or found), drawn of them drawn by this run,
  // and the fraction of the frame being drawn.
  void Update(std::uint64_t done, std::uint64_t drawn, double partial) {
    if (!enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (shown && now - lastDraw < std::chrono::milliseconds(200)) return;
    lastDraw = now;
    const double minutes =
        std::chrono::duration<double>(now - start).count() / 60;
    const double work = double(drawn) + partial;
    char text[160];
    if (work > 0 && minutes > 0) {
      const double rate = work / minutes;
      const double left = (double(total - done) - partial) / rate * 60;
      const unsigned long s = static_cast<unsigned long>(left + 0.5);
      std::snprintf(text, sizeof text,
                    "frame %llu/%llu  %.1f frames/min  left %lu:%02lu:%02lu",
                    static_cast<unsigned long long>(done),
                    static_cast<unsigned long long>(total), rate, s / 3600,
                    s / 60 % 60, s % 60);
    } else {
      std::snprintf(text, sizeof text, "frame %llu/%llu",
                    static_cast<unsigned long long>(done),
                    static_cast<unsigned long long>(total));
    }
    const std::string line(text);
    err << '\r' << line
        << std::string(shown > line.size() ? shown - line.size() : 0, ' ')
        << std::flush;
    shown = line.size();
  }
  void Finish() {
    if (!enabled || !shown) return;
    err << '\r' << std::string(shown, ' ') << '\r' << std::flush;
    shown = 0;
  }

 private:
  std::ostream& err;
  bool enabled;
  std::uint64_t total;
  std::chrono::steady_clock::time_point start, lastDraw;
  std::size_t shown = 0;
};

}  // namespace

bool AnimationKeyframes(const AnimateArgs& args, std::vector<Keyframe>& keys,
                        bool& usage, std::string& why) {
  usage = false;
  if (args.keyframes.empty()) {
    if (!TwoViews(args, keys, why, usage)) return false;
  } else if (!ReadKeyframeFile(args.keyframes, keys, why)) {
    return false;
  }
  if (!ApplyOverrides(args, keys, why)) {
    usage = true;
    return false;
  }
  for (const Keyframe& k : keys) {
    if (k.view.sizeX != keys[0].view.sizeX ||
        k.view.sizeY != keys[0].view.sizeY) {
      why = "the views differ in size; give --size WxH";
      return false;
    }
    if (k.view.limit == 0) {
      why = "a view has limit 0; limits move geometrically, give --limit N";
      return false;
    }
  }
  return true;
}

int AnimateCommand(const AnimateArgs& args, std::ostream& err, bool terminal) {
  std::string why;
  const bool twoViews =
      !args.from.empty() || !args.to.empty() || !args.frames.empty();
  if (!args.keyframes.empty() && twoViews)
    return Usage(err, "give a keyframe file or --from/--to/--frames, not both");
  if (args.output.empty())
    return Usage(err,
                 "give -o DIR/NAME: frames are written as "
                 "DIR/NAME-000000.png onward");
  const std::string sequence = args.output;
  const char last = sequence.back();
  if (last == '/' || last == '\\' || HasExtension(sequence, ".png"))
    return Usage(err, "-o " + sequence +
                          ": give DIR/NAME without an extension; frames are "
                          "written as DIR/NAME-000000.png onward");

  // Every option is checked before a keyframe file is read, and everything
  // before a frame is written.
  DrawSettings settings;
  if (!ParseDepth(args.colour.depth, settings.depth, why) ||
      !ParseThreads(args.threads, settings.threads, why) ||
      !ParseEngine(args.engine, settings.engine, why))
    return Usage(err, why);
  if (!args.maxMemory.empty() &&
      !ParseWhole(args.maxMemory, 1, std::uint64_t(1) << 40, settings.maxMemory,
                  why))
    return Usage(err, "--max-memory: " + why);
  settings.verbose = args.verbose;
  std::uint64_t fps = 30;
  if (!args.fps.empty() && !ParseWhole(args.fps, 1, MaxFps, fps, why))
    return Usage(err, "--fps: " + why);
  if (!args.fps.empty() && args.video.empty())
    return Usage(err, "--fps is for --video");
  std::uint64_t rangeFirst = 0, rangeLast = 0;
  if (!args.range.empty() &&
      !ParseRange(args.range, rangeFirst, rangeLast, why))
    return Usage(err, "--range " + args.range + ": " + why);
  std::uint64_t task = 0, tasks = 1;
  auto getenv = [](const char* name) -> const char* {
    return std::getenv(name);
  };
  if (!ResolveTask(args.task, args.tasks, getenv, task, tasks, why))
    return Usage(err, why);
  std::string format;
  if (!args.video.empty()) {
    if (tasks > 1)
      return Usage(err, "--video with " + std::to_string(tasks) +
                            " tasks: each would make a video of its own "
                            "share; once all are done, run 'mandel video'");
    if (!VideoFormatOf(args.video, format, why))
      return Usage(err, "--video " + args.video + ": " + why);
  }

  std::vector<Keyframe> keys;
  bool usage = false;
  if (!AnimationKeyframes(args, keys, usage, why))
    return usage ? Usage(err, why) : Failure(err, why);

  const std::uint64_t count = FrameCount(keys);
  FrameSpan span{0, count};
  if (!args.range.empty()) {
    if (rangeLast >= count)
      return Usage(err, "--range " + args.range +
                            ": the sequence has frames "
                            "0 to " +
                            std::to_string(count - 1));
    span = {rangeFirst, rangeLast - rangeFirst + 1};
  }
  const FrameSpan share = ShareOf(span, task, tasks);
  const int digits = FrameDigits(count);

  std::string ffmpeg;
  if (!args.video.empty() && !FindOnPath("ffmpeg", ffmpeg)) {
    err << "mandel: --video: ffmpeg is not on the PATH (Debian: apt install "
           "ffmpeg). Render the frames without --video, then make the video "
           "with:\n  "
        << SequenceCommand(sequence, digits, span.first,
                           span.count < count ? span.count : 0, fps, args.video)
        << '\n'
        << std::flush;
    return ExitFailure;
  }

  // Every frame's view first: a frame this build cannot place is refused
  // before any is drawn.
  for (std::uint64_t i = share.first; i < share.first + share.count; ++i) {
    ViewSpec v;
    if (!FrameView(keys, i, v, why)) return Failure(err, why);
  }

  if (args.checkOnly) return ExitOk;

  const std::filesystem::path dir =
      std::filesystem::path(sequence).parent_path();
  if (!dir.empty() && share.count) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return Failure(err, dir.string() + ": " + ec.message());
  }

  VideoPipe video;
  if (!ffmpeg.empty() && !video.Open(ffmpeg, args.video, fps, why))
    return Failure(err, why);

  FrameProgress progress(err, terminal, share.count);
  std::uint64_t drawn = 0;
  for (std::uint64_t n = 0; n < share.count; ++n) {
    const std::uint64_t i = share.first + n;
    const std::string name = FrameName(sequence, i, digits);
    // A frame appears under its name only once whole: one that exists is
    // done, by this run's predecessor or by another task.
    if (!libutils::file_exists(name.c_str())) {
      ViewSpec v;
      if (!FrameView(keys, i, v, why)) return Failure(err, why);
      DrawOutputs outputs;
      outputs.picture = name;
      outputs.viewNote = FrameNote(i, count);
      const double rows = double(v.sizeY);
      const bool ok = DrawView(
          v, settings, outputs, err,
          [&](std::uint64_t done) {
            progress.Update(n, drawn, double(done) / rows);
          },
          why);
      if (!ok) {
        progress.Finish();
        return Failure(err, "frame " + std::to_string(i) + ": " + why);
      }
      ++drawn;
    }
    progress.Update(n + 1, drawn, 0);
    if (!ffmpeg.empty() && !video.AddFrame(name, why)) {
      progress.Finish();
      return Failure(err, why);
    }
  }
  progress.Finish();
  if (!ffmpeg.empty() && !video.Finish(why)) return Failure(err, why);
  return ExitOk;
}
