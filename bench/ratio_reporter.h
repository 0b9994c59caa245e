// A console reporter that also remembers each benchmark's time, so that a benchmark program
// can print ratios against its peers measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tavelix::bench {

class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                FTimes[run.run_name.str()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "name / peer = ratio" for each pair whose both sides ran.
    void PrintRatios(const std::vector<std::pair<std::string, std::string>>& pairs) const {
        std::printf("\nRatios (time over the peer's, same run):\n");
        for (const auto& [name, peer] : pairs) {
            const auto a = FTimes.find(name), b = FTimes.find(peer);
            if (a == FTimes.end() || b == FTimes.end() || b->second <= 0) continue;
            std::printf("  %-40s / %-28s = %5.2f\n", name.c_str(), peer.c_str(), a->second / b->second);
        }
    }

private:
    std::map<std::string, double> FTimes;
};

// Runs the registered benchmarks and prints the ratios of the given pairs.
inline int RunWithRatios(int argc, char** argv, const std::vector<std::pair<std::string, std::string>>& pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios(pairs);
    benchmark::Shutdown();
    return 0;
}

}  // namespace tavelix::bench
