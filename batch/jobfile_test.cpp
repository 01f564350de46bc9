#include "batch/jobfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ShellQuote, QuotesOnlyWhatAShellWouldRead) {
  struct Row {
    const char* word;
    const char* quoted;
  } rows[] = {
      {"", "''"},
      {"render", "render"},
      {"/srv/out/zoom-1.5", "/srv/out/zoom-1.5"},
      {"--center=-0.75,0.1", "--center=-0.75,0.1"},
      {"a b", "'a b'"},
      {"it's", "'it'\\''s'"},
      {"$HOME", "'$HOME'"},
      {"*.png", "'*.png'"},
      {"#000764", "'#000764'"},
      {"~user", "'~user'"},
      {"a\tb", "'a\tb'"},
      {"x;rm", "'x;rm'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.word);
    EXPECT_EQ(ShellQuote(row.word), row.quoted);
  }
  EXPECT_EQ(ShellLine({"/bin/mandel", "animate", "my keys.txt"}),
            "/bin/mandel animate 'my keys.txt'");
}

TEST(JobFile, RefusesWhatAFileOfLinesCannotCarry) {
  struct Row {
    std::vector<std::string> command, finish;
    unsigned tasks;
    const char* problem;
  } rows[] = {
      {{"mandel"}, {}, 2, ""},
      {{}, {}, 2, "no command to run"},
      {{"mandel"}, {}, 0, "at least one task is needed"},
      {{"mandel", "a\nb"},
       {},
       2,
       "a word of the command holds a line break or a NUL byte, which a job "
       "file cannot carry"},
      {{"mandel"},
       {"x\r"},
       2,
       "a word of the command holds a line break or a NUL byte, which a job "
       "file cannot carry"},
      {{"mandel", std::string("a\0b", 3)},
       {},
       2,
       "a word of the command holds a line break or a NUL byte, which a job "
       "file cannot carry"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.problem);
    JobPlan plan;
    plan.command = row.command;
    plan.finish = row.finish;
    plan.tasks = row.tasks;
    EXPECT_EQ(JobPlanProblem(plan), row.problem);
  }
}

TEST(JobFile, EnginesByName) {
  BatchEngine e;
  std::string error;
  ASSERT_TRUE(ParseBatchEngine("slurm", e, error));
  EXPECT_EQ(e, BatchEngine::Slurm);
  EXPECT_FALSE(ParseBatchEngine("condor", e, error));
  EXPECT_EQ(error, "--for condor: must be make, parallel or slurm");
}

// The whole text of each file for a small plan: what a user reads and the
// engine parses (checked by the engines themselves in the posix tests).
TEST(JobFile, WholeFiles) {
  JobPlan plan;
  plan.command = {"/usr/bin/mandel", "animate", "/w/keys $1.txt", "-o",
                  "/w/out/zoom"};
  plan.tasks = 3;
  plan.finish = {"/usr/bin/mandel", "video", "/w/out/zoom", "-o", "z.mp4"};
  plan.finishTarget = "video";
  plan.name = "zoom run/1";
  plan.title = "zoom: 3 shares";
  EXPECT_EQ(JobFile(plan, BatchEngine::Make),
            "# zoom: 3 shares\n"
            "# Run with make -j N; make share-K runs one share. A share "
            "writes only\n"
            "# its own files, so any of them can be run again.\n"
            "SHARES := share-0 share-1 share-2\n"
            "\n"
            "all: $(SHARES)\n"
            "\n"
            "share-0:\n"
            "\t/usr/bin/mandel animate '/w/keys $$1.txt' -o /w/out/zoom "
            "--task 0 --tasks 3\n"
            "\n"
            "share-1:\n"
            "\t/usr/bin/mandel animate '/w/keys $$1.txt' -o /w/out/zoom "
            "--task 1 --tasks 3\n"
            "\n"
            "share-2:\n"
            "\t/usr/bin/mandel animate '/w/keys $$1.txt' -o /w/out/zoom "
            "--task 2 --tasks 3\n"
            "\n"
            "video: all\n"
            "\t/usr/bin/mandel video /w/out/zoom -o z.mp4\n"
            "\n"
            ".PHONY: all $(SHARES) video\n");
  EXPECT_EQ(JobFile(plan, BatchEngine::Parallel),
            "/usr/bin/mandel animate '/w/keys $1.txt' -o /w/out/zoom "
            "--task 0 --tasks 3\n"
            "/usr/bin/mandel animate '/w/keys $1.txt' -o /w/out/zoom "
            "--task 1 --tasks 3\n"
            "/usr/bin/mandel animate '/w/keys $1.txt' -o /w/out/zoom "
            "--task 2 --tasks 3\n");
  EXPECT_EQ(JobFile(plan, BatchEngine::Slurm),
            "#!/bin/sh\n"
            "# zoom: 3 shares\n"
            "# Submit with sbatch FILE; sbatch --wait FILE returns when "
            "every\n"
            "# task has ended.\n"
            "#SBATCH --job-name=zoomrun1\n"
            "#SBATCH --array=0-2\n"
            "exec /usr/bin/mandel animate '/w/keys $1.txt' -o /w/out/zoom "
            "--task \"$SLURM_ARRAY_TASK_ID\" --tasks 3\n"
            "# Once every task has ended:\n"
            "# /usr/bin/mandel video /w/out/zoom -o z.mp4\n");
}

}  // namespace
