// Job files: a render split into T independent shares, written for a batch
// engine that already exists (make -j, GNU parallel, a Slurm job array), so
// that scaling out needs no protocol of our own. Every share is the same
// command with "--task K --tasks T" added; shares may run in any order, on
// any machine that sees the same files, and again without harm.
#pragma once

#include <string>
#include <vector>

enum class BatchEngine { Make, Parallel, Slurm };

// --for: "make", "parallel" or "slurm". False with a message otherwise.
bool ParseBatchEngine(const std::string& text, BatchEngine& engine,
                      std::string& error);

struct JobPlan {
  // The command of every share, program first, without the task options.
  // Paths in it should be absolute: the shares may run in other
  // directories, or on other machines.
  std::vector<std::string> command;
  unsigned tasks = 1;  // T, at least 1
  // What to run once every share has ended (assembling a video), and the
  // name of its make target; an empty command for nothing.
  std::vector<std::string> finish;
  std::string finishTarget = "finish";
  // Names the job where an engine shows one (Slurm's job name); reduced to
  // letters, digits, '.', '_' and '-'.
  std::string name;
  // A line saying what the job makes, written as a comment where the file
  // format has comments.
  std::string title;
};

// One word for a POSIX shell: bare when it holds only characters no shell
// treats specially, else in single quotes (a quote inside as '\'').
std::string ShellQuote(const std::string& word);
// The words quoted and joined by spaces.
std::string ShellLine(const std::vector<std::string>& words);

// Why the plan cannot be written as a job file, empty when it can: no
// command, no task, or a word holding a line break or a NUL byte (a job
// file is one command per line).
std::string JobPlanProblem(const JobPlan& plan);

// The job file for the engine (plan must have no problem):
//   Make      a Makefile with a target share-K per share, "all" (the
//             default) over them, and finishTarget after all when
//             plan.finish is given; run with make -j N;
//   Parallel  one command per line, for parallel -j N < FILE, or with
//             --sshloginfile on machines that share the files;
//   Slurm     an sbatch script whose job array has one task per share,
//             SLURM_ARRAY_TASK_ID choosing the share.
std::string JobFile(const JobPlan& plan, BatchEngine engine);
