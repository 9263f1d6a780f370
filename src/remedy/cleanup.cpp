#include "remedy/cleanup.h"

namespace quorvex {

CleanupOutcome cleanUp(std::string_view path, FileSystem& files) {
    if (!files.isAbsolutePath(path)) return CleanupOutcome::Failed;

    // Each step's failure is expected in some cases (file already gone, a guard
    // directory from an earlier cleanup) and must not stop the next one.
    (void)files.resetAttributes(path);
    (void)files.deleteFile(path);
    (void)files.createDirectory(path);

    return files.isDirectory(path) ? CleanupOutcome::Succeeded : CleanupOutcome::Failed;
}

}  // namespace quorvex
