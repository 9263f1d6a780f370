// The cleanup's file operations on Windows. The folders on the way to the
// name are opened one by one, refusing every reparse point (symbolic links,
// junctions, mount points), and held open for traversal without delete
// sharing, so none of them can be renamed or replaced while the cleanup acts
// on the name.
#pragma once

#include <string>

#include "platform/files.h"

namespace quorvex {

class Win32FileSystem final : public FileSystem {
public:
    // A drive-letter path ("C:\...") or a UNC path ("\\server\share..."); a
    // drive-relative ("C:x") or root-relative ("\x") path is not complete.
    bool isAbsolutePath(std::string_view path) const override;
    std::unique_ptr<FolderEntry> reach(std::string_view path, std::error_code& error) override;
};

// What stands at `path`, looked at as itself (a reparse point is not
// followed); absent when it cannot be opened.
std::optional<FileStatus> statusAt(const std::wstring& path);

}  // namespace quorvex
