// Computes the lines of a view on worker threads, ahead of one consumer that
// takes them strictly in order, bottom line first. Lines are dealt out one
// at a time as workers become free, since their costs differ by orders of
// magnitude; only a few lines per worker are held at once, whatever the
// height of the view, and fewer for very wide views (see OrderedRows). The
// counts are those of Mandelbrot::Calculation, bit for bit, for any number
// of workers.
#pragma once

#include <chrono>
#include <cstdint>

#include "core/mandarea.h"
#include "core/orderedrows.h"

class LinePool {
 public:
  // Starts the workers; they wait for a view. 0 threads means
  // DefaultThreadCount().
  explicit LinePool(unsigned threads = 0) : rows(threads) {}
  // Waits for lines in progress (not for lines never started), then ends
  // the workers.
  ~LinePool() = default;
  LinePool(const LinePool&) = delete;
  LinePool& operator=(const LinePool&) = delete;

  // Drops the current view, lines computed ahead included, and starts on
  // line 0 of a. Waits for lines in progress of the old view. Throws
  // std::bad_alloc when the rows of a cannot be held.
  void Start(const MandArea& a);

  // The a.dotsX counts of the next line in order, waiting until they are
  // computed. The row stays valid until the next call of Next, Start or the
  // destructor. Null after the last line, and before the first Start.
  const unsigned short* Next() {
    return reinterpret_cast<const unsigned short*>(rows.Next());
  }

  // Whether Next would return without waiting.
  bool Ready() { return rows.Ready(); }

  // Waits at most `timeout` for the next line in order; then Ready(). For
  // a consumer that must stay responsive (an event loop) and calls Next
  // only once this is true: Next itself, when it has to wait, waits for
  // several lines at once.
  bool WaitReady(std::chrono::milliseconds timeout) {
    return rows.WaitReady(timeout);
  }

  // The index of the line the next call of Next returns.
  std::uint64_t NextLine() { return rows.NextRow(); }

  unsigned Threads() const { return rows.Threads(); }

 private:
  OrderedRows rows;
};
