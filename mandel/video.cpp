// ffmpeg behind a pipe. popen runs the command through the system's shell,
// so every name is quoted for that shell.
#include "mandel/video.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "libutils/com/atomicfile.h"
#include "mandel/args.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#endif

namespace {

#ifdef _WIN32
constexpr char PathSeparator = ';';
const char* const Suffixes[] = {".exe", ""};
const char* const WriteMode = "wb";
// cmd.exe: double quotes, which names cannot contain on Windows.
std::string Quote(const std::string& s) { return "\"" + s + "\""; }
#else
constexpr char PathSeparator = ':';
const char* const Suffixes[] = {""};
const char* const WriteMode = "w";
std::string Quote(const std::string& s) {
  bool plain = !s.empty();
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) ||
          std::string("/._-+=:,%").find(c) != std::string::npos))
      plain = false;
  if (plain) return s;
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}
#endif

bool IsFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return in.good();
}

// The encoding both ways share: H.264 in yuv420p, which every player takes,
// needs even sides.
std::string Encoding() {
  return " -c:v libx264 -preset medium -crf 18 -pix_fmt yuv420p -vf " +
         Quote("pad=ceil(iw/2)*2:ceil(ih/2)*2");
}

}  // namespace

bool FindOnPath(const std::string& program, std::string& path) {
  const char* env = std::getenv("PATH");
  if (!env) return false;
  const std::string dirs(env);
  std::size_t from = 0;
  while (from <= dirs.size()) {
    std::size_t end = dirs.find(PathSeparator, from);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(from, end - from);
    from = end + 1;
    if (dir.empty()) continue;
    for (const char* suffix : Suffixes) {
      const std::string candidate = dir + "/" + program + suffix;
      if (IsFile(candidate)) {
        path = candidate;
        return true;
      }
    }
  }
  return false;
}

bool VideoFormatOf(const std::string& name, std::string& format,
                   std::string& error) {
  if (HasExtension(name, ".mp4")) {
    format = "mp4";
  } else if (HasExtension(name, ".mov")) {
    format = "mov";
  } else if (HasExtension(name, ".mkv")) {
    format = "matroska";
  } else {
    error = "the name must end in .mp4, .mov or .mkv";
    return false;
  }
  return true;
}

std::string SequenceCommand(const std::string& sequence, int digits,
                            std::uint64_t first, std::uint64_t frames,
                            std::uint64_t fps, const std::string& out) {
  std::string pattern = sequence + "-%0" + std::to_string(digits) + "d.png";
  std::string command = "ffmpeg -framerate " + std::to_string(fps);
  if (first != 0) command += " -start_number " + std::to_string(first);
  command += " -i " + Quote(pattern) + Encoding();
  if (frames) command += " -frames:v " + std::to_string(frames);
  return command + " " + Quote(out);
}

VideoPipe::VideoPipe() = default;

VideoPipe::~VideoPipe() { Abandon(); }

bool VideoPipe::Open(const std::string& ffmpeg, const std::string& target,
                     std::uint64_t fps, std::string& error) {
  std::string format;
  if (!VideoFormatOf(target, format, error)) {
    error = target + ": " + error;
    return false;
  }
  file = std::make_unique<libutils::atomic_file>();
  if (!file->open(target, error)) {
    error = target + ": " + error;
    file.reset();
    return false;
  }
  const std::string command =
      Quote(ffmpeg) + " -hide_banner -loglevel error -y -f image2pipe" +
      " -framerate " + std::to_string(fps) + " -c:v png -i -" + Encoding() +
      " -movflags +faststart -f " + format + " " + Quote(file->path());
  std::fflush(nullptr);
  pipe = popen(command.c_str(), WriteMode);
  if (!pipe) {
    error = "cannot start " + ffmpeg;
    Abandon();
    return false;
  }
  return true;
}

bool VideoPipe::AddFrame(const std::string& png, std::string& error) {
  std::ifstream in(png, std::ios::binary);
  if (!in) {
    error = png + ": cannot be read";
    return false;
  }
  std::vector<char> buffer(1 << 16);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::size_t got = static_cast<std::size_t>(in.gcount());
    if (got && std::fwrite(buffer.data(), 1, got, pipe) != got) {
      error = "ffmpeg stopped taking frames (at " + png + ")";
      return false;
    }
  }
  if (in.bad()) {
    error = png + ": cannot be read";
    return false;
  }
  return true;
}

bool VideoPipe::Finish(std::string& error) {
  std::FILE* p = pipe;
  pipe = nullptr;
  const int status = p ? pclose(p) : -1;
  if (status != 0) {
    error = "ffmpeg failed to make the video";
    Abandon();
    return false;
  }
  if (!file->commit(error)) {
    Abandon();
    return false;
  }
  file.reset();
  return true;
}

void VideoPipe::Abandon() {
  if (pipe) {
    pclose(pipe);
    pipe = nullptr;
  }
  if (file) {
    file->discard();
    file.reset();
  }
}
