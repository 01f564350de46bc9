// View files as `mandel` reads them, from a file or from a PNG's text: any
// text is either refused with a message or read into a view that passes the
// checks, writes back to text that reads as the same view, and colours
// without a fault.
//
// Input: the view file text.
#include <cstdint>
#include <string>

#include "colour/colouring.h"
#include "fuzz/fuzzsupport.h"
#include "viewspec/viewspec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ViewSpec v;
  std::string error;
  if (!ParseViewSpec(text, "fuzz", v, error)) {
    if (error.compare(0, 5, "fuzz:") != 0)
      fuzzsupport::Fail("message without the file's name");
    return 0;
  }
  if (!CheckViewSpec(v, error)) fuzzsupport::Fail("read view fails the check");

  const std::string written = FormatViewSpec(v);
  ViewSpec back;
  if (!ParseViewSpec(written, "written", back, error))
    fuzzsupport::Fail("written view does not read back");
  if (!(back == v)) fuzzsupport::Fail("written view reads as another view");
  if (FormatViewSpec(back) != written) fuzzsupport::Fail("text not stable");

  MandArea area = ViewArea(v);
  // Building a gradient's table takes milliseconds; colouring every eighth
  // input keeps the reader's runs fast.
  if (size % 8 != 0) return 0;
  // A small banded table too; the colours do not depend on it.
  const std::uint32_t tableLimit = v.limit < 64 ? v.limit : 64;
  Colourer colourer(v.colouring, v.bailout, tableLimit);
  unsigned sink = static_cast<unsigned>(area.dotsX);
  const EscapeResult samples[] = {
      {0, v.bailout, 0},       {1, 0, -v.bailout * 3},
      {v.limit / 2, 1e300, 1}, {v.limit, -v.bailout, v.bailout},
      {NeverEscaped, 0, 0},    {0xFFFFFFFEu, 3, 4},
  };
  for (const EscapeResult& e : samples) {
    Rgb16 c = colourer.Colour(e);
    if (c != colourer.Colour(ToCountSample(e, v.bailout)))
      fuzzsupport::Fail("count-file colour differs");
    sink += c.r + c.g + c.b;
  }
  volatile unsigned keep = sink;
  (void)keep;
  return 0;
}
