#include "platform/linux/wine_image.h"

#include <sys/sysmacros.h>

#include <cstdint>
#include <string>

#include "platform/linux/proc_files.h"
#include "platform/linux/proc_text.h"

namespace quorvex {

std::optional<ExecutableFile> readWineImage(const ProcessDirectory& process, std::string_view imageName) {
    const auto maps = readWholeFile(process.proc(), process.file("maps").c_str());
    if (!maps) return std::nullopt;
    const auto image = proctext::wineImage(*maps, imageName);
    if (!image) return std::nullopt;
    const FileIdentity identity{std::uint64_t(makedev(image->deviceMajor, image->deviceMinor)), image->inode};
    return ExecutableFile{std::string(image->path), identity};
}

}  // namespace quorvex
