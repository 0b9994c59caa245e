#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "cli/runner.h"

namespace tavelix::cli {
namespace {

using Chains = std::vector<std::vector<std::size_t>>;

TJobInfo Job(std::vector<std::string> keys, std::uintmax_t size) { return {std::move(keys), size}; }

TEST(PlanChains, LargestFirstTiesInTheOrderGiven) {
    const Chains chains = PlanChains({Job({"a"}, 10), Job({"b"}, 30), Job({"c"}, 10), Job({"d"}, 20)});
    EXPECT_EQ(chains, (Chains{{1}, {3}, {0}, {2}}));
}

TEST(PlanChains, JobsOnACommonFileRunInTheOrderGiven) {
    // 0 and 3 name the same file; 1 writes what 4 reads, and 4 writes what 2 reads (a chain
    // through two keys); 5 is alone.
    const Chains chains = PlanChains({Job({"x"}, 5), Job({"in1", "out1"}, 1), Job({"out4"}, 1),
                                      Job({"x"}, 5), Job({"out1", "out4"}, 1), Job({"y"}, 4)});
    EXPECT_EQ(chains, (Chains{{0, 3}, {5}, {1, 2, 4}}));
}

TEST(PlanChains, NoJobsNoChains) { EXPECT_TRUE(PlanChains({}).empty()); }

TEST(RunChains, RunsEveryJobOnceAndEachChainInOrder) {
    std::vector<TJobInfo> jobs;
    for (int i = 0; i < 40; ++i) jobs.push_back(Job({std::to_string(i % 7)}, std::uintmax_t(i)));
    const Chains chains = PlanChains(jobs);
    for (unsigned threads : {1u, 2u, 5u, 64u}) {
        SCOPED_TRACE(threads);
        std::mutex lock;
        std::vector<std::size_t> order;
        std::set<unsigned> threadIds;
        const std::atomic<bool> stop{false};
        const std::size_t left = RunChains(chains, threads, [&](unsigned thread, std::size_t job) {
            std::lock_guard guard(lock);
            order.push_back(job);
            threadIds.insert(thread);
        }, stop);
        EXPECT_EQ(left, 0u);
        EXPECT_EQ(std::multiset<std::size_t>(order.begin(), order.end()).size(), jobs.size());
        EXPECT_EQ(std::set<std::size_t>(order.begin(), order.end()).size(), jobs.size());
        EXPECT_LT(*threadIds.rbegin(), std::min(threads, 7u));
        // Within a chain (same key), the jobs ran in their given order.
        std::vector<std::size_t> last(7, SIZE_MAX);
        for (std::size_t job : order) {
            if (last[job % 7] != SIZE_MAX) {
                EXPECT_LT(last[job % 7], job);
            }
            last[job % 7] = job;
        }
    }
}

TEST(RunChains, OneThreadTakesTheLargestFirst) {
    const Chains chains = PlanChains({Job({"a"}, 1), Job({"b"}, 3), Job({"c"}, 2)});
    std::vector<std::size_t> order;
    const std::atomic<bool> stop{false};
    RunChains(chains, 1, [&](unsigned, std::size_t job) { order.push_back(job); }, stop);
    EXPECT_EQ(order, (std::vector<std::size_t>{1, 2, 0}));
}

TEST(RunChains, AStopLetsTheJobInHandFinishAndStartsNoOther) {
    const Chains chains = PlanChains({Job({"a"}, 4), Job({"a"}, 0), Job({"b"}, 3), Job({"c"}, 2)});
    std::vector<std::size_t> done;
    std::atomic<bool> stop{false};
    const std::size_t left = RunChains(chains, 1, [&](unsigned, std::size_t job) {
        stop = true;  // as a Ctrl-C during the first file
        done.push_back(job);
    }, stop);
    EXPECT_EQ(done, (std::vector<std::size_t>{0}));
    EXPECT_EQ(left, 3u);
}

}  // namespace
}  // namespace tavelix::cli
