// The few file operations of the cleanup. They act on one name in a folder
// that was reached from the root without following any link, so nothing can
// redirect them to another file; none throws: each returns an error code
// (empty on success).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>

#include "platform/file_identity.h"

namespace quorvex {

// What stands at a name, looked at without following a link. Its identity
// is read as a detection reads the worm's, so that the two compare.
struct FileStatus {
    enum class Kind { File, Directory, Other };  // Other: a link, a device, a pipe...
    Kind kind = Kind::Other;
    FileIdentity identity;
    std::uint64_t links = 1;  // names the file has
};

// The file system a folder is on, told apart as a file's identity tells
// its own: what a file there would carry as `device` and `volume`.
struct VolumeIdentity {
    std::uint64_t device = 0;
    std::uint64_t volume = 0;
    // True where nothing above tells this file system from another that
    // takes its place (or it could not be read).
    bool ambiguous = true;

    // True when the file `file` identifies is certainly on this file system.
    bool holds(const FileIdentity& file) const {
        return !ambiguous && !file.ambiguous && device == file.device && volume == file.volume;
    }
};

// The last component of a path, in its folder, which stays open (and on
// Windows cannot be renamed) for as long as this lives.
class FolderEntry {
public:
    virtual ~FolderEntry() = default;

    // Absent when nothing stands at the name.
    virtual std::optional<FileStatus> status() const = 0;
    // Resets what protects the file from deletion, provided the file at the
    // name is certainly still `expected` (FileIdentity::matches): on Windows
    // every attribute goes back to normal; on Linux the immutable and
    // append-only flags, the DOS attributes of a file on FAT and the owner's
    // missing write permission.
    virtual std::error_code resetAttributes(const FileIdentity& expected) = 0;
    // Removes the name of a file, provided the file at it is certainly still
    // `expected`; a directory is never removed.
    virtual std::error_code deleteFile(const FileIdentity& expected) = 0;
    virtual std::error_code createDirectory() = 0;
    // The file system of the folder that holds the name, as it is now: the
    // empty mount point a pulled stick leaves is on the computer's own.
    virtual VolumeIdentity folderVolume() const = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True for a complete path on this platform (not relative to a current directory).
    virtual bool isAbsolutePath(std::string_view path) const = 0;
    // Reaches the name at the end of a complete path. Fails when a component
    // before it is a link (on Windows, any reparse point) or no folder.
    virtual std::unique_ptr<FolderEntry> reach(std::string_view path, std::error_code& error) = 0;
};

}  // namespace quorvex
