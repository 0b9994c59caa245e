// Scrambling and assembling a 1280 x 1024 picture, next to a plain copy of the same picture.
// The pictures rotate through a set larger than the processor's caches, as a batch meets them.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/tavelix.h"
#include "ratio_reporter.h"

namespace {

using namespace tavelix;

constexpr std::int32_t kWidth = 1280, kHeight = 1024;
constexpr std::size_t kSetBytes = std::size_t{64} << 20;

TStoreFormat FormatFor(int kind) {
    TStoreFormat f;
    if (kind == 24) f.Layout = TPixelLayout::Rgb(24);
    if (kind == 8) {
        f.Layout = TPixelLayout::Indexed(8);
        f.Palette.resize(256);
        for (unsigned i = 0; i < 256; ++i) f.Palette[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0};
    }
    return f;  // otherwise the device format
}

std::vector<TBitmap> MakeSet(int kind) {
    TBitmap first;
    first.Allocate(kWidth, kHeight, FormatFor(kind));
    std::mt19937 random(1);
    const std::size_t bytes = first.StoreBytes().size();
    for (std::int32_t y = 0; y < kHeight; ++y) {
        std::uint8_t* row = first.ScanLine(y);
        for (std::uint32_t i = 0; i < first.RowBytes(); ++i) row[i] = std::uint8_t(random());
    }
    std::vector<TBitmap> set;
    for (std::size_t total = 0; total < kSetBytes + bytes; total += bytes) {
        TBitmap copy;
        copy.Allocate(kWidth, kHeight, FormatFor(kind));
        for (std::int32_t y = 0; y < kHeight; ++y) std::memcpy(copy.ScanLine(y), first.ScanLine(y), first.RowBytes());
        set.push_back(std::move(copy));
    }
    return set;
}

void BM_Memcpy(benchmark::State& state) {
    std::vector<TBitmap> set = MakeSet(int(state.range(0)));
    const std::size_t bytes = set[0].StoreBytes().size();
    std::vector<std::vector<std::uint8_t>> targets(set.size(), std::vector<std::uint8_t>(bytes, 1));
    std::size_t i = 0;
    for (auto _ : state) {
        std::memcpy(targets[i].data(), set[i].StoreBytes().data(), bytes);
        benchmark::DoNotOptimize(targets[i].data());
        i = (i + 1) % set.size();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

void BM_Scramble(benchmark::State& state, bool scramble) {
    std::vector<TBitmap> set = MakeSet(int(state.range(0)));
    const std::size_t bytes = set[0].StoreBytes().size();
    std::size_t i = 0;
    for (auto _ : state) {
        TTavelix::Scramble(&set[i], "benchmark password", scramble);
        i = (i + 1) % set.size();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

BENCHMARK(BM_Memcpy)->Arg(24)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Scramble, scramble, true)->Arg(24)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Scramble, assemble, false)->Arg(24)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const char* kind : {"24", "8", "32"})
        for (const char* what : {"scramble", "assemble"})
            pairs.push_back({std::string("BM_Scramble/") + what + "/" + kind + "/real_time",
                             std::string("BM_Memcpy/") + kind + "/real_time"});
    return tavelix::bench::RunWithRatios(argc, argv, pairs);
}
