// Part files: a poster's bands of pixels, written and read one row at a time.
#include "imageio/partfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <ostream>
#include <vector>

#include "imageio/outtarget.h"

namespace {

const char Magic[8] = {'M', 'A', 'N', 'D', 'P', 'A', 'R', 'T'};
constexpr std::uint32_t Version = 1;
constexpr std::size_t FixedBytes = 36;
constexpr std::size_t TrailerBytes = 8;
constexpr std::uint32_t MaxSide = 0x7fffffff;
// Far above any view text; keeps a damaged length from asking for gigabytes.
constexpr std::uint32_t MaxViewText = 1 << 20;
constexpr std::uint64_t Prime = 0x100000001b3u;

void PutLE32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t GetLE32(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
         std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// Byte by byte, so the value is the same on any host; compilers make one
// load of it where the host is little-endian.
std::uint64_t GetLE64(const unsigned char* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// Why a header cannot describe a band; empty when it can.
std::string HeaderProblem(const PartHeader& h) {
  if (h.width < 1 || h.width > MaxSide || h.height < 1 || h.height > MaxSide)
    return "the picture's size must be from 1 to 2147483647 pixels a side";
  if (h.first > h.last || h.last >= h.height)
    return "rows " + std::to_string(h.first) + " to " + std::to_string(h.last) +
           " do not lie in a picture of " + std::to_string(h.height) + " rows";
  if (h.depth != 8 && h.depth != 16)
    return "bits per channel must be 8 or 16, not " + std::to_string(h.depth);
  if (h.viewText.size() > MaxViewText) return "view text too long";
  // Keeps the file's length within 64 bits, whatever a damaged header says.
  if (h.Rows() > (UINT64_MAX / 2) / h.RowBytes()) return "band too large";
  return "";
}

std::uint64_t FileBytes(const PartHeader& h) {
  return FixedBytes + h.viewText.size() + h.Rows() * h.RowBytes() +
         TrailerBytes;
}

}  // namespace

void PartChecksum::Add(const void* data, std::size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(data);
  length += bytes;
  while (pendingBytes != 0 && bytes != 0) {
    pending |= std::uint64_t(*p++) << (8 * pendingBytes++);
    --bytes;
    if (pendingBytes == 8) {
      hash = (hash ^ pending) * Prime;
      pending = 0;
      pendingBytes = 0;
    }
  }
  for (; bytes >= 8; bytes -= 8, p += 8) hash = (hash ^ GetLE64(p)) * Prime;
  while (bytes != 0) {
    pending |= std::uint64_t(*p++) << (8 * pendingBytes++);
    --bytes;
  }
}

std::uint64_t PartChecksum::Value() const {
  // The unfinished word and the length go in too, so that trailing zero
  // bytes and a shorter input cannot give the same value.
  std::uint64_t h = (hash ^ pending) * Prime;
  h = (h ^ length) * Prime;
  h ^= h >> 29;
  h *= 0xbf58476d1ce4e5b9u;
  h ^= h >> 32;
  return h;
}

struct PartWriter::State {
  imageio::OutTarget out;
  std::ostream* os = nullptr;
  PartHeader header;
  std::uint64_t rows = 0;
  PartChecksum sum;
  std::vector<unsigned char> bytes;  // a 16-bit row in file order
};

PartWriter::PartWriter() = default;
PartWriter::~PartWriter() { Abandon(); }

bool PartWriter::Open(const std::string& target, const PartHeader& header,
                      std::string& error) {
  Abandon();
  std::string why = HeaderProblem(header);
  if (!why.empty()) {
    error = target + ": " + why;
    return false;
  }
  std::unique_ptr<State> s(new State());
  s->header = header;
  if (!s->out.Prepare(target, error)) return false;
  s->os = s->out.OpenStream(error);
  if (!s->os) return false;
  unsigned char fixed[FixedBytes];
  std::memcpy(fixed, Magic, sizeof Magic);
  PutLE32(fixed + 8, Version);
  PutLE32(fixed + 12, header.width);
  PutLE32(fixed + 16, header.height);
  PutLE32(fixed + 20, header.first);
  PutLE32(fixed + 24, header.last);
  PutLE32(fixed + 28, static_cast<std::uint32_t>(header.depth));
  PutLE32(fixed + 32, static_cast<std::uint32_t>(header.viewText.size()));
  s->os->write(reinterpret_cast<const char*>(fixed), FixedBytes);
  s->os->write(header.viewText.data(),
               static_cast<std::streamsize>(header.viewText.size()));
  s->sum.Add(fixed, FixedBytes);
  s->sum.Add(header.viewText.data(), header.viewText.size());
  if (header.depth == 16) s->bytes.resize(header.RowBytes());
  state = std::move(s);
  return true;
}

PixelLayout PartWriter::Layout() const {
  return state && state->header.depth == 16 ? PixelLayout::Rgb16
                                            : PixelLayout::Rgb8;
}

std::size_t PartWriter::RowBytes() const {
  return state ? static_cast<std::size_t>(state->header.RowBytes()) : 0;
}

bool PartWriter::WriteRow(const void* row, std::string& error) {
  if (!state) {
    error = "part file not open";
    return false;
  }
  State& s = *state;
  if (s.rows == s.header.Rows()) {
    error = s.out.Target() + ": more rows than the band holds";
    return false;
  }
  const std::size_t n = RowBytes();
  const unsigned char* bytes = static_cast<const unsigned char*>(row);
  if (s.header.depth == 16) {
    const auto* v = static_cast<const std::uint16_t*>(row);
    for (std::size_t i = 0; i < n / 2; ++i) {
      s.bytes[2 * i] = static_cast<unsigned char>(v[i] >> 8);
      s.bytes[2 * i + 1] = static_cast<unsigned char>(v[i]);
    }
    bytes = s.bytes.data();
  }
  s.sum.Add(bytes, n);
  s.os->write(reinterpret_cast<const char*>(bytes),
              static_cast<std::streamsize>(n));
  if (s.os->fail()) {
    error = s.out.Target() + ": write error";
    return false;
  }
  ++s.rows;
  return true;
}

bool PartWriter::Finish(std::string& error) {
  if (!state) {
    error = "part file not open";
    return false;
  }
  bool ok = false;
  if (state->rows != state->header.Rows()) {
    error = state->out.Target() + ": band incomplete";
  } else {
    unsigned char trailer[TrailerBytes];
    const std::uint64_t v = state->sum.Value();
    for (int i = 0; i < 8; ++i)
      trailer[i] = static_cast<unsigned char>(v >> (8 * i));
    state->os->write(reinterpret_cast<const char*>(trailer), TrailerBytes);
    ok = state->out.Commit(error);
  }
  if (!ok) state->out.Discard();
  state.reset();
  return ok;
}

void PartWriter::Abandon() {
  if (!state) return;
  state->out.Discard();
  state.reset();
}

struct PartReader::State {
  std::string path;
  std::ifstream in;
  std::vector<char> buffer;
  PartHeader header;
  std::uint64_t rows = 0;
  PartChecksum sum;
  std::vector<unsigned char> bytes;  // a 16-bit row in file order
};

PartReader::PartReader() = default;
PartReader::~PartReader() = default;

bool PartReader::Open(const std::string& path, std::string& error) {
  Close();
  std::unique_ptr<State> s(new State());
  s->path = path;
  // Rows are read one at a time; a large buffer saves system calls.
  s->buffer.resize(1 << 20);
  s->in.rdbuf()->pubsetbuf(s->buffer.data(),
                           static_cast<std::streamsize>(s->buffer.size()));
  s->in.open(path, std::ios::binary);
  if (!s->in.is_open()) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  unsigned char fixed[FixedBytes];
  s->in.read(reinterpret_cast<char*>(fixed), FixedBytes);
  if (s->in.gcount() != static_cast<std::streamsize>(FixedBytes) ||
      std::memcmp(fixed, Magic, sizeof Magic) != 0) {
    error = path + ": not a part file of mandel";
    return false;
  }
  if (GetLE32(fixed + 8) != Version) {
    error = path + ": part file of an unknown version " +
            std::to_string(GetLE32(fixed + 8));
    return false;
  }
  PartHeader& h = s->header;
  h.width = GetLE32(fixed + 12);
  h.height = GetLE32(fixed + 16);
  h.first = GetLE32(fixed + 20);
  h.last = GetLE32(fixed + 24);
  h.depth = static_cast<int>(GetLE32(fixed + 28) & 0xff);
  if (GetLE32(fixed + 28) > 0xff) h.depth = 0;
  const std::uint32_t textBytes = GetLE32(fixed + 32);
  if (textBytes > MaxViewText) {
    error = path + ": damaged part file (view text too long)";
    return false;
  }
  h.viewText.resize(textBytes);
  s->in.read(&h.viewText[0], textBytes);
  if (s->in.gcount() != static_cast<std::streamsize>(textBytes)) {
    error = path + ": truncated part file";
    return false;
  }
  std::string why = HeaderProblem(h);
  if (!why.empty()) {
    error = path + ": damaged part file (" + why + ")";
    return false;
  }
  // The length tells a truncated copy before a single row is joined.
  const std::streamoff here = s->in.tellg();
  s->in.seekg(0, std::ios::end);
  const std::streamoff end = s->in.tellg();
  s->in.seekg(here);
  if (here < 0 || end < 0 || !s->in) {
    error = path + ": cannot find the file's length";
    return false;
  }
  const std::uint64_t want = FileBytes(h);
  if (static_cast<std::uint64_t>(end) != want) {
    error = path + ": " +
            (static_cast<std::uint64_t>(end) < want ? "truncated part file"
                                                    : "part file too long") +
            " (" + std::to_string(end) + " bytes, the header says " +
            std::to_string(want) + ")";
    return false;
  }
  s->sum.Add(fixed, FixedBytes);
  s->sum.Add(h.viewText.data(), h.viewText.size());
  if (h.depth == 16) s->bytes.resize(h.RowBytes());
  state = std::move(s);
  return true;
}

const PartHeader& PartReader::Header() const {
  static const PartHeader none;
  return state ? state->header : none;
}

void PartReader::Close() { state.reset(); }

bool PartReader::ReadRow(void* row, std::string& error) {
  if (!state) {
    error = "part file not open";
    return false;
  }
  State& s = *state;
  if (s.rows == s.header.Rows()) {
    error = s.path + ": no rows left";
    return false;
  }
  const std::size_t n = static_cast<std::size_t>(s.header.RowBytes());
  unsigned char* bytes =
      s.header.depth == 16 ? s.bytes.data() : static_cast<unsigned char*>(row);
  s.in.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(n));
  if (s.in.gcount() != static_cast<std::streamsize>(n)) {
    error = s.path + ": read error";
    return false;
  }
  s.sum.Add(bytes, n);
  if (s.header.depth == 16) {
    auto* v = static_cast<std::uint16_t*>(row);
    for (std::size_t i = 0; i < n / 2; ++i)
      v[i] = static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  }
  ++s.rows;
  return true;
}

bool PartReader::CheckSum(std::string& error) {
  if (!state) {
    error = "part file not open";
    return false;
  }
  State& s = *state;
  unsigned char trailer[TrailerBytes];
  s.in.read(reinterpret_cast<char*>(trailer), TrailerBytes);
  if (s.rows != s.header.Rows() ||
      s.in.gcount() != static_cast<std::streamsize>(TrailerBytes)) {
    error = s.path + ": read error";
    return false;
  }
  if (GetLE64(trailer) != s.sum.Value()) {
    error = s.path + ": damaged part file (checksum mismatch)";
    return false;
  }
  return true;
}

bool FitParts(std::vector<PartInfo>& parts, std::string& error) {
  if (parts.empty()) {
    error = "no parts to join";
    return false;
  }
  std::stable_sort(parts.begin(), parts.end(),
                   [](const PartInfo& a, const PartInfo& b) {
                     return a.header.first < b.header.first;
                   });
  const PartInfo& lead = parts.front();
  const PartHeader& w = lead.header;
  auto size = [](const PartHeader& h) {
    return std::to_string(h.width) + "x" + std::to_string(h.height);
  };
  auto rows = [](std::uint64_t a, std::uint64_t b) {
    return a == b ? "row " + std::to_string(a)
                  : "rows " + std::to_string(a) + " to " + std::to_string(b);
  };
  for (const PartInfo& p : parts) {
    const PartHeader& h = p.header;
    if (h.width != w.width || h.height != w.height) {
      error = p.path + ": a band of a " + size(h) + " picture, but " +
              lead.path + " is of " + size(w);
      return false;
    }
    if (h.depth != w.depth) {
      error = p.path + ": " + std::to_string(h.depth) +
              " bits per channel, but " + lead.path + " has " +
              std::to_string(w.depth);
      return false;
    }
    if (h.viewText != w.viewText) {
      error =
          p.path + ": a band of another view or colouring than " + lead.path;
      return false;
    }
  }
  std::uint64_t next = 0;  // the first row no band has covered yet
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const PartHeader& h = parts[i].header;
    if (h.first > next) {
      error = rows(next, h.first - 1) + (h.first - 1 == next ? " is" : " are") +
              " in no part";
      if (i > 0)
        error +=
            " (between " + parts[i - 1].path + " and " + parts[i].path + ")";
      return false;
    }
    if (h.first < next) {
      const std::uint64_t end = std::min<std::uint64_t>(next - 1, h.last);
      error = parts[i - 1].path + " and " + parts[i].path + " both hold " +
              rows(h.first, end);
      return false;
    }
    next = std::uint64_t(h.last) + 1;
  }
  if (next < w.height) {
    error = rows(next, w.height - 1) + (next == w.height - 1 ? " is" : " are") +
            " in no part";
    return false;
  }
  return true;
}
