// Loading and saving a 1280 x 1024 24-bit bitmap file against a plain copy of its bytes.
// Ends with the cost of each as a multiple of the copy.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "raster/bitmap.h"
#include "raster/bmpcodec.h"

namespace {

using tavelix::TBitmap;
using Bytes = std::vector<std::uint8_t>;

const TBitmap& Picture() {
    static const TBitmap picture = [] {
        tavelix::TStoreFormat format;
        format.Layout = tavelix::TPixelLayout::Rgb(24);
        TBitmap b;
        b.Allocate(1280, 1024, format);
        std::uint32_t seed = 7;
        for (std::int32_t y = 0; y < b.Height(); ++y) {
            std::uint8_t* row = b.ScanLine(y);
            for (std::size_t i = 0; i < 1280 * 3; ++i) {
                seed = seed * 1664525u + 1013904223u;
                row[i] = static_cast<std::uint8_t>(seed >> 24);
            }
        }
        return b;
    }();
    return picture;
}

const Bytes& File() {
    static const Bytes file = tavelix::SaveBmp(Picture());
    return file;
}

void BM_CopyFileBytes(benchmark::State& state) {
    const Bytes& file = File();
    Bytes copy(file.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), file.data(), file.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_CopyFileBytes);

void BM_LoadBmp24(benchmark::State& state) {
    const Bytes& file = File();
    TBitmap target;
    for (auto _ : state) {
        tavelix::LoadBmp(target, file);
        benchmark::DoNotOptimize(target.StoreBytes().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_LoadBmp24);

void BM_SaveBmp24(benchmark::State& state) {
    const TBitmap& picture = Picture();
    for (auto _ : state) {
        Bytes file = tavelix::SaveBmp(picture);
        benchmark::DoNotOptimize(file.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * File().size()));
}
BENCHMARK(BM_SaveBmp24);

// A 200-byte file that claims 100000 x 100000 pixels must be refused before any allocation.
void BM_RejectHugeHeader(benchmark::State& state) {
    Bytes file(File().begin(), File().begin() + 200);
    const std::int32_t huge = 100000;
    std::memcpy(file.data() + 18, &huge, 4);  // biWidth (little-endian host)
    std::memcpy(file.data() + 22, &huge, 4);  // biHeight
    TBitmap target;
    for (auto _ : state) {
        try {
            tavelix::LoadBmp(target, file);
            state.SkipWithError("huge picture was accepted");
            break;
        } catch (const tavelix::TPictureError&) {
        }
    }
}
BENCHMARK(BM_RejectHugeHeader);

// The console report, followed by each codec run as a multiple of the byte copy.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                FTimes[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto copy = FTimes.find("BM_CopyFileBytes");
        if (copy == FTimes.end() || copy->second <= 0) return;
        for (const char* name : {"BM_LoadBmp24", "BM_SaveBmp24"}) {
            const auto run = FTimes.find(name);
            if (run != FTimes.end())
                GetOutputStream() << name << " / BM_CopyFileBytes = " << run->second / copy->second << "\n";
        }
    }

private:
    std::map<std::string, double> FTimes;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
