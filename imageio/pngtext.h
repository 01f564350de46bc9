// The view text stored in a PNG by PngWriter, read by walking the chunks
// before the image data: no pixel is decoded, and no image library is
// needed, so every build can read the view of a picture.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

// The keyword of the tEXt chunk that holds the view text.
extern const char PngViewKey[];

// Reads the text stored under PngViewKey from the PNG in is (opened binary),
// stopping at the first image data. false, with one of these messages in
// error, otherwise:
//   "not a PNG file"                 (wrong signature)
//   "truncated PNG file"             (ends inside a chunk, or before IEND
//                                     without the text)
//   "damaged PNG file"               (a bad chunk length or checksum, or the
//                                     first chunk not IHDR)
//   "PNG file holds no view"         (image data or IEND before the text)
bool ReadPngViewText(std::istream& is, std::string& text, std::string& error);

// The same for a named file; messages are "<path>: <text>", and
// "<path>: <system's reason>" when it cannot be opened.
bool ReadPngViewTextFile(const std::string& path, std::string& text,
                         std::string& error);

// Whether the bytes begin with the PNG signature (8 bytes needed).
bool LooksLikePng(const char* bytes, std::size_t size);
