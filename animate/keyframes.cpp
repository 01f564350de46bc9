// Reading keyframe files: split into blocks at "---", the keys that lead to
// the next keyframe taken out, the rest read as a view file.
#include "animate/keyframes.h"

#include <map>

#include "viewspec/decimal.h"

namespace {

constexpr std::size_t MaxKeyframeText = std::size_t(16) << 20;

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::vector<std::string> Tokens(const std::string& s) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsSpace(s[i])) ++i;
    std::size_t from = i;
    while (i < s.size() && !IsSpace(s[i])) ++i;
    if (i > from) out.push_back(s.substr(from, i - from));
  }
  return out;
}

std::string Quote(const std::string& s) {
  return "\"" + (s.size() > 40 ? s.substr(0, 40) + "..." : s) + "\"";
}

// One keyframe's lines: the view file text (the keys of the keyframe itself
// blanked out, so the view reader's line numbers stay those of the block)
// and the keyframe's own keys with the lines they are on.
struct Block {
  std::size_t firstLine = 1;
  bool empty = true;  // no key at all
  std::string viewText;
  std::string frames, ease, path;
  std::size_t framesLine = 0, easeLine = 0, pathLine = 0;
  std::map<std::string, std::size_t> viewKeys;  // line of each view key
  // The line to blame for a view key's value: its own, or the block's
  // first when the key was left out.
  std::size_t LineOf(const std::string& key) const {
    auto it = viewKeys.find(key);
    return it == viewKeys.end() ? firstLine : it->second;
  }
};

// The view reader counts lines from the block's start; the message must
// count them from the file's.
std::string ShiftLine(const std::string& message, const std::string& source,
                      std::size_t offset) {
  const std::string head = source + ":";
  if (message.compare(0, head.size(), head) != 0) return message;
  std::size_t i = head.size(), n = 0, digits = 0;
  while (i < message.size() && message[i] >= '0' && message[i] <= '9') {
    n = n * 10 + static_cast<std::size_t>(message[i] - '0');
    ++i;
    ++digits;
  }
  if (digits == 0) return message;
  return head + std::to_string(n + offset) + message.substr(i);
}

bool ParseFrames(const std::string& text, std::uint64_t& frames) {
  if (text.empty() || text.size() > 7) return false;
  std::uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v < 1 || v > MaxSegmentFrames) return false;
  frames = v;
  return true;
}

bool ParseEase(const std::string& text, Ease& ease) {
  static const struct {
    const char* name;
    Ease ease;
  } names[] = {{"none", Ease::None},
               {"in", Ease::In},
               {"out", Ease::Out},
               {"inout", Ease::InOut}};
  for (const auto& n : names)
    if (text == n.name) {
      ease = n.ease;
      return true;
    }
  return false;
}

bool ParsePath(const std::string& text, JuliaPath& path) {
  std::vector<std::string> t = Tokens(text);
  if (t.size() == 1 && t[0] == "line") {
    path = JuliaPath();
    return true;
  }
  if (t.size() == 1 && t[0] == "polyline") {
    path = JuliaPath();
    path.kind = PathKind::Polyline;
    return true;
  }
  if ((t.size() == 3 || t.size() == 4) && t[0] == "circle" && IsDecimal(t[1]) &&
      IsDecimal(t[2]) && t[1].size() <= MaxDecimalChars &&
      t[2].size() <= MaxDecimalChars) {
    double re, im;
    if (!DecimalToDouble(t[1], re) || !DecimalToDouble(t[2], im)) return false;
    if (t.size() == 4 && t[3] != "clockwise") return false;
    path.kind = PathKind::Circle;
    path.re = t[1];
    path.im = t[2];
    path.clockwise = t.size() == 4;
    return true;
  }
  return false;
}

}  // namespace

double ApplyEase(Ease ease, double t) {
  switch (ease) {
    case Ease::In:
      return t * t;
    case Ease::Out:
      return t * (2 - t);
    case Ease::InOut:
      return t * t * (3 - 2 * t);
    default:
      return t;
  }
}

bool ParseKeyframes(const std::string& text, const std::string& source,
                    std::vector<Keyframe>& out, std::string& error) {
  if (text.size() > MaxKeyframeText) {
    error = source + ": larger than " + std::to_string(MaxKeyframeText) +
            " bytes, not a keyframe file";
    return false;
  }
  std::vector<Block> blocks(1);
  std::size_t from = 0, lineNo = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) from = 3;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(from, end - from);
    from = end + 1;
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    const std::string line = Trim(raw);
    if (line == "---") {
      blocks.emplace_back();
      blocks.back().firstLine = lineNo + 1;
      continue;
    }
    Block& b = blocks.back();
    const std::size_t eq = line.find('=');
    const std::string key =
        line.empty() || line[0] == '#' || eq == std::string::npos
            ? std::string()
            : Trim(line.substr(0, eq));
    std::string* value = nullptr;
    std::size_t* seenOn = nullptr;
    if (key == "frames") {
      value = &b.frames;
      seenOn = &b.framesLine;
    } else if (key == "ease") {
      value = &b.ease;
      seenOn = &b.easeLine;
    } else if (key == "path") {
      value = &b.path;
      seenOn = &b.pathLine;
    }
    if (!key.empty()) b.empty = false;
    if (!value) {
      if (!key.empty()) b.viewKeys.emplace(key, lineNo);
      b.viewText += raw + "\n";
      continue;
    }
    const std::string where = source + ":" + std::to_string(lineNo) + ": ";
    if (*seenOn) {
      error = where + key + ": given twice (first on line " +
              std::to_string(*seenOn) + ")";
      return false;
    }
    *value = Trim(line.substr(eq + 1));
    *seenOn = lineNo;
    b.viewText += "\n";
  }

  if (blocks.size() < 2) {
    error = source +
            ": a keyframe file needs at least two keyframes, "
            "separated by a line ---";
    return false;
  }
  // An empty block is a stray separator far more often than a wish for the
  // default view; told first, since it shifts the meaning of the others.
  for (std::size_t k = 0; k < blocks.size(); ++k)
    if (blocks[k].empty) {
      error = source + ":" +
              std::to_string(k == 0 ? 1 : blocks[k].firstLine - 1) +
              ": an empty keyframe: a line --- too many, or a view left out";
      return false;
    }
  std::vector<Keyframe> frames(blocks.size());
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    const Block& b = blocks[k];
    Keyframe& f = frames[k];
    f.line = b.firstLine;
    auto at = [&](std::size_t line) {
      return source + ":" + std::to_string(line) + ": ";
    };
    if (!ParseViewSpec(b.viewText, source, f.view, error)) {
      error = ShiftLine(error, source, b.firstLine - 1);
      return false;
    }
    const bool last = k + 1 == blocks.size();
    if (last) {
      if (b.framesLine || b.easeLine || b.pathLine) {
        const std::size_t line = b.framesLine ? b.framesLine
                                 : b.easeLine ? b.easeLine
                                              : b.pathLine;
        const char* key = b.framesLine ? "frames"
                          : b.easeLine ? "ease"
                                       : "path";
        error = at(line) + key + ": the last keyframe has no next one";
        return false;
      }
    } else {
      if (!b.framesLine) {
        error = at(b.firstLine) +
                "frames: missing; every keyframe but the last gives the "
                "number of frames to the next";
        return false;
      }
      if (!ParseFrames(b.frames, f.frames)) {
        error = at(b.framesLine) +
                "frames: expected a whole number from 1 to " +
                std::to_string(MaxSegmentFrames) + ", not " + Quote(b.frames);
        return false;
      }
      if (b.easeLine && !ParseEase(b.ease, f.ease)) {
        error = at(b.easeLine) + "ease: expected none, in, out or inout, not " +
                Quote(b.ease);
        return false;
      }
      if (b.pathLine) {
        if (!f.view.julia) {
          error = at(b.pathLine) +
                  "path: only a Julia set's constant moves along a path";
          return false;
        }
        if (!ParsePath(b.path, f.path)) {
          error = at(b.pathLine) +
                  "path: expected line, polyline or circle RE IM "
                  "[clockwise], not " +
                  Quote(b.path);
          return false;
        }
      }
    }
    if (f.view.limit == 0) {
      error = at(b.LineOf("limit")) +
              "limit: must be at least 1 in a keyframe, since limits move "
              "geometrically";
      return false;
    }
    if (k > 0) {
      const ViewSpec& first = frames[0].view;
      if (f.view.sizeX != first.sizeX || f.view.sizeY != first.sizeY) {
        error = at(b.LineOf("size")) + "size: " + std::to_string(f.view.sizeX) +
                " " + std::to_string(f.view.sizeY) +
                " differs from the first keyframe's " +
                std::to_string(first.sizeX) + " " + std::to_string(first.sizeY);
        return false;
      }
      if (f.view.julia != first.julia) {
        error = at(b.LineOf("julia")) +
                "julia: every keyframe must be a Julia set, or none";
        return false;
      }
    }
  }
  out = std::move(frames);
  return true;
}
