// Count files written without OpenEXR's own writer, which held three copies
// of every line (the line, its reordered bytes and their compressed form)
// and compressed them with zlib: at 3 x 3 samples that was 72 bytes a pixel
// of width, and a count file tripled the time of a render. This writer
// makes the same format (a single-part scanline file, one line a chunk,
// ZIPS compression) from the caller's line where it lies, reorders it a
// block at a time into igzip, and keeps only the compressed line.
// OpenEXR still reads every file it writes, in the tests as in the
// programs.
#pragma once

#include "imageio/countcodec.h"

namespace imageio {

countcodec::Encoder* NewExrEncoder();

}  // namespace imageio
