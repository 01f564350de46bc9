// Worker threads of a viewer run.
#include "viewer/runner.h"

#include <cmath>
#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif
#include <exception>
#include <stdexcept>

#include "core/orderedrows.h"
#include "deep/deep.h"
#include "render/deepsource.h"
#include "render/linesource.h"
#include "render/pipeline.h"

namespace zv {

namespace {
// Workers give way to the toolkit's thread, which then handles keys and
// paints the status line on time even when every processor is busy.
void yield_to_the_window() {
#ifdef __linux__
  // On Linux the nice value is per thread.
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
}

// The viewer's own Julia sets: each point escapes at |z0| + 2 rather than a
// fixed radius, so its banded pictures stay those users know.
class growingradiussource : public SampleLineSource {
 public:
  explicit growingradiussource(const EscapeRule& rule) : rule(rule) {}
  void ComputeLine(double v, const double* u, std::size_t n,
                   EscapeResult* out) const override {
    for (std::size_t i = 0; i < n; ++i)
      out[i] = Escape(u[i], v, rule.cr, rule.ci, std::hypot(u[i], v) + 2,
                      rule.limit);
  }

 private:
  EscapeRule rule;
};
}  // namespace

struct runner::source_holder {
  std::unique_ptr<SampleLineSource> source;
  std::unique_ptr<ComputedLines> lines;
};

runner::runner(const preciseview& v, const MandArea& a, countpicture& o,
               unsigned threads)
    : view(v),
      area(a),
      out(o),
      kind(needs_deep(v, a.dotsX) ? engine_kind::deep : engine_kind::doubles),
      thread_count(threads ? threads : DefaultThreadCount()),
      source(std::make_unique<source_holder>()),
      done(new std::atomic<bool>[a.dotsY]) {
  for (std::uint64_t l = 0; l < a.dotsY; ++l) done[l] = false;
  out.width = a.dotsX;
  out.height = a.dotsY;
  out.n.assign(a.dotsX * a.dotsY, 0);
  out.nf.assign(a.dotsX * a.dotsY, 0.0f);
  if (thread_count == 0) thread_count = 1;
  // The first worker builds the engine (the deep reference can take a
  // while); the others wait for it.
  for (unsigned t = 0; t < thread_count; ++t)
    workers.emplace_back([this, t] {
      yield_to_the_window();
      if (t == 0) setup();
      work();
    });
}

runner::~runner() {
  cancel();
  for (std::thread& t : workers) t.join();
}

void runner::setup() {
  try {
    const double bailout = 2;
    if (kind == engine_kind::deep) {
      deep::View dv;
      centre_of(view, area.dotsX, area.dotsY, dv.re, dv.im);
      dv.width = view.width;
      dv.limit = static_cast<std::uint32_t>(area.limit);
      dv.bailout = bailout;
      dv.julia = view.julia;
      dv.juliaRe = decimal_of(view.julia_re);
      dv.juliaIm = decimal_of(view.julia_im);
      deep::Options options;
      options.threads = thread_count;
      source->source = std::make_unique<DeepLineSource>(dv, options);
      source->lines = std::make_unique<ComputedLines>(FractionArea(area), 1,
                                                      bailout, *source->source);
    } else {
      EscapeRule rule;
      rule.radius = bailout;
      rule.limit = static_cast<std::uint32_t>(area.limit);
      rule.julia = area.julia;
      rule.cr = area.juliaRe;
      rule.ci = area.juliaIm;
      if (rule.julia)
        source->source = std::make_unique<growingradiussource>(rule);
      else
        source->source = std::make_unique<DoubleLineSource>(rule);
      source->lines =
          std::make_unique<ComputedLines>(area, 1, bailout, *source->source);
    }
    ready = true;
  } catch (const std::exception& e) {
    std::lock_guard<std::mutex> lock(mutex);
    message = e.what();
    has_failed = true;
  }
  changed.notify_all();
}

void runner::work() {
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return ready || has_failed || stop; });
  }
  if (!ready) return;
  std::string err;
  for (;;) {
    if (stop) return;
    const std::uint64_t l = next_line.fetch_add(1);
    if (l >= area.dotsY) return;
    SampleLine line{out.n.data() + l * area.dotsX,
                    out.nf.data() + l * area.dotsX};
    source->lines->Line(l, line, err);
    {
      std::lock_guard<std::mutex> lock(mutex);
      done[l] = true;
    }
    changed.notify_all();
  }
}

bool runner::wait_line(std::uint64_t l, std::chrono::milliseconds timeout) {
  if (l >= area.dotsY) return false;
  if (done[l]) return true;
  std::unique_lock<std::mutex> lock(mutex);
  return changed.wait_for(lock, timeout, [&] {
    return done[l].load() || has_failed.load();
  }) && done[l];
}

std::string runner::error() const {
  std::lock_guard<std::mutex> lock(mutex);
  return message;
}

void runner::cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stop = true;
  }
  changed.notify_all();
}

}  // namespace zv
