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

struct PngOptions {
  int depth = 8;  // 8 or 16 bits per channel
  // The defaults are the measured best trade of speed for size on our
  // pictures (imageio_pngbench): at 4000 x 4000, the Up filter with zlib's
  // run-length strategy encodes as fast as level 1 without a filter and
  // gives files 10 to 20% smaller; adaptive filtering costs three times the
  // time for no gain. With rle the level only matters when it is 0.
  int level = 1;  // zlib level 0 .. 9
  PngFilter filter = PngFilter::Up;
  bool rle = true;
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
