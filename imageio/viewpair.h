// The five programs' saved views, as mandel reads and writes them: an info
// file NAME.mni (the seven values Mandelbrot::SaveInfo writes) and a data
// file NAME.mnd (16-bit little-endian counts, line 0, the bottom line,
// first), so that `setrender -f NAME` colours what mandel computed and
// mandel colours what the engine saved.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/escape.h"
#include "core/mandarea.h"

// A 32-bit count in the 16-bit contract of those files: 0 for a point that
// never escaped, otherwise the count modulo 65536.
inline std::uint16_t ViewFileCount(std::uint32_t count) {
  return count == NeverEscaped ? 0 : static_cast<std::uint16_t>(count);
}

class ViewPairReader {
 public:
  ViewPairReader();
  ~ViewPairReader();
  ViewPairReader(const ViewPairReader&) = delete;
  ViewPairReader& operator=(const ViewPairReader&) = delete;

  // Finds the pair as setrender -f does (NAME.mni, NAME.MNI, then NAME for
  // the info; likewise .mnd for the data; a name with an extension is used
  // as it stands for both) and reads the view. false, with
  // "<resolved name>: <why>" in error, when a file cannot be opened, the
  // info is incomplete or not a view whose counts can be held (a side of 0
  // or above 2^31 - 1), or the data file is shorter than the view.
  bool Open(const std::string& name, std::string& error);

  // The view; always a Mandelbrot view (the info file holds no constant).
  const MandArea& Area() const;

  // Reads the dotsX counts of line `line` (0 = bottom). Any order; a data
  // file that cannot seek (a pipe) must be read in ascending order. false,
  // with a message, for a line out of range or a read that fails.
  bool ReadLine(std::uint64_t line, std::uint16_t* counts, std::string& error);

 private:
  struct State;
  std::unique_ptr<State> state;
};

class ViewPairWriter {
 public:
  ViewPairWriter();
  ~ViewPairWriter();  // Abandon unless Finish succeeded
  ViewPairWriter(const ViewPairWriter&) = delete;
  ViewPairWriter& operator=(const ViewPairWriter&) = delete;

  // The name setrender -f reads back: NAME with a final .mni or .mnd (either
  // case) removed. Empty when that still has an extension in its last
  // component, since setrender would then open that one name for both files.
  static std::string BaseName(const std::string& name);

  // Starts BaseName(name).mni and .mnd for the view, both written beside
  // their names and put in place only by Finish. The info is written at
  // once in SaveInfo's format. false, with a message, for a Julia view (the
  // info file cannot hold its constant), a name BaseName refuses or "-", a
  // side of 0 or above 2^31 - 1, or a file that cannot be created.
  bool Open(const std::string& name, const MandArea& area, std::string& error);

  // Line `line` (0 = bottom) of dotsX counts, written at its place in the
  // data file. Lines arrive bottom first (0, 1, ...) or top first (dotsY - 1,
  // dotsY - 2, ...), the order set by the first line written; false, with a
  // message, for a line out of that order or a write that fails.
  bool WriteLine(std::uint64_t line, const std::uint16_t* counts,
                 std::string& error);
  // The same from the 32-bit engine's results, through ViewFileCount.
  bool WriteLine(std::uint64_t line, const EscapeResult* results,
                 std::string& error);

  // Checks that every line was written, then replaces both targets. false,
  // with a message, otherwise; neither target is then changed.
  bool Finish(std::string& error);
  void Abandon();

 private:
  struct State;
  std::unique_ptr<State> state;
};
