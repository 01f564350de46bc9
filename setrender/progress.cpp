// The progress line of setrender.
#include "setrender/progress.h"

#include <cstdio>
#include <ostream>

namespace {

std::string Clock(double seconds) {
  if (!(seconds >= 0)) seconds = 0;
  unsigned long s = static_cast<unsigned long>(seconds + 0.5);
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%lu:%02lu:%02lu", s / 3600,
                  s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%lu:%02lu", s / 60, s % 60);
  }
  return text;
}

}  // namespace

Progress::Progress(std::ostream& err, bool enabled, std::uint64_t total)
    : err(err),
      enabled(enabled),
      total(total),
      start(std::chrono::steady_clock::now()),
      lastDraw(start) {}

Progress::~Progress() { Finish(); }

std::string Progress::Text(std::uint64_t done, std::uint64_t total,
                           double elapsed) {
  double fraction = total ? static_cast<double>(done) / total : 1.0;
  std::string left = "?";
  if (done > 0) left = Clock(elapsed / fraction - elapsed);
  char text[160];
  std::snprintf(text, sizeof text,
                "line %llu/%llu  %3d%%  elapsed %s  left %s",
                static_cast<unsigned long long>(done),
                static_cast<unsigned long long>(total),
                static_cast<int>(fraction * 100), Clock(elapsed).c_str(),
                left.c_str());
  return text;
}

void Progress::Update(std::uint64_t done) {
  if (!enabled) return;
  auto now = std::chrono::steady_clock::now();
  // Redrawing every line would cost more than a fast line itself.
  if (shown != 0 && now - lastDraw < std::chrono::milliseconds(200)) return;
  lastDraw = now;
  std::string text =
      Text(done, total, std::chrono::duration<double>(now - start).count());
  // Pad over a longer earlier text rather than rely on terminal escapes,
  // which not every console understands.
  std::string pad = shown > text.size() ? std::string(shown - text.size(), ' ')
                                        : std::string();
  err << '\r' << text << pad << std::flush;
  shown = text.size();
}

void Progress::Finish() {
  if (!enabled || shown == 0) return;
  err << '\r' << std::string(shown, ' ') << '\r' << std::flush;
  shown = 0;
}
