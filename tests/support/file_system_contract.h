// One suite of behaviour every file system backend must show to the cleanup.
// A backend's test program supplies a driver and instantiates the suite with
// INSTANTIATE_TEST_SUITE_P(Name, FileSystemContract, testing::Values(&makeDriver)).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/files.h"

namespace quorvex::test {

// What the suite needs beyond the interface: a fresh folder, and the
// platform's own ways to put things in it and look at them, which never go
// through the file system under test. Names are relative to the folder, with
// '/' between folders.
class FileSystemDriver {
public:
    virtual ~FileSystemDriver() = default;
    virtual FileSystem& files() = 0;

    // The complete path of `name` in the folder, as the platform spells it;
    // "" names the folder itself.
    virtual std::string path(std::string_view name) const = 0;
    virtual char separator() const = 0;
    // Makes the folder the current directory for as long as the driver lives.
    virtual void enterFolder() = 0;

    // A file holding `bytes`, protected as a worm protects its file where
    // `protect` says so: read-only and hidden on Windows, a read-only mode on
    // Linux.
    virtual void makeFile(std::string_view name, std::string_view bytes, bool protect = false) = 0;
    // True while the file has all of the protection makeFile gave it.
    virtual bool isProtected(std::string_view name) = 0;
    virtual void makeDirectory(std::string_view name) = 0;
    virtual void hardLink(std::string_view existing, std::string_view name) = 0;
    // A symbolic link at `name` to the file or folder `target`: empty, or why
    // this system makes none here.
    virtual std::string linkToFile(std::string_view target, std::string_view name) = 0;
    virtual std::string linkToFolder(std::string_view target, std::string_view name) = 0;
    // Something that is no file, folder or link (a pipe); false where the
    // platform has nothing of the kind.
    virtual bool makeOther(std::string_view name) = 0;
    virtual void rename(std::string_view from, std::string_view to) = 0;
    // Removes a file (protected or not), a link or an empty folder.
    virtual void remove(std::string_view name) = 0;

    virtual std::string readFile(std::string_view name) = 0;
    // Which file stands at `name`, as a detection would record it.
    virtual std::optional<FileIdentity> identityOf(std::string_view name) = 0;
    // `identity` as a file with the same numbers has it on the next volume
    // mounted in the same place (the same drive letter, device or port).
    virtual FileIdentity onTheNextVolume(const FileIdentity& identity) = 0;
    // What stands at `name`, a link not followed; absent when nothing does.
    virtual std::optional<FileStatus::Kind> kindAt(std::string_view name) = 0;
    // Every name below the folder `name`, at any depth.
    virtual std::set<std::string> listing(std::string_view name) = 0;

    // The platform's texts that are no complete path, beyond the few every
    // platform shares, and some that are complete though they name nothing here.
    virtual std::vector<std::string> incompletePaths() = 0;
    virtual std::vector<std::string> completePaths() = 0;
    // The error of reach() for a complete path with an empty, "." or ".."
    // component, and of a step for a file that is not the expected one.
    virtual std::error_code malformedPathError() = 0;
    virtual std::error_code notTheExpectedFileError() = 0;
    // True where a read-only file's names cannot be removed (Windows), false
    // where the folder alone decides (POSIX).
    virtual bool readOnlyKeepsEveryName() = 0;
};

using FileSystemDriverFactory = std::unique_ptr<FileSystemDriver> (*)();

class FileSystemContract : public testing::TestWithParam<FileSystemDriverFactory> {
protected:
    void SetUp() override { driver = GetParam()(); }
    std::unique_ptr<FileSystemDriver> driver;
};

}  // namespace quorvex::test
