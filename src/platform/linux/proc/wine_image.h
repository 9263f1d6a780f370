// The Windows program a Wine-hosted process runs, as mapped into its memory.
#pragma once

#include <optional>
#include <string_view>

#include "platform/linux/proc/process_directory.h"
#include "platform/process_table.h"

namespace quorvex {

// The mapped image `imageName` of the process, by its path and, where the
// file at that path is the one mapped, its identity; nullopt when the maps
// cannot be read or hold no such image (see proctext::wineImage).
std::optional<ExecutableFile> readWineImage(const ProcessDirectory& process, std::string_view imageName);

}  // namespace quorvex
