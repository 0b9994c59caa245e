// File names between Qt and the engine: the engine takes names in the system's own bytes,
// chooses a picture file's type by its extension, and says how a name is shown.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "engine/tavelix.h"

namespace tavelix::ui {

inline std::string LocalName(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// The engine's rules on names, for names as Qt holds them.
inline bool IsPictureName(const QString& fileName) { return tavelix::IsPictureName(LocalName(fileName)); }
inline bool IsWritablePictureName(const QString& fileName) {
    return tavelix::IsWritablePictureName(LocalName(fileName));
}
inline QString ReducedName(const QString& fileName, int factor) {
    return QFile::decodeName(QByteArray::fromStdString(tavelix::ReducedName(LocalName(fileName), factor)));
}

// A file name as messages and the caption show it: the system's separators, and control
// characters (a newline, a tab) as visible escapes, as the engine shows names.
inline QString ShownName(const QString& fileName) {
    return QString::fromStdString(VisibleName(QDir::toNativeSeparators(fileName).toStdString()));
}

// Names as the window's plain classes hold them (the picture list, a batch run's files): the
// very UTF-16 code units of Qt's strings, so no name changes on the way there and back.
inline std::vector<std::u16string> PlainNames(const QStringList& names) {
    std::vector<std::u16string> plain;
    plain.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& name : names) plain.push_back(name.toStdU16String());
    return plain;
}
inline QString QtName(const std::u16string& name) { return QString::fromStdU16String(name); }
inline QStringList QtNames(const std::vector<std::u16string>& names) {
    QStringList qt;
    qt.reserve(static_cast<qsizetype>(names.size()));
    for (const std::u16string& name : names) qt << QtName(name);
    return qt;
}

}  // namespace tavelix::ui
