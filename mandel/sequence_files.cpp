#include "mandel/sequence_files.h"

int FrameDigits(std::uint64_t count) {
  int digits = 1;
  for (std::uint64_t last = count ? count - 1 : 0; last >= 10; last /= 10)
    ++digits;
  return digits < 6 ? 6 : digits;
}

std::string FrameName(const std::string& sequence, std::uint64_t index,
                      int digits) {
  std::string number = std::to_string(index);
  if (static_cast<int>(number.size()) < digits)
    number.insert(0, static_cast<std::size_t>(digits) - number.size(), '0');
  return sequence + "-" + number + ".png";
}

std::string FrameNote(std::uint64_t index, std::uint64_t count) {
  return "# frame " + std::to_string(index) + " of " + std::to_string(count) +
         "\n";
}

bool FrameCountOfNote(const std::string& viewText, std::uint64_t& count) {
  const std::string head = "# frame ";
  std::size_t at = viewText.find("\n" + head);
  if (at == std::string::npos) return false;
  at += 1 + head.size();
  const std::size_t of = viewText.find(" of ", at);
  const std::size_t end = viewText.find('\n', at);
  if (of == std::string::npos || of > end) return false;
  std::uint64_t n = 0;
  std::size_t i = of + 4;
  if (i == end || end - i > 19) return false;
  for (; i < end; ++i) {
    const char c = viewText[i];
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  count = n;
  return true;
}
