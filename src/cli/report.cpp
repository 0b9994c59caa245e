#include "cli/report.h"

namespace tavelix::cli {

TReporter::TReporter(std::size_t total, bool progress, bool verbose, std::FILE* out, std::FILE* err)
    : FTotal(total), FProgress(progress), FVerbose(verbose), FOut(out), FErr(err) {}

void TReporter::Started(std::string_view fileName) {
    std::lock_guard lock(FLock);
    FCurrent = fileName;
    DrawLine();
}

void TReporter::Finished() {
    std::lock_guard lock(FLock);
    ++FDone;
    DrawLine();
}

void TReporter::Problem(std::string_view fileName, std::string_view text) {
    std::string line = "tavelix-cli: ";
    line.append(fileName).append(": ").append(text);
    std::lock_guard lock(FLock);
    Print(FErr, line);
}

void TReporter::Say(std::string_view text) {
    std::lock_guard lock(FLock);
    Print(FErr, "tavelix-cli: " + std::string(text));
}

void TReporter::Verbose(std::string_view text) {
    if (!FVerbose) return;
    std::lock_guard lock(FLock);
    Print(FOut, text);
}

void TReporter::End() {
    std::lock_guard lock(FLock);
    ClearLine();
}

void TReporter::ClearLine() {
    if (!FLineShown) return;
    std::fputs("\r\033[K", FErr);
    std::fflush(FErr);
    FLineShown = false;
}

void TReporter::DrawLine() {
    if (!FProgress) return;
    // A line that wraps could not be redrawn in place: long names show their end.
    constexpr std::size_t Longest = 60;
    std::string_view name = FCurrent;
    const char* ellipsis = "";
    if (name.size() > Longest) {
        name.remove_prefix(name.size() - Longest);
        while (!name.empty() && (static_cast<unsigned char>(name.front()) & 0xC0) == 0x80) name.remove_prefix(1);
        ellipsis = "...";
    }
    std::fprintf(FErr, "\r\033[K[%zu/%zu] %s%.*s", FDone, FTotal, ellipsis, int(name.size()), name.data());
    std::fflush(FErr);
    FLineShown = true;
}

void TReporter::Print(std::FILE* stream, std::string_view text) {
    const bool redraw = FLineShown;
    ClearLine();
    std::fprintf(stream, "%.*s\n", int(text.size()), text.data());
    std::fflush(stream);
    if (redraw) DrawLine();
}

}  // namespace tavelix::cli
