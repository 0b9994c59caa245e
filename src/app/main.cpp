// The program entry: the application object, the four forms in their order, the message
// loop until the main window closes. The JPEG picture type is known from start to end.
// Files named on the command line (a desktop's "Open with") are shown as Open shows them.
#include <QApplication>
#include <QByteArray>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/tavelix.h"
#include "raster/pictureregistry.h"
#include "ui/Utavelix.h"
#include "ui/forms.h"
#include "ui/translations.h"
#include "version.h"

namespace {

bool HasEnv(const char* name) { return !qEnvironmentVariableIsEmpty(name); }

// Messages Qt gives while it connects to the display are held back: when it cannot connect,
// the program ends with one line of its own instead of Qt's abort (and its core dump).
QList<QByteArray>& HeldMessages() {
    static QList<QByteArray> held;
    return held;
}

void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) {
        // Which display was tried: the variables that choose it, those set.
        QByteArray tried;
        for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"})
            if (HasEnv(name)) tried += (tried.isEmpty() ? " (" : ", ") + QByteArray(name) + "=" + qgetenv(name);
        if (!tried.isEmpty()) tried += ")";
        std::fprintf(stderr, "tavelix: cannot open a window: no display could be reached%s\n", tried.constData());
        std::fflush(stderr);
        std::_Exit(1);
    }
    HeldMessages().append(text.toLocal8Bit());
}

constexpr const char* Usage =
    "Usage: tavelix [FILE...]\n"
    "A picture viewer that scrambles pictures with a password, and assembles them again.\n"
    "\n"
    "  FILE       one .jpg, .bmp, .png, .heic, .heif or .webp file: shown in the\n"
    "             window, as Open shows it; two or more: the autoshow, a full-screen\n"
    "             slide show of them\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Without a file the window starts empty. Pictures are saved as JPEG, BMP or PNG by\n"
    "the name's extension; HEIC (HEIF) and WebP photos are only read. A picture with\n"
    "alpha is shown over the window's black, and PNG keeps its alpha when saved.\n"
    "tavelix-cli does the same work from a shell.\n";

// Qt's own options, which QApplication takes from the command line; those of the first list
// take the next argument as their value.
bool IsQtOption(const char* argument, bool& takesValue) {
    static const char* const withValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                            "-qwindowgeometry", "-geometry", "-qwindowtitle", "-title",
                                            "-qwindowicon", "-icon", "-display", "-style", "-stylesheet",
                                            "-session", "-name", "-fontengine"};
    static const char* const alone[] = {"-reverse", "-nograb", "-dograb", "-sync", "-widgetcount", "-visual",
                                        "-qmljsdebugger"};
    takesValue = false;
    for (const char* option : withValue)
        if (std::strcmp(argument, option) == 0 || (argument[0] == '-' && std::strcmp(argument + 1, option) == 0))
            return takesValue = true;
    for (const char* option : alone)
        if (std::strncmp(argument, option, std::strlen(option)) == 0) return true;
    return false;
}

// --help and --version need no display, so they are answered before Qt starts, and so is an
// unknown option (a usage error, status 2, with a display or without one). Returns the exit
// status when the program is to end here, or -1.
int AnswerWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tavelix %s\n", TAVELIX_VERSION);
            return 0;
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (argv[i][0] != '-' || argv[i][1] == '\0') continue;
        bool takesValue = false;
        if (IsQtOption(argv[i], takesValue)) {
            if (takesValue) ++i;
            continue;
        }
        std::fprintf(stderr, "tavelix: unknown option %s\n%s", argv[i], Usage);
        return 2;
    }
    return -1;
}

// The files named after Qt has taken its own options (-platform and the like); an unknown
// option is a usage error. "--" ends the options.
bool FilesToOpen(const QStringList& arguments, QStringList& files) {
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            std::fprintf(stderr, "tavelix: unknown option %s\n%s", qPrintable(argument), Usage);
            return false;
        } else {
            // Whole names, so that Reload finds the file whatever the current folder becomes.
            files.append(QFileInfo(argument).absoluteFilePath());
        }
    }
    // What cannot be opened is said here, once, and left out: the window starts with the rest.
    QStringList problems;
    files = tavelix::ui::OpenableFiles(files, problems);
    for (const QString& problem : problems) std::fprintf(stderr, "tavelix: %s\n", qPrintable(problem));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = AnswerWithoutWindow(argc, argv); status >= 0) return status;
    tavelix::KeepPictureMemory();
    if (!HasEnv("QT_QPA_PLATFORM") && !HasEnv("DISPLAY") && !HasEnv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "tavelix: no display: set DISPLAY or WAYLAND_DISPLAY to start the window\n");
        return 1;
    }

    const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    QApplication application(argc, argv);
    qInstallMessageHandler(previous);
    for (const QByteArray& message : HeldMessages()) qWarning("%s", message.constData());
    HeldMessages().clear();
    QApplication::setApplicationName("Tavelix");
    const tavelix::ui::TTranslations translations(QLocale::system(), tavelix::ui::TranslationsFolder());

    QStringList files;
    if (!FilesToOpen(QApplication::arguments(), files)) return 2;

    tavelix::RegisterJpegPictureType();
    int result = 0;
    {
        tavelix::ui::TForms forms = tavelix::ui::CreateForms();
        forms.Ftavelix->show();
        // Without a window manager (a plain X server) nothing else would give it the keyboard.
        forms.Ftavelix->activateWindow();
        // Once the loop runs, as if the files had been chosen in the open dialog.
        if (!files.isEmpty())
            QTimer::singleShot(0, forms.Ftavelix.get(), [&forms, &files] { forms.Ftavelix->OpenPictures(files); });
        result = QApplication::exec();
    }  // the forms go before the picture types do
    tavelix::UnregisterJpegPictureType();
    return result;
}
