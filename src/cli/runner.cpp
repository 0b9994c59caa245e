#include "cli/runner.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <system_error>
#include <thread>

namespace tavelix::cli {

namespace {

class TUnion {
public:
    explicit TUnion(std::size_t n) : FParent(n) { std::iota(FParent.begin(), FParent.end(), std::size_t{0}); }
    std::size_t Find(std::size_t i) {
        while (FParent[i] != i) i = FParent[i] = FParent[FParent[i]];
        return i;
    }
    void Join(std::size_t a, std::size_t b) {
        a = Find(a), b = Find(b);
        if (a != b) FParent[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<std::size_t> FParent;
};

}  // namespace

std::vector<std::vector<std::size_t>> PlanChains(const std::vector<TJobInfo>& jobs) {
    TUnion sets(jobs.size());
    std::map<std::string, std::size_t> firstWithKey;
    for (std::size_t i = 0; i < jobs.size(); ++i)
        for (const std::string& key : jobs[i].Keys) {
            const auto [place, fresh] = firstWithKey.emplace(key, i);
            if (!fresh) sets.Join(place->second, i);
        }

    std::map<std::size_t, std::size_t> chainOfRoot;
    std::vector<std::vector<std::size_t>> chains;
    std::vector<std::uintmax_t> sizes;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const auto [place, fresh] = chainOfRoot.emplace(sets.Find(i), chains.size());
        if (fresh) {
            chains.emplace_back();
            sizes.push_back(0);
        }
        chains[place->second].push_back(i);
        sizes[place->second] += jobs[i].Size;
    }

    std::vector<std::size_t> order(chains.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return sizes[a] > sizes[b]; });
    std::vector<std::vector<std::size_t>> sorted;
    sorted.reserve(chains.size());
    for (std::size_t i : order) sorted.push_back(std::move(chains[i]));
    return sorted;
}

std::size_t RunChains(const std::vector<std::vector<std::size_t>>& chains, unsigned threads,
                      const std::function<void(unsigned thread, std::size_t job)>& work,
                      const std::atomic<bool>& stop) {
    std::size_t total = 0;
    for (const auto& chain : chains) total += chain.size();
    std::atomic<std::size_t> nextChain{0};
    std::atomic<std::size_t> started{0};

    const auto run = [&](unsigned thread) {
        for (;;) {
            if (stop.load()) return;
            const std::size_t c = nextChain.fetch_add(1);
            if (c >= chains.size()) return;
            for (std::size_t job : chains[c]) {
                if (stop.load()) return;
                started.fetch_add(1);
                work(thread, job);
            }
        }
    };

    const unsigned count = unsigned(std::min<std::size_t>(std::max(threads, 1u), chains.size()));
    std::vector<std::thread> pool;
    pool.reserve(count);
    // The threads start with SIGINT and SIGTERM blocked (they inherit the mask), so a stop
    // request interrupts no system call of theirs; this thread takes the signals.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    for (unsigned t = 0; t < count; ++t) {
        try {
            pool.emplace_back(run, t);
        } catch (const std::system_error&) {
            break;  // fewer threads than asked: those we have do all the work
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pool.empty() && count > 0) run(0);
    for (std::thread& t : pool) t.join();
    return total - started.load();
}

}  // namespace tavelix::cli
