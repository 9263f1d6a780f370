// The cleanup's file operations on Windows. A symbolic link or junction is
// acted on as itself, as these calls do by nature.
#pragma once

#include "platform/files.h"

namespace quorvex {

class Win32FileSystem final : public FileSystem {
public:
    // A drive-letter path ("C:\...") or a UNC path ("\\server\share..."); a
    // drive-relative ("C:x") or root-relative ("\x") path is not complete.
    bool isAbsolutePath(std::string_view path) const override;
    std::error_code resetAttributes(std::string_view path) override;
    std::error_code deleteFile(std::string_view path) override;
    std::error_code createDirectory(std::string_view path) override;
    bool isDirectory(std::string_view path) const override;
};

}  // namespace quorvex
