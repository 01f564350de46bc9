// Count files: the per-sample escape data of a render, kept so a picture can
// be coloured again without computing. An OpenEXR scanline file in the
// channel convention deep-zoom tools share, so their tools read ours:
//   N  (UINT)   0 for not computed, CountNeverEscaped for a point that never
//               escaped, otherwise the escape count plus the bias;
//   NF (FLOAT)  the fraction in [0, 1) for smooth colouring, 0 where N has
//               no count;
//   Iterations      the limit: an int, or its decimal text in a string when
//                   it does not fit an int (as those tools write it);
//   IterationsBias  an int, 1 in our files, so that N + NF - IterationsBias
//                   is the continuous count;
//   CountViewAttribute  a string holding the view-file text.
// Rows are our lines: line 0 lies at the view's lowest imaginary part, which
// is the file's last scanline (OpenEXR's y grows downwards).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

constexpr std::uint32_t CountNotComputed = 0;
constexpr std::uint32_t CountNeverEscaped = 0xFFFFFFFFu;

extern const char CountViewAttribute[];  // "mandel.view"

class CountFileWriter {
 public:
  CountFileWriter();
  ~CountFileWriter();  // Abandon unless Finish succeeded
  CountFileWriter(const CountFileWriter&) = delete;
  CountFileWriter& operator=(const CountFileWriter&) = delete;

  // Starts a file of width x height samples (each 1 .. 2^31 - 1) for the
  // target name, written beside it and put in place only by Finish. Lines
  // must then arrive bottom first (line 0 first) when bottomFirst is true,
  // top first otherwise; the file records that order and needs no buffering
  // for either. viewText may be empty (then no view attribute is written).
  // false, with a message naming the target, when the size is refused, the
  // target is "-" (a count file needs a seekable file), the file cannot be
  // created, or count files are not available in this build.
  bool Open(const std::string& target, std::uint32_t width,
            std::uint32_t height, std::uint32_t limit,
            const std::string& viewText, bool bottomFirst,
            std::string& error);

  // The next line in the order chosen at Open: width values of N and NF.
  bool WriteLine(const std::uint32_t* n, const float* nf, std::string& error);
  // After the last line: completes the file and replaces the target. false,
  // with a message, when a line is missing or anything failed; the target
  // then keeps whatever it held before.
  bool Finish(std::string& error);
  void Abandon();

 private:
  struct State;
  std::unique_ptr<State> state;
};

class CountFileReader {
 public:
  CountFileReader();
  ~CountFileReader();
  CountFileReader(const CountFileReader&) = delete;
  CountFileReader& operator=(const CountFileReader&) = delete;

  // Reads the header. false, with "<path>: <why>" in error, when the file
  // cannot be opened, is not an OpenEXR scanline file, lacks N as UINT or NF
  // as FLOAT (both sampled at every pixel), lacks a usable Iterations or has
  // an IterationsBias below 0, or count files are not available in this
  // build. Other channels and attributes are ignored.
  bool Open(const std::string& path, std::string& error);

  std::uint32_t Width() const;
  std::uint32_t Height() const;
  std::uint32_t Limit() const;  // Iterations
  std::uint32_t Bias() const;   // IterationsBias as stored (0 when absent)
  // The view text, empty when the file holds none.
  const std::string& ViewText() const;

  // Reads line `line` (0 = bottom) into width values each. N comes back in
  // our convention whatever the file's bias: 0 not computed,
  // CountNeverEscaped, else count + 1. Lines may be read in any order; in
  // either direction in turn costs no more than reading the file once.
  // false, with "<path>: <why>", for a line out of range, a truncated or
  // damaged file, or an N value below a non-zero bias.
  bool ReadLine(std::uint64_t line, std::uint32_t* n, float* nf,
                std::string& error);

 private:
  struct State;
  std::unique_ptr<State> state;
};
