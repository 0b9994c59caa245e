// File names between Qt and the engine: the engine takes names in the system's own bytes,
// chooses a picture file's type by its extension, and says how a name is shown.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <string>

#include "engine/tavelix.h"

namespace tavelix::ui {

inline std::string LocalName(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// The engine's rules on names, for names as Qt holds them.
inline bool IsPictureName(const QString& fileName) { return tavelix::IsPictureName(LocalName(fileName)); }
inline QString ReducedName(const QString& fileName, int factor) {
    return QFile::decodeName(QByteArray::fromStdString(tavelix::ReducedName(LocalName(fileName), factor)));
}

// A file name as messages and the caption show it: the system's separators, and control
// characters (a newline, a tab) as visible escapes, as the engine shows names.
inline QString ShownName(const QString& fileName) {
    return QString::fromStdString(VisibleName(QDir::toNativeSeparators(fileName).toStdString()));
}

}  // namespace tavelix::ui
