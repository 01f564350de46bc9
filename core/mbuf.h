// Iteration-count buffers: one row of counts per line of a view and one flag
// byte per row. NormalMBuf keeps every row; ReducedMBuf keeps only the row
// asked for last, so a consumer that goes line by line needs one line of
// memory whatever the height of the view.
#pragma once

#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <stdexcept>

template <class T>
class BufManage_Abstract {
 public:
  virtual ~BufManage_Abstract() {}
  // Releases the storage; false when there was none.
  virtual bool Free() = 0;

 protected:
  T* array = nullptr;
  std::uint64_t rows = 0;
};

template <class T>
class BufManage_Square : public virtual BufManage_Abstract<T> {
 public:
  ~BufManage_Square() override { BufManage_Square<T>::Free(); }

  // Storage for rows x width elements, left uninitialised: every element is
  // written by a computation or a load before it is read. Does not release
  // earlier storage. An element count too large for an array throws
  // std::length_error; exhaustion throws std::bad_alloc.
  virtual bool Allocate(std::uint64_t rows, std::uint64_t width) {
    std::uint64_t count = CheckedCount(rows, width);
    this->array = new T[count];
    this->rows = rows;
    this->width = width;
    return true;
  }

  bool Free() override {
    if (!this->array) return false;
    delete[] this->array;
    this->array = nullptr;
    return true;
  }

  // The first element of a row. A row past the end is reported as
  // "arrays OVER! (row/last)" on the error stream and row 0 is given instead.
  virtual T* operator[](std::uint64_t row) {
    if (row < this->rows) return this->array + row * width;
    std::cerr << "arrays OVER! (" << row << "/" << this->rows - 1 << ")"
              << std::endl;
    return this->array;
  }

 protected:
  static std::uint64_t CheckedCount(std::uint64_t rows, std::uint64_t width) {
    const std::uint64_t max = std::numeric_limits<std::size_t>::max() / sizeof(T);
    if (width != 0 && rows > max / width) {
      throw std::length_error("iteration buffer too large");
    }
    return rows * width;
  }

  std::uint64_t width = 0;
};

template <class T>
class MBuf : public virtual BufManage_Square<T> {
 public:
  bool Allocate(std::uint64_t rows, std::uint64_t width) override = 0;
  // The flag byte of a row; bit 0 marks a row holding computed counts.
  virtual char* Flags(std::uint64_t row) = 0;
  ~MBuf() override {}
};

template <class T>
class NormalMBuf : public MBuf<T> {
 public:
  bool Allocate(std::uint64_t rows, std::uint64_t width) override {
    BufManage_Square<T>::Allocate(rows, width);
    flags = new char[rows]();
    return true;
  }

  // A row past the end is reported as "flags OVER! (row/last)" and row 0's
  // flag is given instead.
  char* Flags(std::uint64_t row) override {
    if (row < this->rows) return flags + row;
    std::cerr << "flags OVER! (" << row << "/" << this->rows - 1 << ")"
              << std::endl;
    return flags;
  }

  ~NormalMBuf() override { NormalMBuf<T>::Free(); }

  // True only when both the counts and the flags were present.
  bool Free() override {
    bool hadArray = BufManage_Square<T>::Free();
    bool hadFlags = flags != nullptr;
    delete[] flags;
    flags = nullptr;
    return hadArray && hadFlags;
  }

 private:
  char* flags = nullptr;
};

template <class T>
class ReducedMBuf : public MBuf<T> {
 public:
  // One row of width elements whatever rows says.
  bool Allocate(std::uint64_t rows, std::uint64_t width) override {
    (void)rows;
    BufManage_Square<T>::Allocate(1, width);
    flag = 0;
    return true;
  }

  // Other rows share the scratch byte, which reads 0 and forgets writes.
  char* Flags(std::uint64_t row) override {
    scratch = 0;
    return row == current ? &flag : &scratch;
  }

  ~ReducedMBuf() override { ReducedMBuf<T>::Free(); }

  bool Free() override { return BufManage_Square<T>::Free(); }

  // The single row of storage. Asking for a row other than the one held
  // hands it out cleared, with its flag cleared.
  T* operator[](std::uint64_t row) override {
    T* storage = BufManage_Square<T>::operator[](0);
    if (row == current) return storage;
    flag = 0;
    current = row;
    if (storage) std::memset(storage, 0, this->width * sizeof(T));
    return storage;
  }

 private:
  char flag = 0;
  char scratch = 0;
  std::uint64_t current = 0;
};
