// The window's batch command on disk, driven headless for bench/window-batch.sh: the real
// window (offscreen unless QT_QPA_PLATFORM says otherwise) with scripted answers in place of
// the dialogs, one run of one command over the files given, timed from the command's start
// to its end. Prints the seconds on standard output; any message the run shows goes to
// standard error and makes the exit status 1.
//
// Usage: batch_bench scramble|assemble|reduce2|reduce4|reduce8 PASSWORD-FILE FILE...
#include <QApplication>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "raster/pictureregistry.h"
#include "ui/Utavelix.h"
#include "ui/forms.h"
#include "ui/prompts.h"

namespace {

using namespace tavelix;
using namespace tavelix::ui;

class TBatchPrompts : public TPrompts {
public:
    TBatchPrompts(TSecret& password, QStringList files, std::string passwordBytes)
        : FPassword(password), FFiles(std::move(files)), FBytes(std::move(passwordBytes)) {}
    int Messages = 0;

    QStringList PicturesToOpen(const QString&) override { return FFiles; }
    QString SaveName(const QString&, const QString&) override { return {}; }
    bool PasswordRequest() override {
        FPassword.Assign(FBytes);
        return true;
    }
    void Message(const QString& text) override {
        ++Messages;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool OkCancel(const QString&) override { return false; }
    // Copies left by an earlier round are replaced, as tavelix-cli --force replaces them.
    int Choose(const QString&, const QStringList&) override { return 0; }
    void ShowModal(QDialog&) override {}

private:
    TSecret& FPassword;
    QStringList FFiles;
    std::string FBytes;
};

// The first line of the password file, as tavelix-cli reads it.
std::string ReadPassword(const char* fileName) {
    QFile file(QFile::decodeName(fileName));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    return line.toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s scramble|assemble|reduce2|reduce4|reduce8 PASSWORD-FILE FILE...\n", argv[0]);
        return 2;
    }
    KeepPictureMemory();  // as the program does at its start
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    RegisterJpegPictureType();
    int status = 0;
    {
        QStringList files;
        for (int i = 3; i < argc; ++i) files << QFile::decodeName(argv[i]);
        TForms forms = CreateForms();
        TFtavelix& window = *forms.Ftavelix;
        TBatchPrompts prompts(window.PasswordStore(), files, ReadPassword(argv[2]));
        window.Prompts().SetTarget(&prompts);
        window.show();
        QCoreApplication::processEvents();

        const std::string command = argv[1];
        const auto start = std::chrono::steady_clock::now();
        if (command == "scramble")
            window.scrambleondisk1Click();
        else if (command == "assemble")
            window.assembleondisk1Click();
        else if (command == "reduce2")
            window.Reduceto4ondiskClick();
        else if (command == "reduce4")
            window.Reduceto16ondiskClick();
        else if (command == "reduce8")
            window.Reduceto64ondiskClick();
        else
            status = 2;
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        if (status == 0) std::printf("%.6f\n", seconds.count());
        if (prompts.Messages > 0) status = 1;
        window.Prompts().SetTarget(nullptr);
    }
    UnregisterJpegPictureType();
    return status;
}
