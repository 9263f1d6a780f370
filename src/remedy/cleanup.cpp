#include "remedy/cleanup.h"

namespace quorvex {

namespace {

bool isDirectory(const std::optional<FileStatus>& status) {
    return status && status->kind == FileStatus::Kind::Directory;
}

bool isTheWorm(const std::optional<FileStatus>& status, const std::optional<FileIdentity>& worm) {
    return worm && status && status->kind == FileStatus::Kind::File && worm->matches(status->identity);
}

// Removes the worm's file at the entry's name, going on past each step's
// failure: some are expected (a file still in use, an immutable file with
// other names) and must not stop the next one.
void removeWormFile(FolderEntry& entry, const FileStatus& file, const FileIdentity& worm) {
    // The attributes belong to the file, not to this name: with other names
    // they would be lost for all of them, so only the name goes then.
    if (file.links == 1) (void)entry.resetAttributes(worm);
    (void)entry.deleteFile(worm);
}

}  // namespace

CleanupOutcome cleanUp(std::string_view path, const std::optional<FileIdentity>& worm, FileSystem& files) {
    // Nothing would tell the worm's file system from whatever is mounted at
    // the path now: no outcome can be vouched for.
    if (worm && worm->ambiguous) return CleanupOutcome::Failed;
    if (!files.isAbsolutePath(path)) return CleanupOutcome::Failed;
    std::error_code unreachable;
    const auto entry = files.reach(path, unreachable);
    if (!entry) return CleanupOutcome::Failed;

    const auto before = entry->status();
    if (isDirectory(before)) return CleanupOutcome::Succeeded;
    if (isTheWorm(before, worm)) {
        removeWormFile(*entry, *before, *worm);
    } else if (before || !worm || !entry->folderVolume().holds(*worm)) {
        // Something else stands at the path; or nothing does (a scanner
        // removed the worm's file first), but the folder is no longer on the
        // worm's volume: a pulled stick's empty mount point, another stick.
        return CleanupOutcome::Failed;
    }
    (void)entry->createDirectory();
    return isDirectory(entry->status()) ? CleanupOutcome::Succeeded : CleanupOutcome::Failed;
}

}  // namespace quorvex
