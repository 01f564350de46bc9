// The command-line words of mandel's subcommands, as given, and the small
// grammars they use (RE,IM pairs, WxH sizes, bounded whole numbers, output
// names by extension). Numbers of the plane stay decimal text here: the view
// keeps them at full precision, and only the engine turns them into doubles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The options that describe a view. An empty text means "not given": the
// view file (or the default view) supplies it.
struct ViewArgs {
  std::string view;     // --view FILE: view file, or a PNG / count file
  std::string center;   // --center RE,IM
  std::string corner;   // --corner RE,IM
  std::string width;    // --width W
  std::string size;     // --size WxH
  std::string limit;    // --limit N
  std::string julia;    // --julia RE,IM
  std::string bailout;  // --bailout R
};

// The options that choose the colours. Empty or false: not given.
struct ColourArgs {
  bool bands = false;    // --bands
  bool smooth = false;   // --smooth
  std::string palette;   // --palette cosine:R,G,B | gradient:STOPS
  std::string gradient;  // --gradient STOPS
  std::string period;    // --period P
  std::string inside;    // --inside #rrggbb
  std::string depth;     // --depth 8|16
};

struct RenderArgs {
  ViewArgs view;
  ColourArgs colour;
  std::string samples;    // --samples N
  std::string threads;    // --threads N
  std::string output;     // -o FILE
  std::string counts;     // --counts FILE.exr
  std::string saveView;   // --save-view NAME
  std::string engine;     // --engine auto|double|deep|exact
  std::string maxMemory;  // --max-memory MIB: the deep reference's budget
  bool verbose = false;   // --verbose: say which engine drew the view
  std::string rows;       // --rows A:B, counted from the top
  std::string part;       // --part FILE: the band's part file
};

struct ColourCommandArgs {
  std::string input;  // FILE.exr, or NAME(.mni|.mnd)
  ColourArgs colour;
  std::string threads;
  std::string output;
};

struct JoinArgs {
  std::vector<std::string> parts;  // part files, in any order
  std::string output;              // -o FILE.png, or - for the standard output
};

struct AnimateArgs {
  std::string keyframes;  // KEYFRAMES file
  std::string from, to;   // --from A --to B: views, PNGs or count files
  std::string frames;     // --frames N, with --from/--to
  std::string output;     // -o DIR/NAME
  // Options that apply to every frame, overriding the keyframes.
  std::string size, limit, bailout;
  ColourArgs colour;
  std::string samples, threads, engine, maxMemory;
  bool verbose = false;
  std::string range;        // --range A:B
  std::string task, tasks;  // --task K --tasks T
  std::string video;        // --video OUT.mp4
  std::string fps;          // --fps N
  // Check everything, as far as the views of the frames, and write nothing
  // (for mandel plan, before it writes a job file).
  bool checkOnly = false;
};

struct VideoArgs {
  std::string sequence;  // DIR/NAME of a frame sequence
  std::string output;    // -o OUT.mp4
  std::string fps;       // --fps N
};

// One option of a command line as given, to be written out again: a name
// ("--size"; empty for a positional word) and its value, or a flag alone.
struct OptionWord {
  std::string name, value;
  bool flag = false;
};

struct PlanArgs {
  AnimateArgs animate;  // the animation every share renders a part of
  // The same options, in the order the command defines them, to be
  // repeated in every share's command line.
  std::vector<OptionWord> words;
  std::string engine;   // --for make|parallel|slurm
  std::string program;  // --mandel PATH: mandel as the engine finds it
  std::string self;     // argv[0]
};

// What -o writes, by the name's extension (case-insensitive). "-" is a PNG
// on the standard output.
enum class OutputKind { Png, Bmp, CountFile };

// Reads "WxH" (an 'x' or 'X' between two whole numbers) with both sides in
// 1 .. 2^31 - 1. False with error set otherwise.
bool ParseSize(const std::string& text, std::uint64_t& width,
               std::uint64_t& height, std::string& error);

// Reads a whole decimal number in min .. max: digits only, no sign, no
// blanks, no exponent. False with error set ("must be a whole number from
// min to max") otherwise.
bool ParseWhole(const std::string& text, std::uint64_t min, std::uint64_t max,
                std::uint64_t& value, std::string& error);

// The kind of file a name asks for: ".png", ".bmp", ".exr" or "-". False
// with error set for any other name.
bool OutputKindOf(const std::string& name, OutputKind& kind,
                  std::string& error);

// Reads "A:B", two whole numbers with A <= B. False with error set
// otherwise.
bool ParseRange(const std::string& text, std::uint64_t& first,
                std::uint64_t& last, std::string& error);

// Whether a name ends in ext, ignoring the case of ASCII letters.
bool HasExtension(const std::string& name, const char* ext);
