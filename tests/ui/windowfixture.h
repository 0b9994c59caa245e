// What the window's suites share: a fresh set of forms per test with scripted answers in place
// of the dialogs, a temporary folder, and short ways to show the window and open pictures.
#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "scriptedprompts.h"
#include "testpictures.h"
#include "ui/Utavelix.h"
#include "ui/forms.h"

namespace tavelix::ui::test {

struct TWindowFixture {
    TForms Forms;
    std::unique_ptr<TScriptedPrompts> Prompts;
    std::unique_ptr<QTemporaryDir> Folder;

    // Called from each test's init(): new forms, new answers, a new folder.
    void Init() {
        Folder = std::make_unique<QTemporaryDir>();
        Forms = CreateForms();
        Prompts = std::make_unique<TScriptedPrompts>(W().PasswordStore());
        W().Prompts().SetTarget(Prompts.get());
    }
    // Called from cleanup(): the forms go before the answers they point at.
    void Done() {
        Forms = TForms();
        Prompts.reset();
        Folder.reset();
    }

    TFtavelix& W() { return *Forms.Ftavelix; }
    TBitmap& Display() { return W().View().Picture(); }
    QString Path(const QString& name) const { return Folder->filePath(name); }

    bool Show() {
        W().show();
        if (!QTest::qWaitForWindowExposed(&W())) return false;
        QCoreApplication::processEvents();
        return true;
    }
    // A picture as a file of the folder, JPEG or bitmap by the name's extension.
    QString Write(const QString& name, const TBitmap& picture) {
        return name.endsWith(".jpg", Qt::CaseInsensitive) ? WriteJpeg(*Folder, name, picture)
                                                          : WriteBmp(*Folder, name, picture);
    }
    // Opens files through the open command.
    void Open(const QStringList& fileNames) {
        Prompts->Open.push_back(fileNames);
        W().openClick();
    }
    QString OpenNew(const QString& name, const TBitmap& picture) {
        const QString path = Write(name, picture);
        Open({path});
        return path;
    }
};

}  // namespace tavelix::ui::test
