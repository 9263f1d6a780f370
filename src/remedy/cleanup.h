// Removing a detected worm's file and putting a directory of the same name in
// its place, so that the file cannot be created there again.
#pragma once

#include <string_view>

#include "platform/files.h"

namespace quorvex {

inline constexpr std::string_view kCleanupSucceededText = "病毒清除成功！";
inline constexpr std::string_view kCleanupFailedText = "病毒清除失败！";

enum class CleanupOutcome { Succeeded, Failed };

// Resets the file's attributes, deletes it and creates a directory at `path`,
// going on past each step's failure. Only a complete path is acted on: any
// other text (an empty caption, an earlier outcome text) touches nothing.
// Succeeds when a directory stands at the path afterwards.
CleanupOutcome cleanUp(std::string_view path, FileSystem& files);

constexpr std::string_view outcomeText(CleanupOutcome outcome) {
    return outcome == CleanupOutcome::Succeeded ? kCleanupSucceededText : kCleanupFailedText;
}

}  // namespace quorvex
