// Task arithmetic for batch engines.
#include "animate/shares.h"

namespace {

bool Whole(const std::string& text, std::uint64_t max, std::uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  std::uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v > max) return false;
  value = v;
  return true;
}

}  // namespace

FrameSpan ShareOf(FrameSpan span, std::uint64_t k, std::uint64_t t) {
  const std::uint64_t base = span.count / t, extra = span.count % t;
  FrameSpan share;
  share.first = span.first + k * base + (k < extra ? k : extra);
  share.count = base + (k < extra ? 1 : 0);
  return share;
}

bool ResolveTask(const std::string& task, const std::string& tasks,
                 const std::function<const char*(const char*)>& getenv,
                 std::uint64_t& k, std::uint64_t& t, std::string& error) {
  std::uint64_t count = 0;
  if (!tasks.empty() && !Whole(tasks, MaxTasks, count)) {
    error =
        "--tasks: must be a whole number from 1 to " + std::to_string(MaxTasks);
    return false;
  }
  if (!tasks.empty() && count == 0) {
    error =
        "--tasks: must be a whole number from 1 to " + std::to_string(MaxTasks);
    return false;
  }
  auto env = [&getenv](const char* name) {
    const char* v = getenv(name);
    return std::string(v ? v : "");
  };
  std::uint64_t index = 0;
  std::string source;  // what the index came from, for messages
  if (!task.empty()) {
    if (tasks.empty()) {
      error = "--task needs --tasks T, the number of tasks";
      return false;
    }
    if (!Whole(task, UINT64_MAX / 2, index)) {
      error = "--task: must be a whole number from 0";
      return false;
    }
    source = "--task " + task;
  } else if (!env("SLURM_ARRAY_TASK_ID").empty()) {
    const std::string id = env("SLURM_ARRAY_TASK_ID");
    const std::string min = env("SLURM_ARRAY_TASK_MIN");
    std::uint64_t low = 0;
    if (!Whole(id, UINT64_MAX / 2, index) ||
        (!min.empty() && (!Whole(min, UINT64_MAX / 2, low) || low > index))) {
      error = "SLURM_ARRAY_TASK_ID " + id + " (minimum " +
              (min.empty() ? "0" : min) + "): not a task index";
      return false;
    }
    index -= low;
    source = "SLURM_ARRAY_TASK_ID " + id;
    if (tasks.empty()) {
      const std::string n = env("SLURM_ARRAY_TASK_COUNT");
      if (!Whole(n, MaxTasks, count) || count == 0) {
        error = "SLURM_ARRAY_TASK_COUNT \"" + n +
                "\": not a number of tasks; give --tasks T";
        return false;
      }
    }
  } else if (!env("JOB_COMPLETION_INDEX").empty()) {
    const std::string id = env("JOB_COMPLETION_INDEX");
    if (!Whole(id, UINT64_MAX / 2, index)) {
      error = "JOB_COMPLETION_INDEX " + id + ": not a task index";
      return false;
    }
    if (tasks.empty()) {
      error =
          "JOB_COMPLETION_INDEX is set but the number of tasks is not "
          "known: give --tasks T";
      return false;
    }
    source = "JOB_COMPLETION_INDEX " + id;
  } else if (!tasks.empty()) {
    error =
        "--tasks needs --task K, or a batch engine's task index "
        "(SLURM_ARRAY_TASK_ID, JOB_COMPLETION_INDEX)";
    return false;
  } else {
    k = 0;
    t = 1;
    return true;
  }
  if (index >= count) {
    error = source + ": the task index must be below the number of tasks, " +
            std::to_string(count) + " (tasks count from 0)";
    return false;
  }
  k = index;
  t = count;
  return true;
}
