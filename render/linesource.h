// Where the samples come from: one line of points at a time, computed on a
// worker thread. The double-precision engine is one source; an engine with
// more precision plugs in here without the rest of the pipeline knowing.
#pragma once

#include <cstddef>
#include <memory>

#include "core/escape.h"
#include "core/kernel.h"

class SampleLineSource {
 public:
  virtual ~SampleLineSource() = default;

  // Computes the n points at real parts u[0..n) and imaginary part v into
  // out[0..n). Called from several worker threads at once, on different
  // outputs; must not throw. The results must not depend on which thread
  // computes a line, nor on how many there are.
  virtual void ComputeLine(double v, const double* u, std::size_t n,
                           EscapeResult* out) const = 0;
};

// The double-precision engine: EscapeLine with the rule's radius, limit and
// kind of set, bit for bit the plain definition for every kernel kind.
class DoubleLineSource : public SampleLineSource {
 public:
  explicit DoubleLineSource(const EscapeRule& rule,
                            KernelKind kind = DefaultKernel())
      : rule(rule), kind(kind) {}

  void ComputeLine(double v, const double* u, std::size_t n,
                   EscapeResult* out) const override {
    EscapeLine(rule, u, n, v, out, kind);
  }

 private:
  EscapeRule rule;
  KernelKind kind;
};
