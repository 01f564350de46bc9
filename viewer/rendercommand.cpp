// The view as a mandel render command line.
#include "viewer/rendercommand.h"

#include <cstring>
#include <vector>

#include "colour/palette.h"

namespace zv {

std::string shell_word(const std::string& word) {
  static const char Plain[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
      "%+,-./:=@_";
  bool plain = !word.empty();
  for (char c : word) {
    if (c == '\0' || !std::strchr(Plain, c)) {
      plain = false;
      break;
    }
  }
  if (plain) return word;
  std::string q = "'";
  for (char c : word) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

std::string render_command(const ViewSpec& view, const colourmode& mode,
                           const std::string& output) {
  std::vector<std::string> words = {"mandel", "render"};
  auto option = [&words](const char* name, const std::string& value) {
    words.push_back(name);
    words.push_back(value);
  };
  option(view.anchor == Anchor::Corner ? "--corner" : "--center",
         view.re + "," + view.im);
  option("--width", view.width);
  option("--size",
         std::to_string(view.sizeX) + "x" + std::to_string(view.sizeY));
  option("--limit", std::to_string(view.limit));
  if (view.julia) option("--julia", view.juliaRe + "," + view.juliaIm);
  // mandel's own default radius is larger; the counts agree only at the
  // radius the viewer used.
  option("--bailout", FormatDouble(view.bailout));
  const Colouring c = mandel_colouring(mode, view.limit);
  words.push_back(c.shading == Shading::Bands ? "--bands" : "--smooth");
  option("--palette", FormatPalette(c.palette));
  option("--period", FormatDouble(c.period));
  if (view.samples > 1) option("--samples", std::to_string(view.samples));
  option("-o", output);
  std::string line;
  for (const std::string& w : words) {
    if (!line.empty()) line += ' ';
    line += shell_word(w);
  }
  return line;
}

}  // namespace zv
