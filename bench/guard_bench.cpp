// What assemble's guard costs against the rest of an assemble (decode, assemble, encode), over
// the 1280 x 1024 photographs of the corpus (bench/make-corpus.sh; $CORPUS, default
// tavelix-corpus in the temporary folder), as JPEG and as BMP. The pictures rotate through the
// 20 files, as a batch meets them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/seams.h"
#include "engine/tavelix.h"
#include "ratio_reporter.h"

namespace {

using namespace tavelix;
namespace fs = std::filesystem;

struct TQuietHost : TPictureHost {
    void ShowMessage(std::string_view) override {}
    void ProcessMessages() override {}
    TSize ScreenSize() const override { return {1280, 1024}; }
};

struct TFile {
    std::string Name;
    std::vector<std::uint8_t> Bytes;
};

fs::path Corpus() {
    if (const char* corpus = std::getenv("CORPUS"); corpus && *corpus) return corpus;
    const char* tmp = std::getenv("TMPDIR");
    return fs::path(tmp && *tmp ? tmp : "/tmp") / "tavelix-corpus";
}

// The files of one folder of the corpus ("q90" or "bmp"), sorted.
const std::vector<TFile>& Files(const std::string& folder) {
    static std::vector<TFile> files[2];
    std::vector<TFile>& these = files[folder == "bmp"];
    if (!these.empty()) return these;
    std::vector<fs::path> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Corpus() / folder, error)) names.push_back(entry.path());
    std::sort(names.begin(), names.end());
    for (const fs::path& name : names) {
        std::ifstream in(name, std::ios::binary);
        these.push_back({name.string(), {std::istreambuf_iterator<char>(in), {}}});
    }
    return these;
}

// Decode, measure, assemble, measure, encode, as assemble does without the files; the time of
// the guard's two measurements (the picture read, coarsely; the result, finer) is clocked
// apart, in the course of the work, and reported as its share of the whole ("guard %").
// Differences between runs with and without the guard drown in the noise of a shared machine.
void BM_Assemble(benchmark::State& state, std::string folder) {
    const std::vector<TFile>& files = Files(folder);
    if (files.empty()) return state.SkipWithError("no corpus: run bench/make-corpus.sh");
    using Clock = std::chrono::steady_clock;
    TQuietHost host;
    TTavelix view(host);
    std::size_t i = 0;
    Clock::duration guard{}, all{};
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        TBitmap picture;
        view.LoadPicture(picture, files[i].Name, files[i].Bytes);
        const Clock::time_point t0 = Clock::now();
        const TSeamScore before = MeasureSeams(picture, 32);
        guard += Clock::now() - t0;
        TTavelix::Scramble(&picture, "benchmark password", false);
        const Clock::time_point t1 = Clock::now();
        benchmark::DoNotOptimize(JudgeAssembly(before, MeasureSeams(picture, 128)));
        guard += Clock::now() - t1;
        benchmark::DoNotOptimize(view.EncodePicture(picture, files[i].Name, 90));
        all += Clock::now() - start;
        i = (i + 1) % files.size();
    }
    state.counters["guard %"] = 100.0 * std::chrono::duration<double>(guard).count() /
                                std::chrono::duration<double>(all - guard).count();
}

BENCHMARK_CAPTURE(BM_Assemble, jpg, std::string("q90"))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Assemble, bmp, std::string("bmp"))->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return tavelix::bench::RunWithRatios(argc, argv, {}); }
