// The command line of mandel: one CLI11 application with a subcommand per
// verb. Parsing ends here; each verb's work lives in its own file.
#include "mandel/mandel.h"

#include <CLI/CLI.hpp>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "mandel/args.h"
#include "mandel/commands.h"
#include "viewspec/viewspec.h"

#ifndef MANDEL_VERSION
#error "MANDEL_VERSION must be defined by the build"
#endif

int UsageError(std::ostream& err, const std::string& verb,
               const std::string& text) {
  err << "mandel: " << text << "\nTry 'mandel " << verb
      << " --help' for more information.\n"
      << std::flush;
  return ExitUsage;
}

int Failure(std::ostream& err, const std::string& text) {
  err << "mandel: " << text << '\n' << std::flush;
  return ExitFailure;
}

namespace {

// The defaults shown in the help are those of the view itself.
std::string Default(const std::string& text) {
  return " (default " + text + ")";
}

void AddViewOptions(CLI::App& app, ViewArgs& v) {
  const ViewSpec d;
  const char* group = "View";
  app.add_option("--view", v.view,
                 "Take view and colouring from a view file, or from a PNG "
                 "or count file of mandel; other options override it")
      ->type_name("FILE")
      ->group(group);
  CLI::Option* center =
      app.add_option("--center", v.center,
                     "Centre of the picture" +
                         Default(d.re + "," + d.im + "; 0,0 for a Julia set"))
          ->type_name("RE,IM")
          ->group(group);
  CLI::Option* corner =
      app.add_option("--corner", v.corner,
                     "Lower-left corner of the square of side W, as "
                     "setrender takes it (the picture is centred on it)")
          ->type_name("RE,IM")
          ->group(group);
  center->excludes(corner);
  app.add_option("--width", v.width,
                 "Extent along the real axis" + Default(d.width))
      ->type_name("W")
      ->group(group);
  app.add_option(
         "--size", v.size,
         "Pixels per line and lines" +
             Default(std::to_string(d.sizeX) + "x" + std::to_string(d.sizeY)))
      ->type_name("WxH")
      ->group(group);
  app.add_option(
         "--limit", v.limit,
         "Iteration limit, 0 to 4294967295" + Default(std::to_string(d.limit)))
      ->type_name("N")
      ->group(group);
  app.add_option("--julia", v.julia, "Draw the Julia set of this constant")
      ->type_name("RE,IM")
      ->group(group);
  app.add_option("--bailout", v.bailout,
                 "Escape radius" + Default(FormatDouble(d.bailout)) +
                     "; 2 gives setrender's counts")
      ->type_name("R")
      ->group(group);
}

// A gradient's stops as --gradient takes them: its text without the prefix.
std::string Stops(const Palette& p) {
  std::string text = FormatPalette(p);
  return text.substr(text.find(':') + 1);
}

void AddColourOptions(CLI::App& app, ColourArgs& c) {
  const Colouring d;
  const char* group = "Colour";
  CLI::Option* bands =
      app.add_flag("--bands", c.bands, "Colour by whole counts")->group(group);
  CLI::Option* smooth =
      app.add_flag("--smooth", c.smooth,
                   "Colour by the continuous count (the default)")
          ->group(group);
  bands->excludes(smooth);
  CLI::Option* palette =
      app.add_option("--palette", c.palette,
                     "cosine:R,G,B (setrender's palette at these channel "
                     "rates) or gradient:STOPS")
          ->type_name("PALETTE")
          ->group(group);
  CLI::Option* gradient =
      app.add_option("--gradient", c.gradient,
                     "Colour stops, interpolated smoothly and cyclically" +
                         Default(Stops(d.palette)))
          ->type_name("STOPS")
          ->group(group);
  palette->excludes(gradient);
  app.add_option("--period", c.period,
                 "Counts per palette cycle" + Default(FormatDouble(d.period)))
      ->type_name("P")
      ->group(group);
  app.add_option("--inside", c.inside,
                 "Colour of points that never escape" +
                     Default(FormatHexColour(d.inside)))
      ->type_name("#RRGGBB")
      ->group(group);
  app.add_option("--depth", c.depth,
                 "Bits per PNG channel, 8 or 16 (default 8)")
      ->type_name("8|16")
      ->group("Output");
}

void AddThreads(CLI::App& app, std::string& threads) {
  app.add_option("--threads", threads,
                 "Worker threads (default: one per processor); never "
                 "changes an output byte")
      ->type_name("N")
      ->group("Performance");
}

// CLI11's texts start with a capital and end without a full stop; ours
// follow "mandel: " in lower case.
std::string Lower(std::string text) {
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' &&
      !(text.size() > 1 && text[1] >= 'A' && text[1] <= 'Z'))
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  return text;
}

// The options of mandel animate, also taken by mandel plan animate to be
// repeated in every share.
void AddAnimateOptions(CLI::App* cmd, AnimateArgs& a) {
  cmd->add_option("KEYFRAMES", a.keyframes,
                  "Keyframe file: views separated by lines ---, each with "
                  "the number of frames to the next")
      ->type_name("FILE");
  {
    const char* group = "Sequence";
    cmd->add_option("--from", a.from,
                    "Instead of a keyframe file: the first frame's view (a "
                    "view file, or a PNG or count file of mandel)")
        ->type_name("FILE")
        ->group(group);
    cmd->add_option("--to", a.to, "The last frame's view")
        ->type_name("FILE")
        ->group(group);
    cmd->add_option("--frames", a.frames,
                    "Frames in all with --from/--to, the first and last "
                    "included (2 or more)")
        ->type_name("N")
        ->group(group);
    cmd->add_option("-o,--output", a.output,
                    "Frames go to DIR/NAME-000000.png onward; frames "
                    "already there are kept, so a stopped run resumes")
        ->type_name("DIR/NAME")
        ->group(group);
    cmd->add_option("--range", a.range,
                    "Only frames A to B, inclusive, counted from 0")
        ->type_name("A:B")
        ->group(group);
    cmd->add_option("--task", a.task,
                    "Render the K-th (from 0) of --tasks contiguous shares "
                    "of the frames; default: SLURM_ARRAY_TASK_ID or "
                    "JOB_COMPLETION_INDEX when set")
        ->type_name("K")
        ->group(group);
    cmd->add_option("--tasks", a.tasks,
                    "The number of shares (default: SLURM_ARRAY_TASK_COUNT "
                    "under Slurm)")
        ->type_name("T")
        ->group(group);
    cmd->add_option("--video", a.video,
                    "Also pipe the frames, in order, to ffmpeg for an H.264 "
                    "video (.mp4, .mov or .mkv)")
        ->type_name("OUT.mp4")
        ->group("Output");
    cmd->add_option("--fps", a.fps,
                    "Frames per second of the video (default 30)")
        ->type_name("N")
        ->group("Output");
  }
  {
    const char* group = "Every frame";
    cmd->add_option("--size", a.size,
                    "Pixels per line and lines, for every keyframe")
        ->type_name("WxH")
        ->group(group);
    cmd->add_option("--limit", a.limit,
                    "Iteration limit of every frame, instead of the "
                    "keyframes' (interpolated geometrically)")
        ->type_name("N")
        ->group(group);
    cmd->add_option("--bailout", a.bailout, "Escape radius")
        ->type_name("R")
        ->group(group);
    cmd->add_option("--samples", a.samples,
                    "Anti-aliasing: N x N samples per pixel, 1 to 16")
        ->type_name("N")
        ->group(group);
  }
  AddColourOptions(*cmd, a.colour);
  cmd->add_option("--engine", a.engine,
                  "auto (default, chosen per frame), double, deep or exact")
      ->type_name("ENGINE");
  cmd->add_option("--max-memory", a.maxMemory,
                  "The most the deep engine's reference orbit may take, in "
                  "MiB")
      ->type_name("MIB");
  cmd->add_flag("--verbose", a.verbose,
                "Say on the standard error which engine draws each "
                "frame");
  AddThreads(*cmd, a.threads);
}

// The options given to cmd, but those named in skip, as words to repeat:
// in the order cmd defines them, each value as it was given.
std::vector<OptionWord> OptionWords(const CLI::App& cmd,
                                    const std::vector<std::string>& skip) {
  std::vector<OptionWord> words;
  for (const CLI::Option* opt : cmd.get_options()) {
    if (opt->count() == 0 || opt == cmd.get_help_ptr()) continue;
    std::string name;
    if (!opt->get_lnames().empty())
      name = "--" + opt->get_lnames().front();
    else if (!opt->get_snames().empty())
      name = "-" + opt->get_snames().front();
    bool skipped = false;
    for (const std::string& s : skip) skipped = skipped || s == name;
    if (skipped) continue;
    // A flag takes no value; CLI11 records "true" for it.
    if (opt->get_expected_max() == 0) {
      words.push_back(OptionWord{name, "", true});
      continue;
    }
    for (const std::string& value : opt->results())
      words.push_back(OptionWord{name, value, false});
  }
  return words;
}

}  // namespace

int MandelMain(int argc, char** argv, std::ostream& out, std::ostream& err,
               bool terminal) {
  CLI::App app{
      "Renders the Mandelbrot set and its Julia sets by the escape-time "
      "method, with exact counts, smooth colour and anti-aliasing.",
      "mandel"};
  app.set_version_flag("--version", std::string("mandel ") + MANDEL_VERSION,
                       "Print the version and exit");
  app.require_subcommand(1);
  // An option given twice takes its last value, as GNU tools do, so that a
  // script can append an override to a stored command line.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  // Only the chosen command's options are set up (the command is the first
  // word: the program itself has no options but --help and --version), so
  // that start-up pays for no options it cannot meet.
  const std::string first = argc > 1 ? argv[1] : "";
  auto Chosen = [&first](std::initializer_list<const char*> names) {
    for (const char* name : names)
      if (first == name) return true;
    return false;
  };

  RenderArgs render;
  CLI::App* renderCmd = app.add_subcommand(
      "render", "Compute a view and write a picture and/or its count file");
  if (Chosen({"render"})) {
    AddViewOptions(*renderCmd, render.view);
    AddColourOptions(*renderCmd, render.colour);
    renderCmd
        ->add_option("--samples", render.samples,
                     "Anti-aliasing: N x N samples per pixel, 1 to 16, "
                     "averaged in linear light (default 1)")
        ->type_name("N")
        ->group("Colour");
    renderCmd
        ->add_option("-o,--output", render.output,
                     "The picture: .png, .bmp, or .exr for a count file "
                     "alone; - writes PNG to the standard output")
        ->type_name("FILE")
        ->group("Output");
    renderCmd
        ->add_option("--counts", render.counts,
                     "Also write every sample's count, for 'mandel colour'")
        ->type_name("FILE.exr")
        ->group("Output");
    renderCmd
        ->add_option("--save-view", render.saveView,
                     "Also write NAME.mni and NAME.mnd for 'setrender -f' "
                     "(Mandelbrot, bailout 2, one sample)")
        ->type_name("NAME")
        ->group("Output");
    renderCmd
        ->add_option("--rows", render.rows,
                     "Only rows A to B, counted from 0 at the top, to the "
                     "part file; bands join into the whole with 'mandel join'")
        ->type_name("A:B")
        ->group("Output");
    renderCmd
        ->add_option("--part", render.part,
                     "Write the rows as a band of a poster, alone, to this "
                     "part file")
        ->type_name("FILE")
        ->group("Output");
    renderCmd
        ->add_option("--engine", render.engine,
                     "auto (default): doubles while they resolve the pixels, "
                     "else deep; double; deep (perturbation, any depth); "
                     "exact (plain MPFR, slow, for small renders)")
        ->type_name("ENGINE");
    renderCmd
        ->add_option("--max-memory", render.maxMemory,
                     "The most the deep engine's reference orbit may take, in "
                     "MiB (default: three quarters of the memory available)")
        ->type_name("MIB");
    renderCmd->add_flag("--verbose", render.verbose,
                        "Say on the standard error which engine is used");
    AddThreads(*renderCmd, render.threads);
  }

  ColourCommandArgs colour;
  CLI::App* colourCmd = app.add_subcommand(
      "colour",
      "Colour a count file, or a .mni/.mnd pair, again without computing");
  colourCmd->alias("color");
  if (Chosen({"colour", "color"})) {
    colourCmd
        ->add_option("FILE", colour.input,
                     "A count file (.exr) or the name of a .mni/.mnd pair")
        ->required();
    AddColourOptions(*colourCmd, colour.colour);
    colourCmd
        ->add_option("-o,--output", colour.output,
                     "The picture: .png or .bmp; - writes PNG to the standard "
                     "output")
        ->type_name("FILE")
        ->required()
        ->group("Output");
    AddThreads(*colourCmd, colour.threads);
  }

  JoinArgs join;
  CLI::App* joinCmd = app.add_subcommand(
      "join",
      "Join the bands of a poster, rendered with 'mandel render --part', "
      "into one PNG");
  if (Chosen({"join"})) {
    joinCmd
        ->add_option("PARTS", join.parts,
                     "The part files, in any order; together they must cover "
                     "every row once")
        ->type_name("PART")
        ->required()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    joinCmd
        ->add_option("-o,--output", join.output,
                     "The picture: .png; - writes it to the standard output")
        ->type_name("FILE")
        ->required()
        ->group("Output");
  }

  AnimateArgs animate;
  CLI::App* animateCmd = app.add_subcommand(
      "animate",
      "Render the frames of a keyframe file, or of a zoom from one view to "
      "another, as a numbered PNG sequence; optionally a video");
  if (Chosen({"animate"})) {
    AddAnimateOptions(animateCmd, animate);
  }

  VideoArgs video;
  CLI::App* videoCmd = app.add_subcommand(
      "video",
      "Assemble a complete frame sequence of mandel animate into a video "
      "with ffmpeg");
  if (Chosen({"video"})) {
    videoCmd
        ->add_option("SEQUENCE", video.sequence,
                     "The frames DIR/NAME-000000.png onward")
        ->type_name("DIR/NAME")
        ->required();
    videoCmd
        ->add_option("-o,--output", video.output,
                     "The video: .mp4, .mov or .mkv (H.264)")
        ->type_name("OUT.mp4")
        ->required();
    videoCmd->add_option("--fps", video.fps, "Frames per second (default 30)")
        ->type_name("N");
  }

  PlanArgs plan;
  plan.self = argc > 0 ? argv[0] : "";
  CLI::App* planCmd = app.add_subcommand(
      "plan",
      "Write a job file to the standard output that splits a render among "
      "the tasks of make, GNU parallel or a Slurm job array");
  planCmd->require_subcommand(1);
  CLI::App* planAnimate = planCmd->add_subcommand(
      "animate",
      "Split mandel animate: every share renders --task K of --tasks T with "
      "the options given here");
  if (Chosen({"plan"})) {
    AddAnimateOptions(planAnimate, plan.animate);
    // Each share's task is the engine's to give; the count is the plan's.
    planAnimate->get_option("--task")->group("");
    planAnimate->get_option("--tasks")->description(
        "The number of shares, each a task of the engine");
    planAnimate
        ->add_option("--for", plan.engine,
                     "make: a Makefile, one target per share (run make -j N); "
                     "parallel: one command per line (parallel -j N < FILE); "
                     "slurm: an sbatch script with a job array")
        ->type_name("ENGINE")
        ->required()
        ->group("Job file");
    planAnimate
        ->add_option("--mandel", plan.program,
                     "mandel as the tasks find it (default: this program's "
                     "absolute path)")
        ->type_name("PATH")
        ->group("Job file");
  }

  std::string infoInput;
  CLI::App* infoCmd = app.add_subcommand(
      "info",
      "Print the view and the count statistics of a count file, a "
      ".mni/.mnd pair or a PNG written by mandel");
  if (Chosen({"info"})) {
    infoCmd
        ->add_option("FILE", infoInput,
                     "A count file (.exr), a .mni/.mnd pair, or a PNG")
        ->required();
  }

  // Set last: subcommands take over their parent's footer when created.
  app.footer("Run 'mandel COMMAND --help' for the options of a command.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help() << std::flush;
    return ExitOk;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All) << std::flush;
    return ExitOk;
  } catch (const CLI::CallForVersion& e) {
    out << e.what() << '\n' << std::flush;
    return ExitOk;
  } catch (const CLI::ParseError& e) {
    std::string where = "mandel";
    for (CLI::App* sub = &app; !sub->get_subcommands().empty();) {
      sub = sub->get_subcommands().front();
      where += " " + sub->get_name();
    }
    std::string text = Lower(e.what());
    // Without a known verb CLI11 only says that one is required.
    if (app.get_subcommands().empty()) {
      if (argc > 1)
        text = std::string(argv[1][0] == '-' ? "unknown option '"
                                             : "unknown command '") +
               argv[1] + "'";
      // Named from the parser itself, so a new verb is never left out.
      const std::vector<CLI::App*> verbs =
          app.get_subcommands([](CLI::App*) { return true; });
      text += "; the commands are ";
      for (std::size_t i = 0; i < verbs.size(); ++i)
        text += (i == 0 ? "" : i + 1 == verbs.size() ? " and " : ", ") +
                verbs[i]->get_name();
    }
    err << "mandel: " << text << "\nTry '" << where
        << " --help' for more information.\n"
        << std::flush;
    return ExitUsage;
  }

  if (app.got_subcommand(planCmd)) {
    plan.words = OptionWords(*planAnimate, {"--for", "--mandel"});
    return PlanCommand(plan, out, err);
  }
  if (app.got_subcommand(renderCmd))
    return RenderCommand(render, err, terminal);
  if (app.got_subcommand(colourCmd))
    return ColourCommand(colour, err, terminal);
  if (app.got_subcommand(joinCmd)) return JoinCommand(join, err, terminal);
  if (app.got_subcommand(animateCmd))
    return AnimateCommand(animate, err, terminal);
  if (app.got_subcommand(videoCmd)) return VideoCommand(video, err);
  return InfoCommand(infoInput, out, err);
}
