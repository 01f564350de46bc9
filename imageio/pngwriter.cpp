// PNG output through libpng, whose image data ISA-L's igzip compresses by
// default (see PngDeflate): libpng writes every chunk, those of the image
// data as the compressor fills them. libpng reports errors by longjmp: every
// call into it is made from a small function whose frame holds nothing with
// a destructor, so the jump skips no C++ clean-up.
//
// Rows are compressed on an encoder thread of the picture's own: the thread
// that hands them over only copies each into a small ring and goes back to
// its work, so compression overlaps the rendering. The bytes are those of
// compressing on the caller's thread: the encoder gets the same rows in the
// same order.
#include "imageio/pngwriter.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "imageio/outtarget.h"
#include "imageio/pngtext.h"

#ifdef IMAGEIO_HAVE_ISAL
#include "imageio/zdeflate.h"
#endif

struct PngWriter::State {
  imageio::OutTarget out;
  std::ostream* os = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::uint32_t width = 0, height = 0, rows = 0;
  int depth = 8;
  bool failed = false;
  char message[256] = {0};  // set by the error handler before the jump

  // The ring of rows between the caller and the encoder, guarded by lock:
  // rows [first, first + queued) wait (modulo the ring's size).
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::vector<unsigned char>> ring;
  std::size_t first = 0, queued = 0;
  bool closing = false;       // no more rows will come
  bool stopping = false;      // abandoned: drop the rest
  bool encodeFailed = false;  // message holds why
  std::thread encoder;

#ifdef IMAGEIO_HAVE_ISAL
  // With PngDeflate::Fast the encoder compresses the rows into IDAT chunks
  // itself; libpng writes every other chunk.
  bool igzip = false;
  std::unique_ptr<imageio::ZlibStream> zs;
  std::vector<unsigned char> idat, swapped;
  // The compressor's message; kept here, out of the frames that libpng's
  // error handler jumps over.
  std::string deflateError;
#endif

  ~State() {
    StopEncoder(true);
    if (png) png_destroy_write_struct(&png, &info);
  }

  void Encode();
  // Waits for the encoder to end: after the rows queued, or at once when
  // abandoning.
  void StopEncoder(bool abandon) {
    if (!encoder.joinable()) return;
    {
      std::lock_guard<std::mutex> guard(lock);
      closing = true;
      stopping = stopping || abandon;
    }
    changed.notify_all();
    encoder.join();
  }
};

namespace {

void OnError(png_structp png, png_const_charp text) {
  auto* s = static_cast<PngWriter::State*>(png_get_error_ptr(png));
  if (s->message[0] == '\0') {
    std::snprintf(s->message, sizeof s->message, "%s", text);
  }
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnWrite(png_structp png, png_bytep data, png_size_t size) {
  auto* s = static_cast<PngWriter::State*>(png_get_io_ptr(png));
  s->os->write(reinterpret_cast<const char*>(data),
               static_cast<std::streamsize>(size));
  // A full disk or a closed pipe ends the picture at once instead of
  // compressing the rest for nothing.
  if (s->os->fail()) png_error(png, "write error");
}

void OnFlush(png_structp) {}

bool HostIsLittleEndian() {
  const std::uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

// Everything up to the image data: IHDR, sRGB (with the gAMA and cHRM that
// decoders without colour management fall back on), the view text.
bool WriteHead(PngWriter::State* s, int level, int filters, bool rle,
               const char* viewText) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_set_write_fn(s->png, s, OnWrite, OnFlush);
  // The default limits are for reading untrusted files; ours are our own.
  png_set_user_limits(s->png, 0x7fffffffu, 0x7fffffffu);
  png_set_compression_level(s->png, level);
  png_set_filter(s->png, PNG_FILTER_TYPE_BASE, filters);
  if (rle) png_set_compression_strategy(s->png, Z_RLE);
  // Larger IDAT chunks: fewer chunk headers and checksums per picture.
  png_set_compression_buffer_size(s->png, 1u << 17);
  png_set_IHDR(s->png, s->info, s->width, s->height, s->depth,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_set_sRGB_gAMA_and_cHRM(s->png, s->info, PNG_sRGB_INTENT_PERCEPTUAL);
  png_text text;
  std::memset(&text, 0, sizeof text);
  if (viewText && viewText[0] != '\0') {
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>(PngViewKey);
    text.text = const_cast<char*>(viewText);
    text.text_length = std::strlen(viewText);
    png_set_text(s->png, s->info, &text, 1);
  }
  png_write_info(s->png, s->info);
  // PNG stores 16-bit samples big-endian; rows arrive in host order.
  if (s->depth == 16 && HostIsLittleEndian()) png_set_swap(s->png);
  return true;
}

int Filters(PngFilter f) {
  switch (f) {
    case PngFilter::None:
      return PNG_FILTER_NONE;
    case PngFilter::Sub:
      return PNG_FILTER_SUB;
    case PngFilter::Up:
      return PNG_FILTER_UP;
    case PngFilter::Paeth:
      return PNG_FILTER_PAETH;
    case PngFilter::Adaptive:
      break;
  }
  return PNG_ALL_FILTERS;
}

bool WriteOneRow(PngWriter::State* s, const void* row) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_write_row(s->png, static_cast<png_const_bytep>(row));
  return true;
}

#ifdef IMAGEIO_HAVE_ISAL
// The IDAT chunk of what the compressor has put out, if anything; the
// output buffer is then empty again. Called under a setjmp of the caller.
void EmitIdat(PngWriter::State* s) {
  const std::size_t used = s->zs->Produced();
  if (used > 0) {
    png_write_chunk(s->png, reinterpret_cast<png_const_bytep>("IDAT"),
                    s->idat.data(), used);
  }
  s->zs->Continue(s->idat.data(), s->idat.size());
}

// Compresses n bytes (all of them, or to the stream's end when finishing),
// sending each full output buffer out as an IDAT chunk.
bool Deflate(PngWriter::State* s, const unsigned char* data, std::size_t n,
             bool finish) {
  for (;;) {
    switch (s->zs->Feed(data, n, finish, s->deflateError)) {
      case imageio::ZlibStream::Result::Failed:
        std::snprintf(s->message, sizeof s->message, "%s",
                      s->deflateError.c_str());
        return false;
      case imageio::ZlibStream::Result::Ok:
        if (finish) EmitIdat(s);
        return true;
      case imageio::ZlibStream::Result::Full:
        data += s->zs->Taken();
        n -= s->zs->Taken();
        EmitIdat(s);
        break;
    }
  }
}

bool DeflateBytes(PngWriter::State* s, const unsigned char* row,
                  std::size_t bytes) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  static const unsigned char noFilter = 0;
  return Deflate(s, &noFilter, 1, false) && Deflate(s, row, bytes, false);
}

bool DeflateRow(PngWriter::State* s, const unsigned char* row) {
  const std::size_t bytes = std::size_t{s->width} * 3 * (s->depth / 8);
  if (s->swapped.empty()) return DeflateBytes(s, row, bytes);
  // PNG stores 16-bit samples big-endian; rows arrive in host order.
  for (std::size_t i = 0; i < bytes; i += 2) {
    s->swapped[i] = row[i + 1];
    s->swapped[i + 1] = row[i];
  }
  return DeflateBytes(s, s->swapped.data(), bytes);
}

bool DeflateTail(PngWriter::State* s) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  if (!Deflate(s, nullptr, 0, true)) return false;
  png_write_chunk(s->png, reinterpret_cast<png_const_bytep>("IEND"), nullptr,
                  0);
  return true;
}
#endif

bool WriteTail(PngWriter::State* s) {
#ifdef IMAGEIO_HAVE_ISAL
  if (s->igzip) return DeflateTail(s);
#endif
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_write_end(s->png, nullptr);
  return true;
}

bool EncodeRow(PngWriter::State* s, const unsigned char* row) {
#ifdef IMAGEIO_HAVE_ISAL
  if (s->igzip) return DeflateRow(s, row);
#endif
  return WriteOneRow(s, row);
}

}  // namespace

void PngWriter::State::Encode() {
  std::unique_lock<std::mutex> guard(lock);
  for (;;) {
    changed.wait(guard, [&] { return queued > 0 || closing || stopping; });
    if (stopping || queued == 0) return;
    // The row stays in the ring, out of the caller's reach, while it is
    // compressed.
    const unsigned char* row = ring[first].data();
    guard.unlock();
    const bool ok = EncodeRow(this, row);
    guard.lock();
    if (!ok) {
      encodeFailed = true;
      changed.notify_all();
      return;
    }
    first = (first + 1) % ring.size();
    // Only a caller waiting for room needs waking: a wake-up per row costs
    // more than the copy on a busy machine.
    if (queued-- == ring.size()) changed.notify_all();
  }
}

bool PngAvailable() { return true; }

PngWriter::PngWriter() = default;

PngWriter::~PngWriter() { Abandon(); }

bool PngWriter::Open(const std::string& target, std::uint32_t width,
                     std::uint32_t height, const PngOptions& options,
                     std::string& error) {
  Abandon();
  if (width == 0 || height == 0 || width > 0x7fffffffu ||
      height > 0x7fffffffu) {
    error = target + ": a PNG picture needs 1 to 2147483647 pixels a side";
    return false;
  }
  if (options.depth != 8 && options.depth != 16) {
    error = target + ": a PNG depth must be 8 or 16";
    return false;
  }
  if (options.level < 0 || options.level > 9) {
    error = target + ": a PNG compression level must be 0 to 9";
    return false;
  }
  // tEXt holds Latin-1 text without NUL; ours is plain ASCII view text.
  if (options.viewText.find('\0') != std::string::npos) {
    error = target + ": the view text holds a NUL byte";
    return false;
  }
  std::unique_ptr<State> s(new State());
  s->width = width;
  s->height = height;
  s->depth = options.depth;
  if (!s->out.Prepare(target, error)) return false;
  s->os = s->out.OpenStream(error);
  if (!s->os) return false;
  s->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, s.get(), OnError,
                                   OnWarning);
  if (s->png) s->info = png_create_info_struct(s->png);
  if (!s->png || !s->info) {
    error = target + ": out of memory";
    return false;
  }
  const bool zlib = options.deflate == PngDeflate::Zlib;
  if (!WriteHead(s.get(), zlib ? options.level : 1,
                 zlib ? Filters(options.filter) : PNG_FILTER_NONE,
                 zlib && options.rle, options.viewText.c_str())) {
    error = target + ": " + s->message;
    return false;
  }
#ifdef IMAGEIO_HAVE_ISAL
  if (!zlib) {
    s->igzip = true;
    // PNG's image data is one zlib stream, cut into IDAT chunks as large as
    // libpng's (WriteHead).
    s->zs.reset(new imageio::ZlibStream(true));
    s->idat.resize(1u << 17);
    s->zs->Begin(s->idat.data(), s->idat.size());
    if (s->depth == 16 && HostIsLittleEndian())
      s->swapped.resize(std::size_t{width} * 6);
  }
#endif
  // Up to half a megabyte of rows: enough to even out the encoder's pace
  // against the renderer's. A very wide picture gets one row, a few bytes
  // per pixel of width: the rows waiting for the encoder then wait in the
  // renderer's own ring instead.
  const std::size_t rowBytes =
      static_cast<std::size_t>(width) * 3 * (options.depth / 8);
  const std::size_t ringRows = std::max<std::size_t>(
      1, std::min<std::size_t>(64, (1u << 19) / rowBytes));
  s->ring.assign(ringRows, std::vector<unsigned char>(rowBytes));
  State* raw = s.get();
  s->encoder = std::thread([raw] { raw->Encode(); });
  state = std::move(s);
  return true;
}

PixelLayout PngWriter::Layout() const {
  return state && state->depth == 16 ? PixelLayout::Rgb16 : PixelLayout::Rgb8;
}

std::size_t PngWriter::RowBytes() const {
  if (!state) return 0;
  return static_cast<std::size_t>(state->width) * 3 * (state->depth / 8);
}

bool PngWriter::WriteRow(const void* row, std::string& error) {
  if (!state || state->failed) {
    error = state ? state->out.Target() + ": picture already failed"
                  : "PNG picture not open";
    return false;
  }
  if (state->rows == state->height) {
    error = state->out.Target() + ": more rows than the picture's height";
    state->failed = true;
    return false;
  }
  State& s = *state;
  bool encodeFailed, wake = false;
  {
    std::unique_lock<std::mutex> guard(s.lock);
    s.changed.wait(guard,
                   [&] { return s.queued < s.ring.size() || s.encodeFailed; });
    encodeFailed = s.encodeFailed;
    if (!encodeFailed) {
      std::vector<unsigned char>& slot =
          s.ring[(s.first + s.queued) % s.ring.size()];
      std::memcpy(slot.data(), row, slot.size());
      // The encoder sleeps only on an empty ring, and is woken once half of
      // it is full, so that it takes rows in batches: a wake-up for every
      // row made the encoder, the caller and the workers trade the two
      // processors row by row. The rest of the rows, when fewer, are
      // taken at Finish.
      wake = ++s.queued == std::max<std::size_t>(1, s.ring.size() / 2);
    }
  }
  if (encodeFailed) {
    error = s.out.Target() + ": " + s.message;
    s.failed = true;
    return false;
  }
  if (wake) s.changed.notify_all();
  ++s.rows;
  return true;
}

bool PngWriter::Finish(std::string& error) {
  if (!state) {
    error = "PNG picture not open";
    return false;
  }
  bool ok = false;
  // The rows queued are compressed to the end only when they can make a
  // whole picture.
  state->StopEncoder(state->failed || state->rows != state->height);
  if (state->encodeFailed && !state->failed) {
    error = state->out.Target() + ": " + state->message;
  } else if (state->failed) {
    error = state->out.Target() + ": picture already failed";
  } else if (state->rows != state->height) {
    error = state->out.Target() + ": picture incomplete";
  } else if (!WriteTail(state.get())) {
    error = state->out.Target() + ": " + state->message;
  } else {
    ok = state->out.Commit(error);
  }
  if (!ok) state->out.Discard();
  state.reset();
  return ok;
}

void PngWriter::Abandon() {
  if (!state) return;
  state->StopEncoder(true);
  state->out.Discard();
  state.reset();
}
