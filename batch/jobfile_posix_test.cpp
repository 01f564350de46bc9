// The job files run by the real engines' parsers: /bin/sh and make. Each
// share's command is printf, so what a share would run comes back word for
// word.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "batch/jobfile.h"
#include "tests/support/testutil.h"

namespace {

// Runs a shell command line and gives its standard output.
std::string Output(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return "popen failed";
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  pclose(p);
  return out;
}

// Words a careless quoting would split, expand or run.
const std::vector<std::string> Words = {
    "plain", "two words", "it's",      "$HOME", "`id`",  "*", "a\\b", "#x",
    "%",     "",          "tab\there", "\"q\"", "$(id)", ";", "~",    "-"};

std::string Expected(const std::string& task, unsigned tasks) {
  std::string out;
  for (const std::string& w : Words) out += "[" + w + "]\n";
  return out + "[--task]\n[" + task + "]\n[--tasks]\n[" +
         std::to_string(tasks) + "]\n";
}

JobPlan PrintfPlan() {
  JobPlan plan;
  plan.command = {"printf", "[%s]\\n"};
  plan.command.insert(plan.command.end(), Words.begin(), Words.end());
  plan.tasks = 3;
  plan.finish = {"printf", "done: %s\\n", "$end"};
  plan.finishTarget = "video";
  return plan;
}

TEST(JobFilePosix, MakeRunsEachShareWordForWord) {
  testutil::ScopedTempDir dir;
  const std::string makefile = dir.File("Makefile");
  testutil::WriteBytes(makefile, JobFile(PrintfPlan(), BatchEngine::Make));
  const std::string make = "make -s -f '" + makefile + "' ";
  for (unsigned k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(Output(make + "share-" + std::to_string(k)),
              Expected(std::to_string(k), 3));
  }
  // The finishing step comes after every share (one job: in order).
  EXPECT_EQ(Output(make + "-j1 video"), Expected("0", 3) + Expected("1", 3) +
                                            Expected("2", 3) + "done: $end\n");
  EXPECT_EQ(Output(make + "-n all | wc -l"), "3\n");
}

TEST(JobFilePosix, ParallelLinesRunWordForWord) {
  const std::string list = JobFile(PrintfPlan(), BatchEngine::Parallel);
  std::size_t at = 0;
  for (unsigned k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    const std::size_t end = list.find('\n', at);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(Output(list.substr(at, end - at)),
              Expected(std::to_string(k), 3));
    at = end + 1;
  }
  EXPECT_EQ(at, list.size());
}

TEST(JobFilePosix, SbatchScriptRunsTheArrayTaskItIsGiven) {
  testutil::ScopedTempDir dir;
  const std::string script = dir.File("job.sh");
  testutil::WriteBytes(script, JobFile(PrintfPlan(), BatchEngine::Slurm));
  for (unsigned k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(Output("SLURM_ARRAY_TASK_ID=" + std::to_string(k) + " sh '" +
                     script + "'"),
              Expected(std::to_string(k), 3));
  }
}

}  // namespace
