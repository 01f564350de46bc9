// The .mni/.mnd pair of the five programs, read and written for mandel.
#include "imageio/viewpair.h"

#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

#include "core/mandelbrot.h"
#include "imageio/outtarget.h"
#include "libutils/com/console.h"
#include "libutils/com/fileopen.h"

namespace {

// The system's reason when there is one; Read2File may fail before asking
// the system (a directory).
std::string OpenFailure(const libutils::Read2File& file) {
  if (file.NameTooLong()) return std::string(file.IFN()) + ": File name too long";
  return std::string(file.IFN()) + ": " +
         (errno != 0 ? std::strerror(errno) : "cannot open");
}

const char* InfoExts[] = {".mni", ".MNI", nullptr};
const char* DataExts[] = {".mnd", ".MND", nullptr};

constexpr std::uint64_t MaxSide = 0x7fffffff;

bool SidesUsable(const MandArea& a) {
  return a.dotsX >= 1 && a.dotsY >= 1 && a.dotsX <= MaxSide &&
         a.dotsY <= MaxSide;
}

}  // namespace

// --- reader -----------------------------------------------------------------

struct ViewPairReader::State {
  libutils::Read2File info, data;
  std::istream* in = nullptr;
  MandArea area;
  std::string dataName;
  std::uint64_t start = 0;  // where line 0 begins in the data stream
  std::uint64_t next = 0;   // the line the stream stands at
  std::vector<unsigned char> bytes;
};

ViewPairReader::ViewPairReader() = default;
ViewPairReader::~ViewPairReader() = default;

bool ViewPairReader::Open(const std::string& name, std::string& error) {
  state.reset();
  std::unique_ptr<State> s(new State());
  errno = 0;
  std::istream* is = s->info.ROpen(name.c_str(), InfoExts, std::ios::binary);
  if (!is) {
    error = OpenFailure(s->info);
    return false;
  }
  if (s->info.isStd()) libutils::set_binary_stdin();
  // The engine's own reading of the seven values, checked before use.
  bool complete = ReadInfo(*is, s->area);
  SkipInfoEnd(*is);
  const std::string infoName = s->info.IFN();
  if (!s->info.isStd()) s->info.Close();
  if (!complete) {
    error = infoName + ": invalid view info";
    return false;
  }
  if (!SidesUsable(s->area)) {
    error = infoName + ": view size out of range";
    return false;
  }
  errno = 0;
  s->in = s->data.ROpen(name.c_str(), DataExts, std::ios::binary);
  if (!s->in) {
    error = OpenFailure(s->data);
    return false;
  }
  // "-" names the standard input for both: the counts follow the info there,
  // after the character SkipInfoEnd consumed.
  s->dataName = s->data.IFN();
  const std::uint64_t need = s->area.dotsX * s->area.dotsY * 2;
  long long have = libutils::remaining_bytes(*s->in);
  if (have >= 0 && static_cast<std::uint64_t>(have) < need) {
    error = s->dataName + ": data file too short";
    return false;
  }
  if (have >= 0) {
    s->start = static_cast<std::uint64_t>(s->in->tellg());
  }
  s->in->clear();
  s->bytes.resize(s->area.dotsX * 2);
  state = std::move(s);
  return true;
}

const MandArea& ViewPairReader::Area() const {
  static const MandArea none;
  return state ? state->area : none;
}

bool ViewPairReader::ReadLine(std::uint64_t line, std::uint16_t* counts,
                              std::string& error) {
  if (!state) {
    error = "saved view not open";
    return false;
  }
  State& s = *state;
  if (line >= s.area.dotsY) {
    error = s.dataName + ": no line " + std::to_string(line);
    return false;
  }
  if (line != s.next) {
    s.in->clear();
    s.in->seekg(static_cast<std::streamoff>(s.start + line * s.bytes.size()));
    if (!*s.in) {
      error = s.dataName + ": cannot seek; read the lines in order";
      return false;
    }
  }
  s.in->read(reinterpret_cast<char*>(s.bytes.data()),
             static_cast<std::streamsize>(s.bytes.size()));
  if (static_cast<std::size_t>(s.in->gcount()) != s.bytes.size()) {
    error = s.dataName + ": data file too short";
    s.next = s.area.dotsY;  // position unknown: seek next time
    return false;
  }
  // Little-endian 16-bit counts, as Mandelbrot::SaveData writes them.
  for (std::size_t m = 0; m < s.area.dotsX; ++m) {
    counts[m] = static_cast<std::uint16_t>(s.bytes[2 * m] |
                                           (s.bytes[2 * m + 1] << 8));
  }
  s.next = line + 1;
  return true;
}

// --- writer -----------------------------------------------------------------

struct ViewPairWriter::State {
  imageio::OutTarget info, data;
  std::ostream* os = nullptr;
  MandArea area;
  std::vector<char> bytes;
  std::vector<std::uint16_t> counts;  // for lines given as engine results
  std::uint64_t written = 0;
  bool descending = false;
  bool failed = false;
};

ViewPairWriter::ViewPairWriter() = default;

ViewPairWriter::~ViewPairWriter() { Abandon(); }

std::string ViewPairWriter::BaseName(const std::string& name) {
  std::string base = name;
  static const char* const Strip[] = {".mni", ".MNI", ".mnd", ".MND"};
  for (const char* ext : Strip) {
    const std::size_t n = std::strlen(ext);
    if (base.size() > n && base.compare(base.size() - n, n, ext) == 0) {
      base.resize(base.size() - n);
      break;
    }
  }
  if (base.empty() || base == "-" || base.back() == libutils::PathDelimiter ||
      libutils::HasExtension(base.c_str())) {
    return std::string();
  }
  return base;
}

bool ViewPairWriter::Open(const std::string& name, const MandArea& area,
                          std::string& error) {
  Abandon();
  if (area.julia) {
    error = name +
            ": a Julia view cannot be saved as .mni/.mnd (the info file holds "
            "no Julia constant)";
    return false;
  }
  const std::string base = BaseName(name);
  if (base.empty()) {
    error = name +
            ": a saved view needs a name without extension, as setrender -f "
            "reads it";
    return false;
  }
  if (!SidesUsable(area)) {
    error = name + ": view size out of range";
    return false;
  }
  std::unique_ptr<State> s(new State());
  s->area = area;
  if (!s->info.Prepare(base + ".mni", error)) return false;
  std::ostream* info = s->info.OpenStream(error);
  if (!info) return false;
  if (!s->data.Prepare(base + ".mnd", error)) return false;
  s->os = s->data.OpenStream(error);
  if (!s->os) return false;
  // The engine writes the info text itself, so the format cannot drift
  // from what LoadInfo reads.
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(area);
  engine.SaveInfo(*info);
  if (info->fail()) {
    error = base + ".mni: write error";
    return false;
  }
  s->bytes.resize(area.dotsX * 2);
  state = std::move(s);
  return true;
}

bool ViewPairWriter::WriteLine(std::uint64_t line, const std::uint16_t* counts,
                               std::string& error) {
  if (!state || state->failed) {
    error = state ? state->data.Target() + ": saved view already failed"
                  : "saved view not open";
    return false;
  }
  State& s = *state;
  const std::uint64_t rows = s.area.dotsY;
  if (s.written == 0 && rows > 1 && line == rows - 1) s.descending = true;
  const std::uint64_t expected =
      s.descending ? rows - 1 - s.written : s.written;
  if (s.written == rows || line != expected) {
    error = s.data.Target() + ": line " + std::to_string(line) +
            " out of order";
    s.failed = true;
    return false;
  }
  for (std::size_t m = 0; m < s.area.dotsX; ++m) {
    s.bytes[2 * m] = static_cast<char>(counts[m] & 0xff);
    s.bytes[2 * m + 1] = static_cast<char>(counts[m] >> 8);
  }
  // Bottom line first in the file whatever the order of arrival.
  if (s.descending) {
    s.os->seekp(static_cast<std::streamoff>(line * s.bytes.size()));
  }
  s.os->write(s.bytes.data(), static_cast<std::streamsize>(s.bytes.size()));
  if (s.os->fail()) {
    error = s.data.Target() + ": write error";
    s.failed = true;
    return false;
  }
  ++s.written;
  return true;
}

bool ViewPairWriter::WriteLine(std::uint64_t line, const EscapeResult* results,
                               std::string& error) {
  if (!state) {
    error = "saved view not open";
    return false;
  }
  std::vector<std::uint16_t>& counts = state->counts;
  counts.resize(state->area.dotsX);
  for (std::size_t m = 0; m < counts.size(); ++m) {
    counts[m] = ViewFileCount(results[m].count);
  }
  return WriteLine(line, counts.data(), error);
}

bool ViewPairWriter::Finish(std::string& error) {
  if (!state) {
    error = "saved view not open";
    return false;
  }
  bool ok = false;
  if (state->failed) {
    error = state->data.Target() + ": saved view already failed";
  } else if (state->written != state->area.dotsY) {
    error = state->data.Target() + ": saved view incomplete";
  } else {
    // The data first: an info file never appears without its counts.
    ok = state->data.Commit(error) && state->info.Commit(error);
  }
  if (!ok) Abandon();
  state.reset();
  return ok;
}

void ViewPairWriter::Abandon() {
  if (!state) return;
  state->data.Discard();
  state->info.Discard();
  state.reset();
}
