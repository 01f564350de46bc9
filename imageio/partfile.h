// Part files: one horizontal band of a poster's finished pixels, written by
// one render and joined with the other bands into one PNG. Each band carries
// what the join needs to prove the bands belong together: the whole
// picture's size, the band's rows, the bits per channel and the view text
// the PNG will embed. A checksum at the end catches a damaged file.
//
// Layout, all numbers little-endian:
//    0  8 bytes  "MANDPART"
//    8  u32      format version, 1
//   12  u32      width of the whole picture, pixels
//   16  u32      height of the whole picture, rows
//   20  u32      first row of the band, counted from the top (0)
//   24  u32      last row of the band, inclusive
//   28  u32      bits per channel, 8 or 16
//   32  u32      L, bytes of view text
//   36  L bytes  the view text, exactly as the PNG's tEXt chunk holds it
//   36 + L       the rows, top first: R, G, B per pixel, 16-bit channels
//                most significant byte first (as PNG stores them)
//   end - 8  u64 PartChecksum of every byte before it
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imageio/imagesink.h"

struct PartHeader {
  std::uint32_t width = 0, height = 0;  // the whole picture
  std::uint32_t first = 0, last = 0;    // the band's rows, from the top
  int depth = 8;                        // bits per channel
  std::string viewText;

  std::uint64_t Rows() const { return std::uint64_t(last) - first + 1; }
  // Bytes of one row in the file.
  std::uint64_t RowBytes() const {
    return std::uint64_t(width) * 3 * (depth / 8);
  }
};

// A 64-bit checksum fed in pieces of any length; the same bytes give the
// same value however they are cut. Fast enough to cost nothing beside PNG
// encoding; it guards against damage, not against forgery.
class PartChecksum {
 public:
  void Add(const void* data, std::size_t bytes);
  std::uint64_t Value() const;

 private:
  std::uint64_t hash = 0xcbf29ce484222325u;
  std::uint64_t pending = 0;  // bytes not yet making a whole word
  unsigned pendingBytes = 0;
  std::uint64_t length = 0;
};

class PartWriter : public ImageSink {
 public:
  PartWriter();
  ~PartWriter() override;  // Abandon unless Finish succeeded
  PartWriter(const PartWriter&) = delete;
  PartWriter& operator=(const PartWriter&) = delete;

  // Starts the band described by header for the target name, or for the
  // standard output when it is "-". A named target is written beside it and
  // replaces it only on Finish. false, with a message naming the target, for
  // a size of 0 or above 2^31 - 1, rows out of order or beyond the height, a
  // depth other than 8 or 16, or a file that cannot be created.
  bool Open(const std::string& target, const PartHeader& header,
            std::string& error);

  // Rgb8 at depth 8, Rgb16 (host order) at depth 16; the band's rows, top
  // first.
  PixelLayout Layout() const override;
  std::size_t RowBytes() const override;
  bool BottomFirst() const override { return false; }
  bool WriteRow(const void* row, std::string& error) override;
  // Writes the checksum and puts the file in place; false when a row is
  // missing or a write failed, leaving the target as it was.
  bool Finish(std::string& error) override;
  void Abandon() override;

 private:
  struct State;
  std::unique_ptr<State> state;
};

class PartReader {
 public:
  PartReader();
  ~PartReader();
  PartReader(const PartReader&) = delete;
  PartReader& operator=(const PartReader&) = delete;

  // Reads and checks the header and that the file is exactly as long as it
  // says. false, with "<path>: <why>", when the file cannot be read, is not
  // a part file, holds rows that do not fit its own picture, or is
  // truncated or too long.
  bool Open(const std::string& path, std::string& error);
  const PartHeader& Header() const;
  // Closes the file; Open may be called again.
  void Close();

  // The next row into RowBytes() bytes of row, in the layout PartWriter
  // takes (16-bit channels in host order). false, with a message, when no
  // row is left or the file cannot be read.
  bool ReadRow(void* row, std::string& error);
  // After the last row: false, with a message, when the checksum does not
  // match the bytes read.
  bool CheckSum(std::string& error);

 private:
  struct State;
  std::unique_ptr<State> state;
};

struct PartInfo {
  std::string path;
  PartHeader header;
};

// Puts the parts in the order of their rows and checks that they make one
// picture: the same size, bits per channel and view text, and rows that
// follow on without a gap or an overlap from the top row to the bottom one.
// false, with a message naming the parts or the rows at fault, otherwise.
bool FitParts(std::vector<PartInfo>& parts, std::string& error);
