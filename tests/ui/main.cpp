// Runs the window's test suites: all of them, or the one named by --suite=NAME; the other
// arguments are Qt Test's own (test function names, -v2, ...).
#include <QApplication>
#include <QTest>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "raster/pictureregistry.h"

std::unique_ptr<QObject> MakeTestWindow();
std::unique_ptr<QObject> MakeTestDialogs();
std::unique_ptr<QObject> MakeTestFileDialogs();
std::unique_ptr<QObject> MakeTestClipping();
std::unique_ptr<QObject> MakeTestAutoshow();
std::unique_ptr<QObject> MakeTestBatch();
std::unique_ptr<QObject> MakeTestTranslations();

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tavelix tests");
    tavelix::RegisterJpegPictureType();

    std::string only;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--suite=", 8) == 0)
            only = argv[i] + 8;
        else
            args.push_back(argv[i]);
    }
    const std::vector<std::pair<std::string, std::function<std::unique_ptr<QObject>()>>> suites = {
        {"TestWindow", MakeTestWindow}, {"TestDialogs", MakeTestDialogs},
        {"TestFileDialogs", MakeTestFileDialogs}, {"TestClipping", MakeTestClipping},
        {"TestAutoshow", MakeTestAutoshow}, {"TestBatch", MakeTestBatch},
        {"TestTranslations", MakeTestTranslations}};
    int failed = 0;
    bool ran = false;
    for (const auto& [name, make] : suites) {
        if (!only.empty() && only != name) continue;
        ran = true;
        const std::unique_ptr<QObject> suite = make();
        failed += QTest::qExec(suite.get(), static_cast<int>(args.size()), args.data());
    }
    tavelix::UnregisterJpegPictureType();
    if (!ran) {
        std::fprintf(stderr, "no suite named %s\n", only.c_str());
        return 2;
    }
    return failed == 0 ? 0 : 1;
}
