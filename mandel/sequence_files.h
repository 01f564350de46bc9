// The names of a frame sequence on disk: DIR/NAME-000000.png onward, with
// six digits or as many more as the last frame needs, and the note each
// frame's embedded view carries of its place in the sequence.
#pragma once

#include <cstdint>
#include <string>

// The digits of every frame number of a sequence of count frames.
int FrameDigits(std::uint64_t count);

// DIR/NAME-<index, zero-padded to digits>.png
std::string FrameName(const std::string& sequence, std::uint64_t index,
                      int digits);

// "# frame I of N\n": a comment line, so the embedded text stays a view
// file that mandel render --view reads.
std::string FrameNote(std::uint64_t index, std::uint64_t count);

// Reads N back from a view text holding a frame note; false when it holds
// none.
bool FrameCountOfNote(const std::string& viewText, std::uint64_t& count);
