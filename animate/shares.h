// Splitting a frame range among the tasks of a batch engine: task K of T
// takes the K-th of T contiguous shares, so that neighbouring frames stay
// together. The task comes from the command line or from the engine's
// environment (Slurm job arrays, Kubernetes indexed jobs).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Frames first .. first + count - 1.
struct FrameSpan {
  std::uint64_t first = 0, count = 0;
};

// The K-th (from 0) of T contiguous shares of span: the shares differ in
// length by at most one, the longer ones first, and together cover span in
// order. A share may be empty when there are more tasks than frames.
// Requires k < t.
FrameSpan ShareOf(FrameSpan span, std::uint64_t k, std::uint64_t t);

// The most tasks a run may be split into.
constexpr std::uint64_t MaxTasks = 1000000;

// Which task this process is, from --task/--tasks (empty when not given)
// and else from the environment, read through getenv:
//   --task K --tasks T                     K of T
//   SLURM_ARRAY_TASK_ID (minus SLURM_ARRAY_TASK_MIN when set) of
//   SLURM_ARRAY_TASK_COUNT, or of --tasks when given
//   JOB_COMPLETION_INDEX of --tasks (Kubernetes does not tell the count)
//   none of these                          0 of 1
// False with a message for --task without --tasks (and the reverse, outside
// an engine), malformed numbers, and an index at or beyond the count.
bool ResolveTask(const std::string& task, const std::string& tasks,
                 const std::function<const char*(const char*)>& getenv,
                 std::uint64_t& k, std::uint64_t& t, std::string& error);
