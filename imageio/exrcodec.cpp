// Count files: the module the programs load when they first meet one. It
// reads them through OpenEXR, which reports failures by exceptions; they are
// caught here, at its edge, and turned into messages. They are written by
// imageio/exrencoder.
#include <memory>
#include <string>

#include "imageio/countcodec.h"
#include "imageio/exrencoder.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <vector>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfIntAttribute.h>
#include <ImfStdIO.h>
#include <ImfStringAttribute.h>
#include <Iex.h>

namespace {

using countcodec::ViewAttributeName;

// Values of N in our files (and in this module's results).
constexpr std::uint32_t CountNotComputed = 0;
constexpr std::uint32_t CountNeverEscaped = 0xFFFFFFFFu;

const char IterationsName[] = "Iterations";
const char BiasName[] = "IterationsBias";
constexpr int OurBias = 1;

// Decimal text of an unsigned 32-bit value, nothing else allowed.
bool ParseU32(const std::string& s, std::uint32_t& value) {
  if (s.empty() || s.size() > 10) return false;
  std::uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (v > 0xffffffffull) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

// Iterations and IterationsBias: an int, or decimal text when the value
// does not fit an int.
bool ReadCount(const Imf::Header& h, const char* name, std::uint32_t& value) {
  if (auto* i = h.findTypedAttribute<Imf::IntAttribute>(name)) {
    if (i->value() < 0) return false;
    value = static_cast<std::uint32_t>(i->value());
    return true;
  }
  if (auto* s = h.findTypedAttribute<Imf::StringAttribute>(name)) {
    return ParseU32(s->value(), value);
  }
  return false;
}

// --- reader -----------------------------------------------------------------

struct DecoderState {
  std::string path;
  std::ifstream ifs;
  std::unique_ptr<Imf::StdIFStream> stream;
  std::unique_ptr<Imf::InputFile> file;
  std::vector<std::uint32_t> n;
  std::vector<float> nf;
  std::uint32_t width = 0, height = 0, limit = 0, bias = 0;
  int maxY = 0;
  std::string view;
};

class ExrDecoder : public countcodec::Decoder {
 public:
  bool Open(const std::string& path, std::string& error) override;
  std::uint32_t Width() const override { return state ? state->width : 0; }
  std::uint32_t Height() const override { return state ? state->height : 0; }
  std::uint32_t Limit() const override { return state ? state->limit : 0; }
  std::uint32_t Bias() const override { return state ? state->bias : 0; }
  const std::string& ViewText() const override {
    static const std::string none;
    return state ? state->view : none;
  }
  bool ReadLine(std::uint64_t line, std::uint32_t* n, float* nf,
                std::string& error) override;

 private:
  std::unique_ptr<DecoderState> state;
};


bool ExrDecoder::Open(const std::string& path, std::string& error) {
  state.reset();
  std::unique_ptr<DecoderState> s(new DecoderState());
  s->path = path;
  s->ifs.open(path, std::ios::binary);
  if (!s->ifs.is_open()) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  try {
    s->stream.reset(new Imf::StdIFStream(s->ifs, path.c_str()));
    s->file.reset(new Imf::InputFile(*s->stream, 0));
  } catch (const std::exception&) {
    error = path + ": not an OpenEXR file, or a damaged one";
    return false;
  }
  const Imf::Header& h = s->file->header();
  const Imath::Box2i& dw = h.dataWindow();
  const long long w = static_cast<long long>(dw.max.x) - dw.min.x + 1;
  const long long ht = static_cast<long long>(dw.max.y) - dw.min.y + 1;
  if (w < 1 || ht < 1 || w > 0x7fffffff || ht > 0x7fffffff) {
    error = path + ": count file with an empty or oversized data window";
    return false;
  }
  struct Wanted {
    const char* name;
    Imf::PixelType type;
    const char* typeName;
  } wanted[] = {{"N", Imf::UINT, "UINT"}, {"NF", Imf::FLOAT, "FLOAT"}};
  for (const Wanted& c : wanted) {
    const Imf::Channel* ch = h.channels().findChannel(c.name);
    if (!ch) {
      error = path + ": count file without channel " + c.name;
      return false;
    }
    if (ch->type != c.type) {
      error = path + ": channel " + c.name + " is not " + c.typeName;
      return false;
    }
    if (ch->xSampling != 1 || ch->ySampling != 1) {
      error = path + ": channel " + c.name + " is subsampled";
      return false;
    }
  }
  if (!ReadCount(h, IterationsName, s->limit)) {
    error = path + ": count file without a valid Iterations attribute";
    return false;
  }
  if (h.find(BiasName) != h.end() && !ReadCount(h, BiasName, s->bias)) {
    error = path + ": invalid IterationsBias attribute";
    return false;
  }
  if (auto* v = h.findTypedAttribute<Imf::StringAttribute>(ViewAttributeName)) {
    s->view = v->value();
  }
  if (!s->file->isComplete()) {
    error = path + ": truncated count file";
    return false;
  }
  s->width = static_cast<std::uint32_t>(w);
  s->height = static_cast<std::uint32_t>(ht);
  s->maxY = dw.max.y;
  try {
    s->n.resize(s->width);
    s->nf.resize(s->width);
    // The slices are addressed from the data window's origin; a y stride
    // of 0 lands every scanline in the one row buffer.
    const std::ptrdiff_t x0 = dw.min.x;
    Imf::FrameBuffer fb;
    fb.insert("N", Imf::Slice(Imf::UINT,
                              reinterpret_cast<char*>(s->n.data()) -
                                  x0 * static_cast<std::ptrdiff_t>(sizeof(std::uint32_t)),
                              sizeof(std::uint32_t), 0));
    fb.insert("NF", Imf::Slice(Imf::FLOAT,
                               reinterpret_cast<char*>(s->nf.data()) -
                                   x0 * static_cast<std::ptrdiff_t>(sizeof(float)),
                               sizeof(float), 0));
    s->file->setFrameBuffer(fb);
  } catch (const std::exception& e) {
    error = path + ": " + e.what();
    return false;
  }
  state = std::move(s);
  return true;
}

bool ExrDecoder::ReadLine(std::uint64_t line, std::uint32_t* n, float* nf,
                               std::string& error) {
  if (!state) {
    error = "count file not open";
    return false;
  }
  if (line >= state->height) {
    error = state->path + ": no line " + std::to_string(line);
    return false;
  }
  try {
    state->file->readPixels(state->maxY - static_cast<int>(line));
  } catch (const std::exception&) {
    error = state->path + ": truncated or damaged count file";
    return false;
  }
  const std::uint32_t bias = state->bias;
  for (std::uint32_t x = 0; x < state->width; ++x) {
    std::uint32_t v = state->n[x];
    if (v != CountNotComputed && v != CountNeverEscaped && bias != OurBias) {
      // The count is v - bias; ours stores it plus one.
      if (v < bias || static_cast<std::uint64_t>(v - bias) + 1 >= CountNeverEscaped) {
        error = state->path + ": count out of range for IterationsBias " +
                std::to_string(bias);
        return false;
      }
      v = v - bias + 1;
    }
    n[x] = v;
  }
  std::memcpy(nf, state->nf.data(), state->width * sizeof *nf);
  return true;
}

countcodec::Encoder* NewEncoder() { return imageio::NewExrEncoder(); }
countcodec::Decoder* NewDecoder() { return new ExrDecoder(); }

}  // namespace

extern "C" __attribute__((visibility("default"))) const countcodec::Codec*
MandelCountFileCodec() {
  static const countcodec::Codec codec{countcodec::Version, NewEncoder,
                                       NewDecoder};
  return &codec;
}
