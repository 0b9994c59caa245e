// What assemble's guard costs against the rest of an assemble (decode, assemble, encode) with
// the right password, over the 1280 x 1024 photographs of the corpus (bench/make-corpus.sh;
// $CORPUS, default tavelix-corpus in the temporary folder), as JPEG and as BMP. The pictures rotate through the
// 20 files, as a batch meets them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "engine/guard.h"
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

const char* const Password = "benchmark password";

// The files of a folder scrambled with Password, as assemble meets them.
const std::vector<TFile>& ScrambledFiles(const std::string& folder) {
    static std::vector<TFile> files[2];
    std::vector<TFile>& these = files[folder == "bmp"];
    if (!these.empty()) return these;
    TQuietHost host;
    TTavelix view(host);
    for (const TFile& file : Files(folder)) {
        TBitmap picture;
        view.LoadPicture(picture, file.Name, file.Bytes);
        TTavelix::Scramble(&picture, Password, true);
        TTavelix::TEncoded encoded = view.EncodePicture(picture, file.Name, 90);
        encoded.Head.insert(encoded.Head.end(), encoded.Body.begin(), encoded.Body.end());
        these.push_back({file.Name, std::move(encoded.Head)});
    }
    return these;
}

// Decode, judge, assemble, encode, as assemble does without the files, over scrambled files and
// the right password; the guard's time is clocked apart, in the course of the work, and
// reported as its share of the rest ("guard %"). Differences between runs with and without the
// guard drown in the noise of a shared machine.
void BM_Assemble(benchmark::State& state, std::string folder) {
    const std::vector<TFile>& files = ScrambledFiles(folder);
    if (files.empty()) return state.SkipWithError("no corpus: run bench/make-corpus.sh");
    using Clock = std::chrono::steady_clock;
    TQuietHost host;
    TTavelix view(host);
    std::size_t i = 0;
    Clock::duration guard{}, all{};
    std::int64_t refused = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        TBitmap picture;
        view.LoadPicture(picture, files[i].Name, files[i].Bytes);
        const Clock::time_point t0 = Clock::now();
        const TAssemblyVerdict judged = JudgeAssembly(picture, Password);
        guard += Clock::now() - t0;
        TTavelix::Scramble(&picture, Password, false);
        benchmark::DoNotOptimize(view.EncodePicture(picture, files[i].Name, 90));
        all += Clock::now() - start;
        refused += judged == TAssemblyVerdict::Assembled || judged == TAssemblyVerdict::Unclear ? 0 : 1;
        i = (i + 1) % files.size();
    }
    if (refused > 0) state.SkipWithError("the right password was refused");
    state.counters["guard us"] = 1e6 * std::chrono::duration<double>(guard).count() / double(state.iterations());
    state.counters["guard %"] = 100.0 * std::chrono::duration<double>(guard).count() /
                                std::chrono::duration<double>(all - guard).count();
}

BENCHMARK_CAPTURE(BM_Assemble, jpg, std::string("q90"))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Assemble, bmp, std::string("bmp"))->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return tavelix::bench::RunWithRatios(argc, argv, {}); }
