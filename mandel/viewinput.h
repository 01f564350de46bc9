// Views as mandel's commands take them in: from a view file, from the text a
// PNG or count file of ours carries, and from the options that override it.
#pragma once

#include <string>

#include "mandel/args.h"
#include "viewspec/viewspec.h"

enum class InputKind { ViewFile, Png, CountFile };

// What a file holds, by its first bytes (the PNG signature, OpenEXR's magic
// number); anything else is taken for a view file. False, with
// "<path>: <system's reason>", when it cannot be read.
bool SniffInput(const std::string& path, InputKind& kind, std::string& error);

// Reads the view stored in a view file, a PNG or a count file. False, with
// a message naming the file, when it cannot be read, holds no view, or the
// view is malformed.
bool ReadView(const std::string& path, ViewSpec& view, std::string& error);

// Applies the view options given on the command line to view (the options
// not given leave it as it is), then checks the whole. False with a message
// naming the option ("--size: each side must be ...") otherwise.
bool ApplyViewArgs(const ViewArgs& args, ViewSpec& view, std::string& error);

// The same for the colour options (not --depth).
bool ApplyColourArgs(const ColourArgs& args, Colouring& colouring,
                     std::string& error);

// --depth: 8 when not given. False with a message otherwise.
bool ParseDepth(const std::string& text, int& depth, std::string& error);

// --threads: 0 (one per processor) when not given. False with a message
// otherwise.
bool ParseThreads(const std::string& text, unsigned& threads,
                  std::string& error);
