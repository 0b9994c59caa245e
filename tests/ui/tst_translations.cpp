// The window in the language of the locale: German under the German locale the CTest entry
// sets (LANG=de_DE.UTF-8), the English texts under the C locale.
#include <QLocale>
#include <QMenu>
#include <QTest>

#include <memory>

#include "ui/Utavelix.h"
#include "ui/forms.h"
#include "ui/translations.h"

using namespace tavelix::ui;

class TestTranslations : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void germanLocaleGivesGermanMenusAndHints() {
        if (QLocale::system().language() != QLocale::German) QSKIP("not under a German locale (LANG=de_DE.UTF-8)");
        const TTranslations translations(QLocale::system(), TAVELIX_QM_DIR);
        QVERIFY(translations.Loaded());
        const TForms forms = CreateForms();
        const TFtavelixUi& ui = forms.Ftavelix->Ui;
        QCOMPARE(ui.File1->title(), QStringLiteral("&Datei"));
        QCOMPARE(ui.Open1->text(), QStringLiteral("Ö&ffnen"));
        QCOMPARE(ui.btnsavescrambledas->toolTip(), QStringLiteral("Verwürfelt speichern unter ..."));
        QCOMPARE(ui.Stop1->text(), QStringLiteral("Autoshow beenden"));
    }

    void cLocaleKeepsTheEnglishTexts() {
        const TTranslations translations(QLocale::c(), TAVELIX_QM_DIR);
        QVERIFY(!translations.Loaded());
        const TForms forms = CreateForms();
        QCOMPARE(forms.Ftavelix->Ui.File1->title(), QStringLiteral("&File"));
        QCOMPARE(forms.Ftavelix->Ui.btnsavescrambledas->toolTip(), QStringLiteral("Save Scrambled As ..."));
    }
};

std::unique_ptr<QObject> MakeTestTranslations() { return std::make_unique<TestTranslations>(); }

#include "tst_translations.moc"
