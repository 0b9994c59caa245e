#include "ui/forms.h"

#include <QFileInfo>

#include "raster/fileio.h"
#include "raster/types.h"
#include "ui/Utavelix.h"
#include "ui/filenames.h"

namespace tavelix::ui {

TForms::TForms() = default;
TForms::~TForms() = default;
TForms::TForms(TForms&&) noexcept = default;
TForms& TForms::operator=(TForms&&) noexcept = default;

TForms CreateForms() {
    TForms forms;
    forms.Ftavelix = std::make_unique<TFtavelix>();
    forms.Ftavelix->setWindowTitle(QStringLiteral("Tavelix"));
    return forms;
}

QStringList OpenableFiles(const QStringList& fileNames, QStringList& problems) {
    QStringList openable;
    for (const QString& fileName : fileNames) {
        const QFileInfo info(fileName);
        if (!info.exists() && !info.isSymLink()) {
            problems << ShownName(fileName) + QCoreApplication::translate("Tavelix", ": no such file");
            continue;
        }
        try {
            OpenPictureFile(LocalName(fileName));  // opened and closed again: nothing waits, nothing is read
            openable << fileName;
        } catch (const TPictureError& error) {
            problems << QString::fromStdString(VisibleName(error.what()));
        }
    }
    return openable;
}

}  // namespace tavelix::ui
