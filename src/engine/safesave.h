// Replacing a file whole or not at all.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>

namespace tavelix {

// What a save does when something is already under the name it writes.
enum class TExisting {
    Replace,  // a regular file there is replaced whole (through the temporary, below)
    Refuse,   // the save fails (EEXIST) and leaves it alone, even one that appears meanwhile
};

struct TSaveOptions {
    // A file that replaces another reaches the disk before it takes the old one's place. A
    // new file is never waited for (a crash can lose it, but nothing else).
    bool Flush = true;
    TExisting Existing = TExisting::Replace;
    // Always write under a temporary name, as on file systems without unnamed temporary
    // files (so tests can reach that way too).
    bool NamedTemporary = false;
    // When given, asked once the temporary holds every byte, before it takes the file's place:
    // false drops the temporary and leaves the file as it was (the write returns false).
    std::function<bool()> MayPlace = nullptr;
};

// Writes bytes to fileName so that the file either holds all of them or, after any failure
// (disk full, a file-size limit, an interrupted process), is exactly as it was. The bytes go
// to an unnamed temporary file in the same folder (a named one where the file system has no
// unnamed ones), which takes its place only when complete; a temporary that got a name is
// removed again on every failure. Temporary names fit in the folder whatever the length of
// fileName. A replaced file keeps its permissions. Throws TPictureError (Io) naming the file
// and the reason (a target that is not a regular file is named for what it is).
bool WriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes,
                         const TSaveOptions& options = {});
// The same for a file made of several pieces, written one after the other.
bool WriteFileAtomically(const std::string& fileName, std::initializer_list<std::span<const std::uint8_t>> pieces,
                         const TSaveOptions& options = {});

// The temporary name a save into fileName tries at its attempt-th try: hidden, beside the
// target, "." + the target's name + ".tavelix-<process>-<attempt>", the target's name cut
// (at a character boundary) so that the whole holds at most nameMax bytes.
std::string TemporaryName(const std::string& fileName, unsigned attempt, std::size_t nameMax);

// Where a save to fileName writes: through a symbolic link to the file it names, so that the
// link stays a link and the picture behind it is the one replaced; fileName itself when it is
// no link, when the link leads nowhere, or when the file it names has another extension (the
// extension chooses what is written, so a JPEG never lands in a ".bmp" file).
std::string WriteTarget(const std::string& fileName);

// What stands against replacing a file in place (scramble and assemble on disk) although its
// folder allows it. A replacement is a new file under this one name: the other names of a
// file with hard links keep the old picture. A write-protected file was protected by someone.
enum class TInPlaceObstacle { None, HardLinks, WriteProtected };
struct TInPlaceCheck {
    TInPlaceObstacle Obstacle = TInPlaceObstacle::None;
    std::uint64_t OtherNames = 0;  // HardLinks: the names the file has besides this one
};
// The file open as fd, to be replaced under fileName (the name decides what this process may
// write). Write-protected: no write permission bit at all, or none for this process.
TInPlaceCheck CheckInPlace(int fd, const std::string& fileName);
// The same by name, through links; nothing stands against a file that cannot be looked at
// (reading it will say why).
TInPlaceCheck CheckInPlace(const std::string& fileName);
// Whether the regular file fileName reaches is write-protected (as CheckInPlace judges it,
// whatever other names it has).
bool IsWriteProtected(const std::string& fileName);
// The obstacle for a message: "the file has 1 other name (hard links), which would keep the
// clear picture" (scrambling; assembling: "the scrambled picture"), "the file is
// write-protected"; "" for none.
std::string InPlaceObstacleText(const TInPlaceCheck& check, bool scrambling);

// The file a name reaches (through links), by device and inode: two names reach the same file
// exactly when their ids are equal. Nothing when the name reaches no file.
struct TFileId {
    std::uint64_t Device = 0, Inode = 0;
    auto operator<=>(const TFileId&) const = default;
};
std::optional<TFileId> FileIdOf(const std::string& fileName);

}  // namespace tavelix
