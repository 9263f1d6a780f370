#include "platform/linux/proc/wine_image.h"

#include <fcntl.h>
#include <sys/sysmacros.h>

#include <string>

#include "platform/linux/proc/proc_files.h"
#include "platform/linux/proc/proc_text.h"
#include "platform/linux/system/file_status.h"

namespace quorvex {

std::optional<ExecutableFile> readWineImage(const ProcessDirectory& process, std::string_view imageName) {
    const auto maps = readWholeFile(process.proc(), process.file("maps").c_str());
    if (!maps) return std::nullopt;
    const auto image = proctext::wineImage(*maps, imageName);
    if (!image) return std::nullopt;
    ExecutableFile file{std::string(image->path), std::nullopt};
    // The maps line gives only the device and inode. The mapping keeps their
    // file system mounted, so while it lasts no other file has them: a file
    // at the path with the same numbers is the image itself.
    const auto named = statusAt(AT_FDCWD, file.path.c_str());
    if (named && named->kind == FileStatus::Kind::File &&
        named->identity.device == makedev(image->deviceMajor, image->deviceMinor) &&
        named->identity.inode == image->inode)
        file.identity = named->identity;
    return file;
}

}  // namespace quorvex
