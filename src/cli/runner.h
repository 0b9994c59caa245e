// Runs the files of a command on several threads, with the same results as one after the
// other in the order given.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavelix::cli {

// What the planner needs to know of one file's work.
struct TJobInfo {
    std::vector<std::string> Keys;  // every name of every file it reads or writes (FileKeys)
    std::uintmax_t Size = 0;        // bytes to read, for the order of the run
};

// Jobs that touch a common file (the same file given twice, a reduced copy that is also an
// input) are chained: they run one after the other on one thread in the order given, so
// the result is what one thread would give. Returns the chains, the largest total size
// first (ties in the order given), so long jobs start early and the threads end together.
std::vector<std::vector<std::size_t>> PlanChains(const std::vector<TJobInfo>& jobs);

// Runs the chains on `threads` threads (at most one per chain); work(thread, job) does one
// job, thread is 0 .. threads-1 (for per-thread state). Once stop is true no job starts;
// those running finish. Returns how many jobs were never started. The threads block SIGINT
// and SIGTERM, so those signals reach the thread that called.
std::size_t RunChains(const std::vector<std::vector<std::size_t>>& chains, unsigned threads,
                      const std::function<void(unsigned thread, std::size_t job)>& work,
                      const std::atomic<bool>& stop);

}  // namespace tavelix::cli
