// mandel plan animate: the job file that splits an animation among the tasks
// of an existing batch engine. Every share is mandel animate with the same
// options and its own --task, so the engine needs to know nothing of ours.
#include <filesystem>
#include <ostream>
#include <sstream>

#include "batch/jobfile.h"
#include "mandel/commands.h"
#include "mandel/mandel.h"
#include "mandel/video.h"

namespace {

int Usage(std::ostream& err, const std::string& text) {
  return UsageError(err, "plan animate", text);
}

// The options whose values name files: the shares may run in another
// directory, or on another machine that mounts the same files.
bool NamesFile(const std::string& option) {
  return option.empty() || option == "--from" || option == "--to" ||
         option == "--output";
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.string();
}

// This program's absolute path, for tasks on machines with the same files;
// "mandel" (found on the tasks' PATH) when it cannot be known.
std::string ThisProgram(const std::string& argv0) {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
  if (!ec) return self.string();
  if (argv0.find('/') != std::string::npos) return Absolute(argv0);
  return "mandel";
}

}  // namespace

int PlanCommand(const PlanArgs& args, std::ostream& out, std::ostream& err) {
  std::string why;
  BatchEngine engine;
  if (!ParseBatchEngine(args.engine, engine, why)) return Usage(err, why);
  const AnimateArgs& a = args.animate;
  if (a.tasks.empty())
    return Usage(err, "give --tasks T, the number of shares");
  if (!a.task.empty())
    return Usage(err,
                 "--task is the engine's to choose for each share; "
                 "leave it out");
  if (a.output.empty())
    return Usage(err,
                 "give -o DIR/NAME: frames are written as "
                 "DIR/NAME-000000.png onward");
  if (!a.fps.empty() && a.video.empty())
    return Usage(err, "--fps is for --video");
  if (!a.video.empty() && !a.range.empty())
    return Usage(err,
                 "--video with --range: mandel video, run after the "
                 "shares, assembles whole sequences only");
  std::string format;
  if (!a.video.empty() && !VideoFormatOf(a.video, format, why))
    return Usage(err, "--video " + a.video + ": " + why);

  // Everything the shares will check, checked once now: the first share
  // stands for all, as they differ only in their frames. The video is made
  // once at the end, so it is no share's business.
  AnimateArgs check = a;
  check.task = "0";
  check.video.clear();
  check.fps.clear();
  check.checkOnly = true;
  std::ostringstream checkErr;
  const int status = AnimateCommand(check, checkErr, false);
  if (status != ExitOk) {
    // The help that explains a refusal is plan's own, which has them all.
    std::string text = checkErr.str();
    const std::string animateHelp = "'mandel animate --help'";
    const std::size_t at = text.find(animateHelp);
    if (at != std::string::npos)
      text.replace(at, animateHelp.size(), "'mandel plan animate --help'");
    err << text << std::flush;
    return status;
  }

  JobPlan plan;
  const std::string program =
      args.program.empty() ? ThisProgram(args.self) : args.program;
  plan.command = {program, "animate"};
  for (const OptionWord& w : args.words) {
    if (w.name == "--task" || w.name == "--tasks" || w.name == "--video" ||
        w.name == "--fps")
      continue;
    const std::string value = NamesFile(w.name) ? Absolute(w.value) : w.value;
    if (w.flag)
      plan.command.push_back(w.name);
    else if (w.name.empty())
      plan.command.push_back(value);
    else
      // One word: a value that starts with '-' cannot pass for an option.
      plan.command.push_back(w.name + "=" + value);
  }
  plan.tasks = static_cast<unsigned>(std::stoul(a.tasks));
  const std::string sequence = Absolute(a.output);
  if (!a.video.empty()) {
    plan.finish = {program, "video", sequence, "--output=" + Absolute(a.video)};
    if (!a.fps.empty()) plan.finish.push_back("--fps=" + a.fps);
    plan.finishTarget = "video";
  }
  plan.name = std::filesystem::path(sequence).filename().string();
  plan.title =
      "mandel animate to " + sequence + "-*.png in " + a.tasks + " shares";
  why = JobPlanProblem(plan);
  if (!why.empty()) return Failure(err, why);

  out << JobFile(plan, engine) << std::flush;
  if (!plan.finish.empty() && engine == BatchEngine::Parallel)
    err << "mandel: the task list holds the shares only; once they have all "
           "ended, make the video with\n  "
        << ShellLine(plan.finish) << '\n'
        << std::flush;
  return ExitOk;
}
