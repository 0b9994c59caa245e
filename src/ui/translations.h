#pragma once
// The window's texts in the language of the locale: Tavelix's catalogue (tavelix_LANG.qm) and
// Qt's own for its standard buttons (qtbase_LANG.qm). The texts in the sources are the English
// ones; the C locale, or a language without a catalogue, shows them as they are.

#include <QLocale>
#include <QString>
#include <QTranslator>

namespace tavelix::ui {

// The installed catalogues: share/tavelix/translations beside the program's bin/ folder, else
// the folder of the configured prefix.
QString TranslationsFolder();

// Installs the catalogues for locale while it lives (none for the C locale).
class TTranslations {
public:
    TTranslations(const QLocale& locale, const QString& folder);
    ~TTranslations();
    TTranslations(const TTranslations&) = delete;
    TTranslations& operator=(const TTranslations&) = delete;

    // Whether Tavelix's own catalogue was found and installed.
    bool Loaded() const { return FOwnLoaded; }

private:
    QTranslator FOwn, FQt;
    bool FOwnLoaded = false, FQtLoaded = false;
};

}  // namespace tavelix::ui
