// Removing a detected worm's file and putting a directory of the same name in
// its place, so that the file cannot be created there again.
#pragma once

#include <optional>
#include <string_view>

#include "platform/file_identity.h"
#include "platform/files.h"

namespace quorvex {

inline constexpr std::string_view kCleanupSucceededText = "病毒清除成功！";
inline constexpr std::string_view kCleanupFailedText = "病毒清除失败！";

enum class CleanupOutcome { Succeeded, Failed };

// Resets the attributes of the worm's file at `path`, deletes it and creates
// a directory in its place, going on past each step's failure. It acts only
// on the file the system named when the worm was detected, on that same file
// system: `worm` must certainly be the file found at the complete path,
// reached without following any link; anything else (another file, another
// volume's file with the same numbers, a link, an empty caption, an earlier
// outcome text, a worm whose file could not be identified) touches nothing.
// Where nothing stands at the path any more (a scanner removed the worm's
// file), the directory is made provided the folder is still on the worm's
// own volume. A directory already in place is left as it is. Succeeds when
// a directory stands at the path afterwards, and never for a worm whose
// identity cannot tell its file system apart (it touches nothing then).
CleanupOutcome cleanUp(std::string_view path, const std::optional<FileIdentity>& worm, FileSystem& files);

constexpr std::string_view outcomeText(CleanupOutcome outcome) {
    return outcome == CleanupOutcome::Succeeded ? kCleanupSucceededText : kCleanupFailedText;
}

}  // namespace quorvex
