// Produces the rows of a picture on worker threads and hands them to one
// consumer strictly in order. What a row holds is the caller's business
// (counts, colours, sample bands): the producer function runs on the
// workers, so any per-pixel work done there (colouring included) is spread
// over every processor. The ring of finished rows is bounded both in rows
// and in bytes, so memory does not grow with the height, nor without bound
// with the width.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

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
  // 0 .. rows-1. Throws std::bad_alloc when the ring cannot be held.
  void Start(std::uint64_t rows, std::size_t rowBytes, Producer produce);

  // The next row in order, waiting until it is produced; valid until the
  // next call of Next, Start or the destructor. Null after the last row.
  const unsigned char* Next();
  // Whether Next would return without waiting; WaitReady waits at most
  // timeout for that.
  bool Ready();
  bool WaitReady(std::chrono::milliseconds timeout);
  std::uint64_t NextRow();
  // Ends the current job after the rows in progress; Next then returns null.
  void Cancel();

  unsigned Threads() const;
};
