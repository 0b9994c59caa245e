#include "ui/batchrun.h"

#include <utility>

#include "engine/tavelix.h"

namespace tavelix::ui {

TBatchRun::TBatchRun(std::vector<TName> files, std::string password, bool judgeAssembly)
    : FFiles(std::move(files)), FPassword(std::move(password)), FJudgeAssembly(judgeAssembly) {}

bool TBatchRun::Run(const std::function<void(const TName&)>& step, const std::function<void(std::size_t)>& done) {
    for (std::size_t i = 0; i < FFiles.size() && !FStopped;) {
        step(FFiles[i]);
        ++i;
        done(i);
    }
    return !FStopped;
}

void TBatchRun::LeaveUnchanged(TName file, std::string why) { FUnchanged.push_back({std::move(file), std::move(why)}); }

bool TBatchRun::OverPixelLimit(const TName& file, std::int32_t width, std::int32_t height) {
    if (!tavelix::OverPixelLimit(width, height)) return false;
    LeaveUnchanged(file, std::to_string(width) + " x " + std::to_string(height) +
                             " pixels; 1280K Pixels maximum (e.g.1280x1024)");
    return true;
}

bool TBatchRun::MayWrite(const TName& file, TAssemblyVerdict verdict) {
    if (!FJudgeAssembly) return true;
    switch (verdict) {
    case TAssemblyVerdict::Assembled:
        return true;
    case TAssemblyVerdict::Unclear:
        FUnclear.push_back(file);
        return true;
    case TAssemblyVerdict::NotAssembled:
    case TAssemblyVerdict::ScrambledTwice:
        break;
    }
    FRefused.push_back(file);
    return false;
}

}  // namespace tavelix::ui
