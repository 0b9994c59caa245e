// Runs of tavelix-cli that change the same file take turns: a run holds an exclusive lock on
// a file from before it is read until its replacement is in place.
#pragma once

#include <string>

#include "raster/fileio.h"

namespace tavelix::cli {

enum class TLockResult {
    Held,      // locked, and the name still names the file locked
    Busy,      // another run holds the lock: nothing was taken
    Replaced,  // the name names another file by now (or none): the lock would guard nothing
};

// Takes an exclusive lock on the file open as fd without waiting, then checks that fileName
// still names that file: a run that replaced the file while this one opened it has put a new
// file under the name. Replaced leaves nothing locked; open the name again. The lock lasts as
// long as fd stays open. Locks bind runs of tavelix-cli (and programs that take the same
// advisory lock), not other programs.
TLockResult LockNamedFile(int fd, const std::string& fileName);

// Opens fileName as a picture file (OpenPictureFile: throws what it throws) and locks it as
// above, opening the name again while the file under it is being replaced (a few times).
// Returns Held with file open and locked, or Busy with file closed.
TLockResult OpenLocked(const std::string& fileName, TReadableFile& file);

}  // namespace tavelix::cli
