// Resizing a 1280 x 1024 picture, each operation timed next to a memcpy of the bytes it
// writes (its destination store), in the same run. The "ratio" counter is operation time over
// memcpy time; we aim below 3.
//
// ReduceBy always makes a device-format bitmap, so a 24-bit source is converted while drawn.
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "engine/tavelix.h"

namespace {

using namespace tavelix;
using Clock = std::chrono::steady_clock;

class TBenchHost : public TPictureHost {
public:
    void ShowMessage(std::string_view) override {}
    void ProcessMessages() override {}
    TSize ScreenSize() const override { return {1920, 1080}; }
};

enum class TOperation { Enlarge, Shrink, FitToScreen, ReduceBy2, ReduceBy4, ReduceBy8 };

TBitmap Picture(bool device) {
    TStoreFormat format;
    if (!device) format.Layout = TPixelLayout::Rgb(24);
    TBitmap bitmap;
    bitmap.Allocate(1280, 1024, format);
    std::uint32_t state = 0x9E3779B9u;
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        for (std::uint32_t i = 0; i < bitmap.RowBytes(); ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            row[i] = static_cast<std::uint8_t>(state);
        }
    }
    return bitmap;
}

// Puts the view and the graphic into the state before the operation; not timed.
void Prepare(TOperation op, TTavelix& view, TBitmap& graphic, const TBitmap& working) {
    switch (op) {
        case TOperation::Shrink:
            // Shrink draws into the displayed store: give it one of its own, as after the
            // first step, so that the copy on write is not counted.
            view.Picture().CopyFrom(working);
            view.Picture().ScanLine(0);
            break;
        case TOperation::Enlarge:
        case TOperation::FitToScreen:
            view.Picture().CopyFrom(working);
            break;
        default:
            graphic.CopyFrom(working);
            break;
    }
}

const TBitmap& Run(TOperation op, TTavelix& view, TBitmap& graphic, const TBitmap& working) {
    switch (op) {
        case TOperation::Enlarge: view.Enlarge(working); return view.Picture();
        case TOperation::Shrink: view.Shrink(working); return view.Picture();
        case TOperation::FitToScreen: view.FitToScreen(working); return view.Picture();
        case TOperation::ReduceBy2: view.ReduceBy(graphic, 2); return graphic;
        case TOperation::ReduceBy4: view.ReduceBy(graphic, 4); return graphic;
        case TOperation::ReduceBy8: view.ReduceBy(graphic, 8); return graphic;
    }
    return graphic;
}

void BM_Resize(benchmark::State& state, TOperation op, bool device) {
    TBenchHost host;
    TTavelix view(host);
    view.SetAutoSize(true);
    const TBitmap working = Picture(device);
    TBitmap graphic;

    Prepare(op, view, graphic, working);
    const std::size_t bytes = Run(op, view, graphic, working).StoreBytes().size();
    std::vector<std::uint8_t> from(bytes, 0x5A), to(bytes, 0);

    double operationSeconds = 0, copySeconds = 0;
    for (auto _ : state) {
        Prepare(op, view, graphic, working);
        const auto start = Clock::now();
        benchmark::DoNotOptimize(Run(op, view, graphic, working).StoreBytes().data());
        const auto drawn = Clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        const auto copied = Clock::now();

        const double seconds = std::chrono::duration<double>(drawn - start).count();
        state.SetIterationTime(seconds);
        operationSeconds += seconds;
        copySeconds += std::chrono::duration<double>(copied - drawn).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["dest_MB"] = static_cast<double>(bytes) / (1 << 20);
    state.counters["memcpy_ms"] = copySeconds / n * 1e3;
    state.counters["ratio"] = copySeconds > 0 ? operationSeconds / copySeconds : 0;
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

#define TAVELIX_RESIZE_BENCH(name, op)                                                                 \
    BENCHMARK_CAPTURE(BM_Resize, name##_device, op, true)->UseManualTime()->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(BM_Resize, name##_24bit, op, false)->UseManualTime()->Unit(benchmark::kMillisecond)

TAVELIX_RESIZE_BENCH(Enlarge, TOperation::Enlarge);
TAVELIX_RESIZE_BENCH(Shrink, TOperation::Shrink);
TAVELIX_RESIZE_BENCH(FitToScreen_1920x1080, TOperation::FitToScreen);
TAVELIX_RESIZE_BENCH(ReduceBy2, TOperation::ReduceBy2);
TAVELIX_RESIZE_BENCH(ReduceBy4, TOperation::ReduceBy4);
TAVELIX_RESIZE_BENCH(ReduceBy8, TOperation::ReduceBy8);

}  // namespace

BENCHMARK_MAIN();
