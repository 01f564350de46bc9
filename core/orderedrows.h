// Produces the rows of a picture on worker threads and hands them to one
// consumer strictly in order. What a row holds is the caller's business
// (counts, colours, sample bands): the producer function runs on the
// workers, so any per-pixel work done there (colouring included) is spread
// over every processor. The ring of finished rows is bounded both in rows
// and in bytes, so memory does not grow with the height, nor without bound
// with the width.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The number of workers a program should use: one per processor, or one in
// a build configured for the plain engine.
unsigned DefaultThreadCount();

class OrderedRows {
 public:
  // Fills out (rowBytes bytes) with row `row`. Called on worker threads,
  // several rows at once; must not throw.
  using Producer = std::function<void(std::uint64_t row, unsigned char* out)>;

  // 0 threads means DefaultThreadCount().
  explicit OrderedRows(unsigned threads = 0);
  ~OrderedRows();  // waits for rows in progress, then ends the workers
  OrderedRows(const OrderedRows&) = delete;
  OrderedRows& operator=(const OrderedRows&) = delete;

  // Drops the current job (waiting for rows in progress) and starts rows
  // 0 .. rows-1. Throws std::bad_alloc when the ring cannot be held; no job
  // is running then. Every row starts rowBytes-aligned to 64 bytes, and a
  // row of 0 bytes still has a non-null address.
  void Start(std::uint64_t rows, std::size_t rowBytes, Producer produce);

  // The next row in order, waiting until it is produced; valid until the
  // next call of Next, Start or the destructor. Null after the last row.
  const unsigned char* Next();
  // Whether Next would return without waiting; WaitReady waits at most
  // timeout for that.
  bool Ready();
  bool WaitReady(std::chrono::milliseconds timeout);
  std::uint64_t NextRow();
  // Ends the current job after the rows in progress, which it waits for:
  // once it returns the producer is no longer called, nor held. Next then
  // returns null.
  void Cancel();

  // The workers running; with none, Next produces each row itself.
  unsigned Threads() const { return static_cast<unsigned>(workers.size()); }
  // Rows the ring holds for the current job (the row Next returned last
  // among them).
  std::size_t RingRows() const { return slots; }

 private:
  void Work();
  void StopJob(std::unique_lock<std::mutex>& guard);
  bool Claimable() const;
  bool AllReady(std::uint64_t from, std::uint64_t to) const;
  unsigned char* Row(std::uint64_t row) {
    return base + (row % slots) * stride;
  }

  std::vector<std::thread> workers;
  std::mutex lock;
  std::condition_variable workAvailable;  // workers wait here
  std::condition_variable rowDone;        // the consumer and Start wait here

  Producer produce;
  std::uint64_t rows = 0;
  bool started = false;
  bool stopping = false;
  std::uint64_t generation = 0;  // counts jobs; stale rows are dropped
  std::uint64_t claimed = 0;     // rows handed to workers so far
  std::uint64_t taken = 0;       // rows handed to the consumer so far
  unsigned busy = 0;             // workers inside a row right now
  unsigned idle = 0;             // workers waiting for a row to claim
  // The rows [waitFrom, waitTo) the consumer waits for; empty when it does
  // not.
  std::uint64_t waitFrom = 0, waitTo = 0;
  // The ring: row r lives at base + (r % slots) * stride; ready[] holds
  // r + 1 once that row is complete, 0 while not. Left uninitialised, so
  // that only the rows actually produced take memory.
  std::unique_ptr<unsigned char[]> ring;
  std::size_t ringBytes = 0;
  unsigned char* base = nullptr;
  std::size_t stride = 0;
  std::size_t slots = 0;
  std::vector<std::uint64_t> ready;
};
