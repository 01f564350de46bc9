// One run of the viewer: the lines of a view computed on worker threads in
// count-file form (N and NF per pixel, render/pipeline.h), bottom line
// first, while the caller (the toolkit's thread) takes them in order and
// stays free to handle events. Views past double precision go to the deep
// engine, whose reference orbit is built on a worker too. Toolkit-free.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/mandarea.h"
#include "viewer/viewmodel.h"

namespace zv {

// The counts of a picture: line l (0 = bottom) of width pixels at
// [l * width, (l + 1) * width).
struct countpicture {
  std::uint64_t width = 0, height = 0;
  std::vector<std::uint32_t> n;
  std::vector<float> nf;
  std::size_t bytes() const {
    return n.size() * (sizeof(std::uint32_t) + sizeof(float));
  }
};

enum class engine_kind { doubles, deep };

class runner {
 public:
  // Starts computing view over a raster of area.dotsX by area.dotsY pixels
  // into out, which is sized here and must outlive the run. area is the
  // double form of view (to_area). threads 0: one per processor.
  runner(const preciseview& view, const MandArea& area, countpicture& out,
         unsigned threads = 0);
  // Cancels and waits for the workers (each ends after its current line).
  ~runner();
  runner(const runner&) = delete;
  runner& operator=(const runner&) = delete;

  engine_kind engine() const { return kind; }

  // Waits at most timeout for line l; true when it is done.
  bool wait_line(std::uint64_t l, std::chrono::milliseconds timeout);
  // True once set-up failed (error() says why); no line will come.
  bool failed() const { return has_failed.load(); }
  std::string error() const;
  // Whether the deep engine's reference is still being built.
  bool preparing() const { return !ready.load() && !has_failed.load(); }

  // Workers take no new lines after this.
  void cancel();

 private:
  void setup();
  void work();

  preciseview view;
  MandArea area;
  countpicture& out;
  engine_kind kind;
  unsigned thread_count;

  struct source_holder;
  std::unique_ptr<source_holder> source;
  std::atomic<bool> ready{false}, has_failed{false}, stop{false};
  std::atomic<std::uint64_t> next_line{0};
  std::unique_ptr<std::atomic<bool>[]> done;
  mutable std::mutex mutex;
  std::condition_variable changed;
  std::string message;
  std::vector<std::thread> workers;
};

// The banded colouring's 16-bit count of a count-file N: the count the
// plain engine keeps (0 for inside and for samples not computed).
inline unsigned short banded_count(std::uint32_t n) {
  if (n == 0 || n == 0xFFFFFFFFu) return 0;
  return static_cast<unsigned short>((n - 1) & 0xFFFFu);
}

}  // namespace zv
