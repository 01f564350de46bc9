// Computes the lines of a view on worker threads, ahead of one consumer that
// takes them strictly in order, bottom line first. Lines are dealt out one
// at a time as workers become free, since their costs differ by orders of
// magnitude; only a few lines per worker are held at once, whatever the
// height of the view. The counts are those of Mandelbrot::Calculation, bit
// for bit, for any number of workers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "core/kernel.h"
#include "core/mandarea.h"

// The number of workers a program should use: one per processor, or one in
// a build configured for the plain engine.
unsigned DefaultThreadCount();

class LinePool {
 public:
  // Starts the workers; they wait for a view. 0 threads means
  // DefaultThreadCount().
  explicit LinePool(unsigned threads = 0, KernelKind kind = DefaultKernel());
  // Waits for lines in progress (not for lines never started), then ends
  // the workers.
  ~LinePool();
  LinePool(const LinePool&) = delete;
  LinePool& operator=(const LinePool&) = delete;

  // Drops the current view, lines computed ahead included, and starts on
  // line 0 of a. Waits for lines in progress of the old view. Throws
  // std::bad_alloc when the rows of a cannot be held.
  void Start(const MandArea& a);

  // The a.dotsX counts of the next line in order, waiting until they are
  // computed. The row stays valid until the next call of Next, Start or the
  // destructor. Null after the last line, and before the first Start.
  const unsigned short* Next();

  // Whether Next would return without waiting.
  bool Ready();

  // Waits at most `timeout` for the next line in order; then Ready(). For
  // a consumer that must stay responsive (an event loop) and calls Next
  // only once this is true: Next itself, when it has to wait, waits for
  // several lines at once.
  bool WaitReady(std::chrono::milliseconds timeout);

  // The index of the line the next call of Next returns.
  std::uint64_t NextLine();

  unsigned Threads() const { return static_cast<unsigned>(workers.size()); }

 private:
  void Work();
  bool Claimable() const;
  bool AllReady(std::uint64_t from, std::uint64_t to) const;

  KernelKind kind;
  std::vector<std::thread> workers;
  std::mutex lock;
  std::condition_variable workAvailable;  // workers wait here
  std::condition_variable lineDone;       // the consumer and Start wait here

  MandArea area;
  bool started = false;
  bool stopping = false;
  std::uint64_t generation = 0;  // counts Starts; stale lines are dropped
  std::uint64_t claimed = 0;     // lines handed to workers so far
  std::uint64_t taken = 0;       // lines handed to the consumer so far
  unsigned busy = 0;             // workers inside a line right now
  unsigned idle = 0;             // workers waiting for a line to claim
  // The lines [waitFrom, waitTo) Next waits for; empty when it does not.
  std::uint64_t waitFrom = 0, waitTo = 0;
  // Ring of rows: line l lives in rows[l % rows.size()]; ready[] holds the
  // index + 1 of the line a row holds once it is complete, 0 while not.
  std::vector<std::vector<unsigned short>> rows;
  std::vector<std::uint64_t> ready;
};
