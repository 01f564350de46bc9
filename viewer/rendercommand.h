// The current view as a command line a user can paste into a shell to
// render the same picture with mandel, at full size and full precision.
#pragma once

#include <string>

#include "viewer/countcolour.h"
#include "viewspec/viewspec.h"

namespace zv {

// Quotes one word for a POSIX shell: unchanged when it holds only
// characters no shell treats specially (letters, digits and
// %+,-./:=@_), otherwise in single quotes, each single quote written as
// '\''. The empty word becomes ''.
std::string shell_word(const std::string& word);

// `mandel render` with the view's anchor and coordinates exactly as the
// view holds them (decimal text, never rounded), its width, size, limit,
// radius and Julia constant, the colouring of mode, and `-o output`, each
// word quoted by shell_word, separated by single spaces, no line end.
std::string render_command(const ViewSpec& view, const colourmode& mode,
                           const std::string& output);

}  // namespace zv
