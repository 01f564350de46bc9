// The common face of the picture writers, so the renderer can hand rows to a
// PNG or a BMP file without knowing which. Rows are given in the layout and
// order the sink asks for, so the colouring (done on the worker threads) can
// fill them directly and the writing thread only passes bytes on.
#pragma once

#include <cstddef>
#include <string>

enum class PixelLayout {
  Rgb8,   // red, green, blue bytes per pixel, left pixel first
  Rgb16,  // red, green, blue as std::uint16_t in host byte order
  Bgr8,   // blue, green, red bytes, the row padded with zeros to RowBytes()
};

class ImageSink {
 public:
  virtual ~ImageSink() = default;

  virtual PixelLayout Layout() const = 0;
  // Bytes of one row as WriteRow reads it, padding included.
  virtual std::size_t RowBytes() const = 0;
  // True when the first row must be the picture's bottom row (line 0, at the
  // view's lowest imaginary part); false when the top row comes first.
  virtual bool BottomFirst() const = 0;

  // Writes the next row, RowBytes() bytes. false, with a message in error,
  // when it cannot be written; the sink is then unusable and its output
  // should be abandoned.
  virtual bool WriteRow(const void* row, std::string& error) = 0;
  // After the last row: completes the file and puts it in place under its
  // name. false, with a message in error, when any write failed, fewer rows
  // arrived than the height, or the file cannot be put in place; the named
  // output then keeps whatever it held before.
  virtual bool Finish(std::string& error) = 0;
  // Drops a half-written output: a named target keeps its old bytes (or
  // stays absent). Also what the destructor does when Finish never
  // succeeded.
  virtual void Abandon() = 0;
};

// Whether this build can write PNG files and read and write count files.
// The reading of the view text in a PNG needs no library and is always
// there.
bool PngAvailable();
bool CountFilesAvailable();
