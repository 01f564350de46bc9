// The five programs' 24-bit BMP output as a sink.
#include "imageio/bmpwriter.h"

#include <ostream>

#include "bmp/bmp.h"
#include "imageio/outtarget.h"

struct BmpWriter::State {
  imageio::OutTarget out;
  std::ostream* os = nullptr;
  std::uint64_t rowBytes = 0, height = 0, rows = 0;
};

BmpWriter::BmpWriter() = default;

BmpWriter::~BmpWriter() { Abandon(); }

bool BmpWriter::Fits(std::uint64_t width, std::uint64_t height) {
  return FitsInBmp(width, height);
}

bool BmpWriter::Open(const std::string& target, std::uint64_t width,
                     std::uint64_t height, std::string& error) {
  Abandon();
  if (!Fits(width, height)) {
    error = target + ": picture too large for BMP";
    return false;
  }
  // The header exactly as setrender fills it.
  BMP header;
  SetRgbHeader(header, width, height);

  std::unique_ptr<State> s(new State());
  s->rowBytes = width == 0 ? 0 : header.scanLineBytes();
  s->height = width == 0 ? 0 : height;
  if (!s->out.Prepare(target, error)) return false;
  s->os = s->out.OpenStream(error);
  if (!s->os) return false;
  header.Write(*s->os);
  state = std::move(s);
  return true;
}

std::size_t BmpWriter::RowBytes() const {
  return state ? static_cast<std::size_t>(state->rowBytes) : 0;
}

bool BmpWriter::WriteRow(const void* row, std::string& error) {
  if (!state) {
    error = "BMP picture not open";
    return false;
  }
  if (state->rows == state->height) {
    error = state->out.Target() + ": more rows than the picture's height";
    return false;
  }
  state->os->write(static_cast<const char*>(row),
                   static_cast<std::streamsize>(state->rowBytes));
  if (state->os->fail()) {
    error = state->out.Target() + ": write error";
    return false;
  }
  ++state->rows;
  return true;
}

bool BmpWriter::Finish(std::string& error) {
  if (!state) {
    error = "BMP picture not open";
    return false;
  }
  bool ok = false;
  if (state->rows != state->height) {
    error = state->out.Target() + ": picture incomplete";
  } else {
    ok = state->out.Commit(error);
  }
  if (!ok) state->out.Discard();
  state.reset();
  return ok;
}

void BmpWriter::Abandon() {
  if (!state) return;
  state->out.Discard();
  state.reset();
}
