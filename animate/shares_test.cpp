#include "animate/shares.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(Shares, ContiguousNearlyEqualAndCoveringTheRange) {
  // Plain arrays: GCC 12.2's vectorizer, for AVX-512 (-march=native), built
  // this table wrongly when the lengths were std::vectors.
  const struct {
    std::uint64_t first, count, t;
    std::uint64_t lengths[7];
  } cases[] = {
      {0, 10, 1, {10}},        {0, 10, 2, {5, 5}},
      {0, 10, 3, {4, 3, 3}},   {5, 11, 4, {3, 3, 3, 2}},
      {0, 2, 4, {1, 1, 0, 0}}, {100, 200, 7, {29, 29, 29, 29, 28, 28, 28}},
  };
  for (const auto& c : cases) {
    std::uint64_t next = c.first;
    for (std::uint64_t k = 0; k < c.t; ++k) {
      const FrameSpan s = ShareOf({c.first, c.count}, k, c.t);
      EXPECT_EQ(next, s.first) << k << " of " << c.t;
      EXPECT_EQ(c.lengths[k], s.count) << k << " of " << c.t;
      next = s.first + s.count;
    }
    EXPECT_EQ(c.first + c.count, next);
  }
}

TEST(Shares, TaskFromFlagsThenEngines) {
  using Env = std::map<std::string, std::string>;
  const struct {
    const char *task, *tasks;
    Env env;
    bool ok;
    std::uint64_t k, t;
    const char* error;
  } cases[] = {
      {"", "", {}, true, 0, 1, ""},
      {"2", "3", {}, true, 2, 3, ""},
      {"1", "3", {{"SLURM_ARRAY_TASK_ID", "0"}}, true, 1, 3, ""},
      {"3", "3", {}, false, 0, 0, "--task 3: the task index must be below"},
      {"1", "", {}, false, 0, 0, "--task needs --tasks"},
      {"", "4", {}, false, 0, 0, "--tasks needs --task"},
      {"x", "4", {}, false, 0, 0, "--task: must be"},
      {"0", "0", {}, false, 0, 0, "--tasks: must be"},
      {"0", "1000001", {}, false, 0, 0, "--tasks: must be"},
      {"",
       "",
       {{"SLURM_ARRAY_TASK_ID", "3"}, {"SLURM_ARRAY_TASK_COUNT", "4"}},
       true,
       3,
       4,
       ""},
      {"",
       "",
       {{"SLURM_ARRAY_TASK_ID", "4"},
        {"SLURM_ARRAY_TASK_MIN", "1"},
        {"SLURM_ARRAY_TASK_COUNT", "4"}},
       true,
       3,
       4,
       ""},
      {"", "8", {{"SLURM_ARRAY_TASK_ID", "5"}}, true, 5, 8, ""},
      {"",
       "",
       {{"SLURM_ARRAY_TASK_ID", "4"}, {"SLURM_ARRAY_TASK_COUNT", "4"}},
       false,
       0,
       0,
       "SLURM_ARRAY_TASK_ID 4: the task index must be below"},
      {"",
       "",
       {{"SLURM_ARRAY_TASK_ID", "1"}},
       false,
       0,
       0,
       "SLURM_ARRAY_TASK_COUNT"},
      {"", "5", {{"JOB_COMPLETION_INDEX", "4"}}, true, 4, 5, ""},
      {"",
       "5",
       {{"JOB_COMPLETION_INDEX", "5"}},
       false,
       0,
       0,
       "JOB_COMPLETION_INDEX 5: the task index must be below"},
      {"",
       "",
       {{"JOB_COMPLETION_INDEX", "0"}},
       false,
       0,
       0,
       "JOB_COMPLETION_INDEX is set"},
  };
  for (const auto& c : cases) {
    auto getenv = [&c](const char* name) -> const char* {
      auto it = c.env.find(name);
      return it == c.env.end() ? nullptr : it->second.c_str();
    };
    std::uint64_t k = 99, t = 99;
    std::string error;
    const bool ok = ResolveTask(c.task, c.tasks, getenv, k, t, error);
    EXPECT_EQ(c.ok, ok) << c.task << "/" << c.tasks << ": " << error;
    if (ok) {
      EXPECT_EQ(c.k, k);
      EXPECT_EQ(c.t, t);
    } else {
      EXPECT_EQ(0u, error.find(c.error)) << error;
    }
  }
}

}  // namespace
