// The program entry: the application object, the four forms in their order, the message
// loop until the main window closes. The JPEG picture type is known from start to end.
#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include "raster/pictureregistry.h"
#include "ui/Utavelix.h"
#include "ui/forms.h"

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
        std::fprintf(stderr, "tavelix: cannot open a window: no display could be reached%s\n",
                     HasEnv("DISPLAY") ? (" (DISPLAY=" + qgetenv("DISPLAY") + ")").constData() : "");
        std::fflush(stderr);
        std::_Exit(1);
    }
    HeldMessages().append(text.toLocal8Bit());
}

}  // namespace

int main(int argc, char** argv) {
    tavelix::ui::KeepPictureMemory();
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

    tavelix::RegisterJpegPictureType();
    int result = 0;
    {
        tavelix::ui::TForms forms = tavelix::ui::CreateForms();
        forms.Ftavelix->show();
        // Without a window manager (a plain X server) nothing else would give it the keyboard.
        forms.Ftavelix->activateWindow();
        result = QApplication::exec();
    }  // the forms go before the picture types do
    tavelix::UnregisterJpegPictureType();
    return result;
}
