// A one-line progress display for long renders, updated in place on a
// terminal and cleared at the end. When disabled it writes nothing at all, so
// the program's messages stay byte for byte the same for scripts.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

class Progress {
 public:
  Progress(std::ostream& err, bool enabled, std::uint64_t total);
  ~Progress();

  // Records that done lines of total are finished; redraws at most a few
  // times a second.
  void Update(std::uint64_t done);
  // Removes the line again; also done by the destructor.
  void Finish();

  // The text shown for done of total lines after elapsed seconds, with the
  // time left estimated from the rate so far.
  static std::string Text(std::uint64_t done, std::uint64_t total,
                          double elapsed);

 private:
  std::ostream& err;
  bool enabled;
  std::uint64_t total;
  std::chrono::steady_clock::time_point start;
  std::chrono::steady_clock::time_point lastDraw;
  std::size_t shown = 0;  // characters on the line now
};
