// The viewer's own colouring of iteration counts: three cosine waves whose
// period is the iteration limit (rates 1, 3 and 2 for red, green and blue,
// amplitude 127). It is not the renderer's palette and has no settings.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zv {

// Red, green and blue of count n under the given limit, each at most 254.
// A count of 0 is black; so is every count when the limit is 0.
void count_colour(unsigned short n, std::uint64_t limit, unsigned char* rgb);

// Colours count pixels of one line into consecutive red-green-blue bytes.
void colour_line(const unsigned short* counts, std::size_t count,
                 std::uint64_t limit, unsigned char* rgb);

}  // namespace zv
