// Job files for make, GNU parallel and Slurm.
#include "batch/jobfile.h"

#include <cstring>

namespace {

// The characters no POSIX shell gives a meaning to, anywhere in a word.
bool Plain(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || std::strchr("_@%+=:,./-", c) != nullptr;
}

std::string TaskWords(const std::string& task, unsigned tasks) {
  return " --task " + task + " --tasks " + std::to_string(tasks);
}

// make reads a recipe line before the shell does and expands every '$' in
// it; a doubled one reaches the shell as one.
std::string ForMake(const std::string& line) {
  std::string out;
  for (char c : line) {
    out += c;
    if (c == '$') out += '$';
  }
  return out;
}

// A comment line's text: comments end at the line's end.
std::string Comment(const std::string& text) {
  std::string out = "# ";
  for (char c : text) out += c == '\n' || c == '\r' ? ' ' : c;
  return out + "\n";
}

std::string JobName(const std::string& name) {
  std::string out;
  for (char c : name)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
        (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-')
      out += c;
  return out.empty() ? "mandel" : out;
}

std::string Makefile(const JobPlan& plan) {
  const std::string command = ForMake(ShellLine(plan.command));
  std::string text;
  if (!plan.title.empty()) text += Comment(plan.title);
  text +=
      "# Run with make -j N; make share-K runs one share. A share writes only\n"
      "# its own files, so any of them can be run again.\n";
  std::string shares;
  for (unsigned k = 0; k < plan.tasks; ++k)
    shares += " share-" + std::to_string(k);
  text += "SHARES :=" + shares + "\n\nall: $(SHARES)\n";
  for (unsigned k = 0; k < plan.tasks; ++k)
    text += "\nshare-" + std::to_string(k) + ":\n\t" + command +
            TaskWords(std::to_string(k), plan.tasks) + "\n";
  std::string phony = "all $(SHARES)";
  if (!plan.finish.empty()) {
    text += "\n" + plan.finishTarget + ": all\n\t" +
            ForMake(ShellLine(plan.finish)) + "\n";
    phony += " " + plan.finishTarget;
  }
  return text + "\n.PHONY: " + phony + "\n";
}

// Comments would be run as commands (doing nothing, but counted as tasks),
// so the list holds the commands alone.
std::string ParallelList(const JobPlan& plan) {
  const std::string command = ShellLine(plan.command);
  std::string text;
  for (unsigned k = 0; k < plan.tasks; ++k)
    text += command + TaskWords(std::to_string(k), plan.tasks) + "\n";
  return text;
}

std::string SbatchScript(const JobPlan& plan) {
  std::string text = "#!/bin/sh\n";
  if (!plan.title.empty()) text += Comment(plan.title);
  // Slurm reads #SBATCH lines only before the first command.
  text +=
      "# Submit with sbatch FILE; sbatch --wait FILE returns when every\n"
      "# task has ended.\n"
      "#SBATCH --job-name=" +
      JobName(plan.name) + "\n#SBATCH --array=0-" +
      std::to_string(plan.tasks - 1) + "\n" + "exec " +
      ShellLine(plan.command) +
      TaskWords("\"$SLURM_ARRAY_TASK_ID\"", plan.tasks) + "\n";
  if (!plan.finish.empty())
    text += "# Once every task has ended:\n# " + ShellLine(plan.finish) + "\n";
  return text;
}

}  // namespace

bool ParseBatchEngine(const std::string& text, BatchEngine& engine,
                      std::string& error) {
  if (text == "make") {
    engine = BatchEngine::Make;
  } else if (text == "parallel") {
    engine = BatchEngine::Parallel;
  } else if (text == "slurm") {
    engine = BatchEngine::Slurm;
  } else {
    error = "--for " + text + ": must be make, parallel or slurm";
    return false;
  }
  return true;
}

std::string ShellQuote(const std::string& word) {
  bool plain = !word.empty();
  for (char c : word) plain = plain && Plain(c);
  if (plain) return word;
  std::string out = "'";
  for (char c : word) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

std::string ShellLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) {
    if (!line.empty()) line += ' ';
    line += ShellQuote(w);
  }
  return line;
}

std::string JobPlanProblem(const JobPlan& plan) {
  if (plan.command.empty()) return "no command to run";
  if (plan.tasks < 1) return "at least one task is needed";
  for (const auto* words : {&plan.command, &plan.finish})
    for (const std::string& w : *words)
      if (w.find_first_of(std::string("\n\r\0", 3)) != std::string::npos)
        return "a word of the command holds a line break or a NUL byte, "
               "which a job file cannot carry";
  return "";
}

std::string JobFile(const JobPlan& plan, BatchEngine engine) {
  switch (engine) {
    case BatchEngine::Make:
      return Makefile(plan);
    case BatchEngine::Parallel:
      return ParallelList(plan);
    default:
      return SbatchScript(plan);
  }
}
