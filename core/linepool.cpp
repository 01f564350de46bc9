// Line-parallel computation with in-order hand-over.
#include "core/linepool.h"

#include <algorithm>
#include <system_error>

#include "core/mandelbrot.h"

namespace {

// Rows in the ring per worker: enough that a worker rarely waits behind one
// slow line, few enough that memory stays a handful of lines.
constexpr unsigned RowsPerWorker = 8;

}  // namespace

unsigned DefaultThreadCount() {
#ifdef MANDEL_PLAIN_ENGINE
  return 1;
#else
  unsigned n = std::thread::hardware_concurrency();
  return n != 0 ? n : 1;
#endif
}

LinePool::LinePool(unsigned threads, KernelKind kind) : kind(kind) {
  if (threads == 0) threads = DefaultThreadCount();
  try {
    for (unsigned t = 0; t < threads; ++t) {
      workers.emplace_back([this] { Work(); });
    }
  } catch (const std::system_error&) {
    // Fewer workers than asked for, or none: then Next computes each line
    // itself.
  }
}

LinePool::~LinePool() {
  {
    std::lock_guard<std::mutex> guard(lock);
    stopping = true;
  }
  workAvailable.notify_all();
  for (std::thread& w : workers) w.join();
}

void LinePool::Start(const MandArea& a) {
  std::unique_lock<std::mutex> guard(lock);
  ++generation;
  started = false;
  // Workers write into the rows without the lock: they must be out of them
  // before the rows are resized.
  lineDone.wait(guard, [this] { return busy == 0; });
  std::size_t count = RowsPerWorker * (workers.empty() ? 1 : workers.size());
  rows.resize(count);
  // At least one count per row, so that a line of no pixels still gives a
  // row rather than the null that marks the end.
  for (std::vector<unsigned short>& r : rows) r.assign(a.dotsX + 1, 0);
  ready.assign(count, 0);
  area = a;
  claimed = 0;
  taken = 0;
  started = true;
  guard.unlock();
  workAvailable.notify_all();
}

bool LinePool::AllReady(std::uint64_t from, std::uint64_t to) const {
  for (std::uint64_t l = from; l < to; ++l) {
    if (ready[l % rows.size()] != l + 1) return false;
  }
  return true;
}

// The consumer still reads the row of line taken - 1, so the ring may run
// up to rows.size() - 1 lines past it.
bool LinePool::Claimable() const {
  if (!started || claimed >= area.dotsY) return false;
  std::uint64_t held = taken > 0 ? taken - 1 : 0;
  return claimed < held + rows.size();
}

void LinePool::Work() {
  std::unique_lock<std::mutex> guard(lock);
  for (;;) {
    ++idle;
    workAvailable.wait(guard, [this] { return stopping || Claimable(); });
    --idle;
    if (stopping) return;
    std::uint64_t l = claimed++;
    std::uint64_t gen = generation;
    MandArea a = area;
    std::size_t slot = l % rows.size();
    unsigned short* row = rows[slot].data();
    ++busy;
    guard.unlock();
    double im = PixelPosition(a.minIm, a.lenIm, l, a.dotsY);
    ComputeLine(a, im, row, false, kind);
    guard.lock();
    --busy;
    if (gen == generation) ready[slot] = l + 1;
    // Waking the consumer costs a system call and a switch of threads, a
    // fair part of a short line: only once all the lines it waits for are
    // there, or when it waits for the workers to leave the rows.
    if ((waitFrom <= l && l < waitTo && AllReady(waitFrom, waitTo)) ||
        (busy == 0 && !started)) {
      lineDone.notify_all();
    }
  }
}

const unsigned short* LinePool::Next() {
  std::unique_lock<std::mutex> guard(lock);
  if (!started || taken >= area.dotsY) return nullptr;
  std::size_t slot = taken % rows.size();
  if (workers.empty()) {
    double im = PixelPosition(area.minIm, area.lenIm, taken, area.dotsY);
    ComputeLine(area, im, rows[slot].data(), false, kind);
    ++taken;
    return rows[slot].data();
  }
  if (ready[slot] != taken + 1) {
    // Having to wait, wait for a batch of lines: every wake-up then serves
    // several of them. The workers can hold them all, since the batch is
    // half the ring.
    waitFrom = taken;
    waitTo = std::min<std::uint64_t>(taken + rows.size() / 2, area.dotsY);
    lineDone.wait(guard, [this] { return AllReady(waitFrom, waitTo); });
    waitFrom = waitTo = 0;
  }
  ++taken;
  bool wake = idle > 0;
  guard.unlock();
  // Taking a line frees the row of the one before it.
  if (wake) workAvailable.notify_all();
  return rows[slot].data();
}

bool LinePool::Ready() {
  std::lock_guard<std::mutex> guard(lock);
  if (!started || taken >= area.dotsY || workers.empty()) return true;
  return ready[taken % rows.size()] == taken + 1;
}

bool LinePool::WaitReady(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(lock);
  if (!started || taken >= area.dotsY || workers.empty()) return true;
  waitFrom = taken;
  waitTo = taken + 1;
  bool ready = lineDone.wait_for(guard, timeout,
                                 [this] { return AllReady(waitFrom, waitTo); });
  waitFrom = waitTo = 0;
  return ready;
}

std::uint64_t LinePool::NextLine() {
  std::lock_guard<std::mutex> guard(lock);
  return taken;
}
