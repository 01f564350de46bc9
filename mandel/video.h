// Videos from frame sequences, made by ffmpeg (an external program): the
// frames are piped to it as PNG files, in order, and its output replaces the
// target only once ffmpeg has finished it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace libutils {
class atomic_file;
}

// The full name of program found on PATH, or false.
bool FindOnPath(const std::string& program, std::string& path);

// The frame rates --fps takes.
constexpr std::uint64_t MaxFps = 1000;

// The container ffmpeg is to write for a video name (".mp4", ".mov" or
// ".mkv"); false with a message for any other name. The output is written
// under a temporary name first, from which ffmpeg cannot tell it.
bool VideoFormatOf(const std::string& name, std::string& format,
                   std::string& error);

// The ffmpeg command that turns frames first .. first + frames - 1 (all
// from first on when frames is 0) of the sequence DIR/NAME-%0<digits>d.png
// into out, as the piped encoding would.
std::string SequenceCommand(const std::string& sequence, int digits,
                            std::uint64_t first, std::uint64_t frames,
                            std::uint64_t fps, const std::string& out);

// One ffmpeg process encoding frames into a video.
class VideoPipe {
 public:
  VideoPipe();
  ~VideoPipe();  // abandons an unfinished video
  VideoPipe(const VideoPipe&) = delete;
  VideoPipe& operator=(const VideoPipe&) = delete;

  // Starts ffmpeg (the program's full name) writing H.264 (yuv420p, sides
  // padded to even) at fps frames a second for the target. False with a
  // message when the target cannot be prepared or ffmpeg cannot start;
  // nothing is left behind then.
  bool Open(const std::string& ffmpeg, const std::string& target,
            std::uint64_t fps, std::string& error);
  // Sends the next frame, a PNG file's bytes.
  bool AddFrame(const std::string& png, std::string& error);
  // Waits for ffmpeg and puts the video in place. False with a message when
  // ffmpeg failed; the target is then untouched.
  bool Finish(std::string& error);
  void Abandon();

 private:
  std::unique_ptr<libutils::atomic_file> file;
  std::FILE* pipe = nullptr;
};
