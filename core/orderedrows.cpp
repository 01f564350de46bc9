// Row-parallel production with in-order hand-over.
#include "core/orderedrows.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace {

// Rows in the ring per worker: enough that a worker rarely waits behind one
// slow row, few enough that memory stays a handful of rows.
constexpr std::size_t RowsPerWorker = 8;
// Beyond this the ring holds fewer rows, down to two: the one the consumer
// reads and the one a worker fills. Very wide rows then keep fewer workers
// busy, but memory stays a small multiple of one row.
constexpr std::size_t RingBudget = std::size_t(8) << 20;
constexpr std::size_t RowAlign = 64;

}  // namespace

unsigned DefaultThreadCount() {
#ifdef MANDEL_PLAIN_ENGINE
  return 1;
#else
  unsigned n = std::thread::hardware_concurrency();
  return n != 0 ? n : 1;
#endif
}

OrderedRows::OrderedRows(unsigned threads) {
  if (threads == 0) threads = DefaultThreadCount();
  try {
    for (unsigned t = 0; t < threads; ++t) {
      workers.emplace_back([this] { Work(); });
    }
  } catch (const std::system_error&) {
    // Fewer workers than asked for, or none: then Next produces each row
    // itself.
  }
}

OrderedRows::~OrderedRows() {
  {
    std::unique_lock<std::mutex> guard(lock);
    StopJob(guard);
    stopping = true;
  }
  workAvailable.notify_all();
  for (std::thread& w : workers) w.join();
}

// Workers write into the ring and call the producer without the lock: the
// job ends only once they are out of both.
void OrderedRows::StopJob(std::unique_lock<std::mutex>& guard) {
  ++generation;
  started = false;
  rowDone.wait(guard, [this] { return busy == 0; });
  produce = nullptr;
}

void OrderedRows::Start(std::uint64_t count, std::size_t rowBytes,
                        Producer producer) {
  std::unique_lock<std::mutex> guard(lock);
  StopJob(guard);
  if (rowBytes > SIZE_MAX - RowAlign) throw std::bad_alloc();
  std::size_t rowStride =
      std::max(RowAlign, (rowBytes + RowAlign - 1) / RowAlign * RowAlign);
  std::size_t want = workers.empty() ? 1 : RowsPerWorker * workers.size();
  std::size_t fit = RingBudget / rowStride;
  std::size_t n = workers.empty() ? 1 : std::max<std::size_t>(2, std::min(want, fit));
  if (rowStride > (SIZE_MAX - RowAlign) / n) throw std::bad_alloc();
  std::size_t bytes = rowStride * n + RowAlign;
  if (bytes != ringBytes) {
    // The old ring goes first, so that the two are never held at once.
    ring.reset();
    ringBytes = 0;
    ring.reset(new unsigned char[bytes]);
    ringBytes = bytes;
  }
  std::uintptr_t at = reinterpret_cast<std::uintptr_t>(ring.get());
  base = ring.get() + (RowAlign - at % RowAlign) % RowAlign;
  stride = rowStride;
  slots = n;
  ready.assign(n, 0);
  rows = count;
  produce = std::move(producer);
  claimed = 0;
  taken = 0;
  started = true;
  guard.unlock();
  workAvailable.notify_all();
}

void OrderedRows::Cancel() {
  std::unique_lock<std::mutex> guard(lock);
  StopJob(guard);
}

bool OrderedRows::AllReady(std::uint64_t from, std::uint64_t to) const {
  for (std::uint64_t r = from; r < to; ++r) {
    if (ready[r % slots] != r + 1) return false;
  }
  return true;
}

// The consumer still reads row taken - 1, so the ring may run up to
// slots - 1 rows past it.
bool OrderedRows::Claimable() const {
  if (!started || claimed >= rows) return false;
  std::uint64_t held = taken > 0 ? taken - 1 : 0;
  return claimed < held + slots;
}

void OrderedRows::Work() {
  std::unique_lock<std::mutex> guard(lock);
  for (;;) {
    ++idle;
    workAvailable.wait(guard, [this] { return stopping || Claimable(); });
    --idle;
    if (stopping) return;
    std::uint64_t r = claimed++;
    std::uint64_t gen = generation;
    unsigned char* out = Row(r);
    ++busy;
    guard.unlock();
    produce(r, out);
    guard.lock();
    --busy;
    if (gen == generation) ready[r % slots] = r + 1;
    // Waking the consumer costs a system call and a switch of threads, a
    // fair part of a short row: only once all the rows it waits for are
    // there, or when it waits for the workers to leave the ring.
    if ((waitFrom <= r && r < waitTo && AllReady(waitFrom, waitTo)) ||
        (busy == 0 && !started)) {
      rowDone.notify_all();
    }
  }
}

const unsigned char* OrderedRows::Next() {
  std::unique_lock<std::mutex> guard(lock);
  if (!started || taken >= rows) return nullptr;
  unsigned char* out = Row(taken);
  if (workers.empty()) {
    produce(taken, out);
    ++taken;
    return out;
  }
  if (ready[taken % slots] != taken + 1) {
    // Having to wait, wait for a batch of rows: every wake-up then serves
    // several of them. The workers can hold them all, since the batch is
    // at most half the ring.
    waitFrom = taken;
    waitTo = std::min<std::uint64_t>(taken + std::max<std::size_t>(1, slots / 2), rows);
    rowDone.wait(guard, [this] { return AllReady(waitFrom, waitTo); });
    waitFrom = waitTo = 0;
  }
  ++taken;
  // Taking a row frees the one before it. Workers that sleep on a full
  // ring are woken once half of it is free, not for every slot: a wake-up
  // costs a system call and a switch of threads, on a machine whose cores
  // the workers already fill. The rows the consumer will wait for next are
  // then claimed already, so none of them waits on a sleeping worker.
  const std::uint64_t free = taken - 1 + slots - claimed;
  bool wake = idle > 0 && free >= std::max<std::size_t>(1, slots / 2);
  guard.unlock();
  if (wake) workAvailable.notify_all();
  return out;
}

bool OrderedRows::Ready() {
  std::lock_guard<std::mutex> guard(lock);
  if (!started || taken >= rows || workers.empty()) return true;
  return ready[taken % slots] == taken + 1;
}

bool OrderedRows::WaitReady(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(lock);
  if (!started || taken >= rows || workers.empty()) return true;
  waitFrom = taken;
  waitTo = taken + 1;
  bool done = rowDone.wait_for(guard, timeout,
                               [this] { return AllReady(waitFrom, waitTo); });
  waitFrom = waitTo = 0;
  return done;
}

std::uint64_t OrderedRows::NextRow() {
  std::lock_guard<std::mutex> guard(lock);
  return taken;
}
