// PNG output, one row at a time, so memory does not grow with the height:
// 8-bit (or 16-bit) sRGB truecolour, no alpha, non-interlaced. The view the
// picture shows is stored as text in a tEXt chunk placed before the image
// data, so it can be read back without decoding a pixel (see pngtext.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imageio/imagesink.h"

// The row filter every row uses; Adaptive lets each row pick its own.
enum class PngFilter { None, Sub, Up, Paeth, Adaptive };

// What compresses the image data.
enum class PngDeflate {
  // ISA-L's igzip at its level 1, without a row filter, where the build has
  // ISA-L; elsewhere zlib at level 1 without a filter. On our pictures
  // (imageio_pngbench, 4000 x 4000 whole set) igzip takes 0.03 s for the
  // smooth one and 0.02 for the banded one, against zlib's 0.09 and 0.07 at
  // its fastest, for files 1 to 20% larger.
  Fast,
  // libpng's zlib with the level, filter and strategy below.
  Zlib,
};

struct PngOptions {
  int depth = 8;  // 8 or 16 bits per channel
  PngDeflate deflate = PngDeflate::Fast;
  // For PngDeflate::Zlib. Level 1 without a filter is zlib's fastest
  // setting on our pictures (imageio_pngbench): 0.10 s for the smooth
  // picture and 0.08 for the banded one, against 0.13 and 0.16 with the Up
  // filter and the run-length strategy, whose files are 15 to 20% smaller;
  // adaptive filtering costs three times the time for no gain. With rle
  // the level only matters when it is 0.
  int level = 1;  // zlib level 0 .. 9
  PngFilter filter = PngFilter::None;
  bool rle = false;
  std::string viewText;  // stored under PngViewKey when not empty
};

class PngWriter : public ImageSink {
 public:
  PngWriter();
  ~PngWriter() override;
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  // Starts a picture of width x height pixels (each 1 .. 2^31 - 1) for the
  // target name, or for the standard output when the target is "-" (then
  // switched to binary). A named target is written beside it under another
  // name and replaces it only on Finish. Writes the signature and every
  // chunk before the image data. false, with a message in error (naming the
  // target), when the size, the depth or the view text (NUL bytes) is
  // refused, the file cannot be created, or PNG is not available in this
  // build; nothing is left behind then.
  bool Open(const std::string& target, std::uint32_t width,
            std::uint32_t height, const PngOptions& options,
            std::string& error);

  // Rgb8 at depth 8, Rgb16 at depth 16; rows top first.
  PixelLayout Layout() const override;
  std::size_t RowBytes() const override;
  bool BottomFirst() const override { return false; }
  bool WriteRow(const void* row, std::string& error) override;
  bool Finish(std::string& error) override;
  void Abandon() override;

  struct State;  // opaque: holds libpng's structures

 private:
  std::unique_ptr<State> state;
};
