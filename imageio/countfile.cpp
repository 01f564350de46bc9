// Count files as the programs see them: the target written atomically here,
// the OpenEXR encoding and decoding in the codec module, loaded on first use
// (or linked in, where a program or test links the codec itself).
#include "imageio/countfile.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "imageio/countcodec.h"
#include "imageio/imagesink.h"
#include "imageio/outtarget.h"

const char CountViewAttribute[] = "mandel.view";
static_assert(sizeof CountViewAttribute == sizeof countcodec::ViewAttributeName,
              "the view attribute has one name");

// Defined only where the codec is linked in.
extern "C" const countcodec::Codec* MandelCountFileCodec()
    __attribute__((weak));

namespace {

constexpr char ModuleName[] = "mandel-countfile.so";

// The directory of the running program, with its trailing slash; empty if
// the system will not say.
std::string ProgramDirectory() {
  std::vector<char> buf(4096);
  const ssize_t got = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (got <= 0) return std::string();
  std::string path(buf.data(), static_cast<std::size_t>(got));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The codec, or nullptr with the reason. Installed programs find the module
// beside their libraries; programs in the build tree, where it was built.
const countcodec::Codec* Codec(std::string& why) {
  static std::once_flag once;
  static const countcodec::Codec* codec = nullptr;
  static std::string failure;
  std::call_once(once, [] {
    if (MandelCountFileCodec != nullptr) {
      codec = MandelCountFileCodec();
      return;
    }
    const std::string candidates[] = {
        ProgramDirectory() + IMAGEIO_CODEC_INSTALL_DIR "/" + ModuleName,
        IMAGEIO_CODEC_BUILD_PATH};
    for (const std::string& path : candidates) {
      void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (module == nullptr) {
        if (failure.empty()) failure = dlerror();
        continue;
      }
      using Entry = const countcodec::Codec* (*)();
      auto entry =
          reinterpret_cast<Entry>(dlsym(module, "MandelCountFileCodec"));
      const countcodec::Codec* found = entry ? entry() : nullptr;
      if (found != nullptr && found->version == countcodec::Version) {
        codec = found;
        return;
      }
      failure = path + " is not this version's count-file module";
      dlclose(module);
    }
  });
  if (codec == nullptr)
    why = "count files are not available: " + failure;
  return codec;
}

}  // namespace

bool CountFilesAvailable() { return true; }

// --- writer -----------------------------------------------------------------

struct CountFileWriter::State {
  imageio::OutTarget out;
  std::unique_ptr<countcodec::Encoder> encoder;
  std::uint32_t height = 0, lines = 0;
  bool failed = false;
};

CountFileWriter::CountFileWriter() = default;

CountFileWriter::~CountFileWriter() { Abandon(); }

bool CountFileWriter::Open(const std::string& target, std::uint32_t width,
                           std::uint32_t height, std::uint32_t limit,
                           const std::string& viewText, bool bottomFirst,
                           std::string& error) {
  Abandon();
  if (width == 0 || height == 0 || width > 0x7fffffffu ||
      height > 0x7fffffffu) {
    error = target + ": a count file needs 1 to 2147483647 samples a side";
    return false;
  }
  if (target == "-") {
    error = "a count file cannot be written to the standard output";
    return false;
  }
  // Before anything is created: a missing module leaves nothing behind.
  const countcodec::Codec* codec = Codec(error);
  if (codec == nullptr) return false;
  std::unique_ptr<State> s(new State());
  s->height = height;
  if (!s->out.Prepare(target, error)) return false;
  std::ostream* os = s->out.OpenStream(error);
  if (!os) return false;
  s->encoder.reset(codec->newEncoder());
  if (!s->encoder->Start(*os, target, width, height, limit, viewText,
                         bottomFirst, error)) {
    s->encoder.reset();
    s->out.Discard();
    return false;
  }
  state = std::move(s);
  return true;
}

bool CountFileWriter::WriteLine(const std::uint32_t* n, const float* nf,
                                std::string& error) {
  if (!state || state->failed) {
    error = state ? state->out.Target() + ": count file already failed"
                  : "count file not open";
    return false;
  }
  if (state->lines == state->height) {
    error = state->out.Target() + ": more lines than the count file's height";
    state->failed = true;
    return false;
  }
  if (!state->encoder->WriteLine(n, nf, error)) {
    state->failed = true;
    return false;
  }
  ++state->lines;
  return true;
}

bool CountFileWriter::Finish(std::string& error) {
  if (!state) {
    error = "count file not open";
    return false;
  }
  bool ok = false;
  if (state->failed) {
    error = state->out.Target() + ": count file already failed";
  } else if (state->lines != state->height) {
    error = state->out.Target() + ": count file incomplete";
  } else if (state->encoder->End(error)) {
    ok = state->out.Commit(error);
  }
  if (!ok) Abandon();
  state.reset();
  return ok;
}

void CountFileWriter::Abandon() {
  if (!state) return;
  state->encoder.reset();
  state->out.Discard();
  state.reset();
}

// --- reader -----------------------------------------------------------------

struct CountFileReader::State {
  std::unique_ptr<countcodec::Decoder> decoder;
};

CountFileReader::CountFileReader() = default;
CountFileReader::~CountFileReader() = default;

bool CountFileReader::Open(const std::string& path, std::string& error) {
  state.reset();
  const countcodec::Codec* codec = Codec(error);
  if (codec == nullptr) return false;
  std::unique_ptr<State> s(new State());
  s->decoder.reset(codec->newDecoder());
  if (!s->decoder->Open(path, error)) return false;
  state = std::move(s);
  return true;
}

std::uint32_t CountFileReader::Width() const {
  return state ? state->decoder->Width() : 0;
}
std::uint32_t CountFileReader::Height() const {
  return state ? state->decoder->Height() : 0;
}
std::uint32_t CountFileReader::Limit() const {
  return state ? state->decoder->Limit() : 0;
}
std::uint32_t CountFileReader::Bias() const {
  return state ? state->decoder->Bias() : 0;
}
const std::string& CountFileReader::ViewText() const {
  static const std::string none;
  return state ? state->decoder->ViewText() : none;
}

bool CountFileReader::ReadLine(std::uint64_t line, std::uint32_t* n, float* nf,
                               std::string& error) {
  if (!state) {
    error = "count file not open";
    return false;
  }
  return state->decoder->ReadLine(line, n, nf, error);
}
