#include "ui/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

#ifndef TAVELIX_TRANSLATIONS_DIR
#define TAVELIX_TRANSLATIONS_DIR "/usr/share/tavelix/translations"
#endif

namespace tavelix::ui {

QString TranslationsFolder() {
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tavelix/translations");
    if (QDir(beside).exists()) return QDir::cleanPath(beside);
    return QStringLiteral(TAVELIX_TRANSLATIONS_DIR);
}

TTranslations::TTranslations(const QLocale& locale, const QString& folder) {
    // LANG=C shows the English texts whatever LANGUAGE asks for, as gettext does.
    if (locale.language() == QLocale::C) return;
    FOwnLoaded = FOwn.load(locale, QStringLiteral("tavelix"), QStringLiteral("_"), folder) &&
                 QCoreApplication::installTranslator(&FOwn);
    // Qt's standard buttons only where Tavelix itself speaks the language.
    if (FOwnLoaded)
        FQtLoaded = FQt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                    QCoreApplication::installTranslator(&FQt);
}

TTranslations::~TTranslations() {
    if (FQtLoaded) QCoreApplication::removeTranslator(&FQt);
    if (FOwnLoaded) QCoreApplication::removeTranslator(&FOwn);
}

}  // namespace tavelix::ui
