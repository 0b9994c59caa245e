// File names between Qt and the engine: the engine takes names in the system's own bytes,
// and chooses a picture file's type by its extension.
#pragma once

#include <QFile>
#include <QString>

#include <string>

#include "engine/tavelix.h"

namespace tavelix::ui {

inline std::string LocalName(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// Whether the name ends in ".jpg" or ".bmp", in any letter case: the files the engine reads
// and writes.
inline bool IsPictureName(const QString& fileName) {
    const std::string extension = PictureExtension(LocalName(fileName));
    return extension == ".jpg" || extension == ".bmp";
}

}  // namespace tavelix::ui
