// The 24-bit BMP output of the five programs as a sink: the same header
// fields (144000 pixels per metre, no colour table) and rows bottom first,
// each padded to whole 32-bit words, so a picture written here is byte for
// byte the one setrender writes for the same rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imageio/imagesink.h"

class BmpWriter : public ImageSink {
 public:
  BmpWriter();
  ~BmpWriter() override;
  BmpWriter(const BmpWriter&) = delete;
  BmpWriter& operator=(const BmpWriter&) = delete;

  // Whether a picture of this size has a valid 24-bit BMP header: each side
  // at most 2^31 - 1 and the file size within 32 bits.
  static bool Fits(std::uint64_t width, std::uint64_t height);

  // Starts a picture for the target name, or the standard output for "-"
  // (switched to binary), and writes the 54-byte header. A named target is
  // replaced only on Finish. A size of 0 in either direction gives the
  // header-only file setrender writes. false, with a message in error, when
  // the size does not fit or the file cannot be created.
  bool Open(const std::string& target, std::uint64_t width,
            std::uint64_t height, std::string& error);

  // Bgr8 rows of scanLineBytes() bytes, bottom row first. The padding bytes
  // of a row are written as the caller gives them; setrender's are 0.
  PixelLayout Layout() const override { return PixelLayout::Bgr8; }
  std::size_t RowBytes() const override;
  bool BottomFirst() const override { return true; }
  bool WriteRow(const void* row, std::string& error) override;
  bool Finish(std::string& error) override;
  void Abandon() override;

 private:
  struct State;
  std::unique_ptr<State> state;
};
