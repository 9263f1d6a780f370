// The cleanup on the Windows file system: the file system contract, and the
// outcomes only Windows can show.
#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "file_system_contract.h"
#include "platform/windows/files.h"
#include "platform/windows/process_table.h"
#include "platform/windows/system/unique_handle.h"
#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/win32_error.h"
#include "remedy/cleanup.h"
#include "stand_ins.h"

namespace quorvex::test {
namespace {

constexpr DWORD kWormsProtection = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

UniqueHandle openFile(const std::wstring& path, DWORD access, DWORD creation, DWORD attributes) {
    const HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, creation, attributes, nullptr);
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

class Win32Driver final : public FileSystemDriver {
public:
    ~Win32Driver() override {
        if (!previousDirectory_.empty()) SetCurrentDirectoryW(previousDirectory_.c_str());
    }
    FileSystem& files() override { return files_; }
    std::string path(std::string_view name) const override {
        std::string path = standIns.path(L"");
        path.pop_back();  // the separator after the folder
        if (name.empty()) return path;
        path += '\\';
        for (const char c : name) path += c == '/' ? '\\' : c;
        return path;
    }
    char separator() const override { return '\\'; }
    void enterFolder() override {
        wchar_t current[MAX_PATH];
        previousDirectory_.assign(current, GetCurrentDirectoryW(MAX_PATH, current));
        ASSERT_TRUE(SetCurrentDirectoryW(standIns.folder().c_str())) << GetLastError();
    }

    void makeFile(std::string_view name, std::string_view bytes, bool protect) override {
        const UniqueHandle file = openFile(wide(name), GENERIC_WRITE, CREATE_NEW,
                                           protect ? kWormsProtection : FILE_ATTRIBUTE_NORMAL);
        DWORD written = 0;
        ASSERT_TRUE(file && WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr))
            << GetLastError();
    }
    bool isProtected(std::string_view name) override {
        const DWORD attributes = attributesOf(name);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kWormsProtection) == kWormsProtection;
    }
    void makeDirectory(std::string_view name) override {
        EXPECT_TRUE(CreateDirectoryW(wide(name).c_str(), nullptr)) << GetLastError();
    }
    void hardLink(std::string_view existing, std::string_view name) override {
        EXPECT_TRUE(CreateHardLinkW(wide(name).c_str(), wide(existing).c_str(), nullptr)) << GetLastError();
    }
    std::string linkToFile(std::string_view target, std::string_view name) override {
        return symbolicLink(target, name, 0);
    }
    std::string linkToFolder(std::string_view target, std::string_view name) override {
        return symbolicLink(target, name, SYMBOLIC_LINK_FLAG_DIRECTORY);
    }
    bool makeOther(std::string_view) override { return false; }
    void rename(std::string_view from, std::string_view to) override {
        EXPECT_TRUE(MoveFileW(wide(from).c_str(), wide(to).c_str())) << GetLastError();
    }
    void remove(std::string_view name) override {
        if (!(attributesOf(name) & FILE_ATTRIBUTE_REPARSE_POINT))
            SetFileAttributesW(wide(name).c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(DeleteFileW(wide(name).c_str()) || RemoveDirectoryW(wide(name).c_str())) << GetLastError();
    }

    std::string readFile(std::string_view name) override {
        const UniqueHandle file = openFile(wide(name), GENERIC_READ, OPEN_EXISTING, 0);
        std::string bytes(4096, '\0');
        DWORD read = 0;
        if (!file || !ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr)) return "(unreadable)";
        bytes.resize(read);
        return bytes;
    }
    std::optional<FileIdentity> identityOf(std::string_view name) override {
        const auto status = statusAt(wide(name));
        return status ? std::optional(status->identity) : std::nullopt;
    }
    // A fresh volume gives its files the same IDs; only its serial number differs.
    FileIdentity onTheNextVolume(const FileIdentity& identity) override {
        FileIdentity next = identity;
        ++next.device;
        return next;
    }
    std::optional<FileStatus::Kind> kindAt(std::string_view name) override {
        const DWORD attributes = attributesOf(name);
        if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FileStatus::Kind::Other;
        return attributes & FILE_ATTRIBUTE_DIRECTORY ? FileStatus::Kind::Directory : FileStatus::Kind::File;
    }
    std::set<std::string> listing(std::string_view name) override {
        const std::wstring folder = name.empty() ? standIns.folder() : wide(name) + L"\\";
        std::set<std::string> names;
        forEachBelow(folder, [&](const std::wstring& path, DWORD) { names.insert(toUtf8(path.substr(folder.size()))); });
        return names;
    }

    std::vector<std::string> incompletePaths() override {
        return {"C:winsvcs.exe", "\\winsvcs.exe", "\\\\server", "\\\\server\\"};
    }
    std::vector<std::string> completePaths() override {
        return {"C:\\x.exe", "c:/x.exe", "\\\\server\\share\\x.exe", "//server/share/x"};
    }
    std::error_code malformedPathError() override { return win32Error(ERROR_INVALID_NAME); }
    std::error_code notTheExpectedFileError() override { return win32Error(ERROR_ACCESS_DENIED); }
    bool readOnlyKeepsEveryName() override { return true; }

    std::wstring wide(std::string_view name) const { return toWide(path(name)); }
    DWORD attributesOf(std::string_view name) const { return GetFileAttributesW(wide(name).c_str()); }

    StandIns standIns;

private:
    // Wine says it made one and makes none.
    std::string symbolicLink(std::string_view target, std::string_view name, DWORD flags) {
        if (!CreateSymbolicLinkW(wide(name).c_str(), wide(target).c_str(), flags))
            return "this system makes no symbolic links here (error " + std::to_string(GetLastError()) + ")";
        return kindAt(name) == FileStatus::Kind::Other ? "" : "this system makes no symbolic links, though it says so";
    }

    Win32FileSystem files_;
    std::wstring previousDirectory_;
};

std::unique_ptr<FileSystemDriver> makeWin32Driver() { return std::make_unique<Win32Driver>(); }

INSTANTIATE_TEST_SUITE_P(Win32, FileSystemContract, testing::Values(&makeWin32Driver));

class FilesTest : public testing::Test {
protected:
    Win32Driver driver;
};

// The identity comes from the process table, as a detection reads it.
TEST_F(FilesTest, RunningImageCannotBeDeletedAndTheCleanupFails) {
    // Started once it runs, so its image is mapped.
    const DWORD id = GetProcessId(driver.standIns.start(L"WinSvcs.exe"));
    const auto seen = SystemProcessRecord({id, L"WinSvcs.exe", 0, 0}, "WinSvcs.exe", 0).executable();
    ASSERT_TRUE(seen && seen->identity);
    EXPECT_EQ(seen->path, driver.path("WinSvcs.exe"));
    EXPECT_EQ(seen->identity, driver.identityOf("WinSvcs.exe"));
    EXPECT_FALSE(SystemProcessRecord({id, L"DriveMgr.exe", 0, 0}, "DriveMgr.exe", 0).executable()) << "a reused ID names another image";

    EXPECT_EQ(cleanUp(seen->path, seen->identity, driver.files()), CleanupOutcome::Failed);
    EXPECT_EQ(driver.kindAt("WinSvcs.exe"), FileStatus::Kind::File);
}

// Hidden alone does not keep a name: this one goes, and the file stays hidden
// under its other names.
TEST_F(FilesTest, HiddenFileWithOtherNamesLosesOnlyThisName) {
    driver.makeFile("system.dll", "precious", false);
    driver.hardLink("system.dll", "winversvcs.exe");
    ASSERT_TRUE(SetFileAttributesW(driver.wide("system.dll").c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(cleanUp(driver.path("winversvcs.exe"), driver.identityOf("winversvcs.exe"), driver.files()),
              CleanupOutcome::Succeeded);
    EXPECT_EQ(driver.kindAt("winversvcs.exe"), FileStatus::Kind::Directory);
    EXPECT_TRUE(driver.attributesOf("system.dll") & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(driver.readFile("system.dll"), "precious");
}

// Sharing modes bind only opens that ask for data: a folder held for its
// attributes alone could be renamed, and a junction put in its place.
TEST_F(FilesTest, FoldersOnTheWayCannotBeRenamedWhileTheCleanupHoldsThem) {
    driver.makeDirectory("drive");
    driver.makeFile("drive/WinSvcs.exe", "MZ worm", false);
    std::error_code error;
    auto entry = driver.files().reach(driver.path("drive/WinSvcs.exe"), error);
    ASSERT_TRUE(entry) << error.message();
    EXPECT_FALSE(MoveFileW(driver.wide("drive").c_str(), driver.wide("moved").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(driver.kindAt("drive"), FileStatus::Kind::Directory);
    entry.reset();
    driver.rename("drive", "moved");
}

// True where a name can be deleted while other handles stay open on its
// file (POSIX semantics: Windows 10 1709 and later, on NTFS).
bool namesGoAtOnce(Win32Driver& driver) {
    const std::wstring probe = driver.wide("probe.tmp");
    driver.makeFile("probe.tmp", "", false);
    bool atOnce = false;
    if (const UniqueHandle file(CreateFileW(probe.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr)); file) {
        DWORD deleteAtOnce = 0x3;  // FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS
        atOnce = SetFileInformationByHandle(file.get(), FILE_INFO_BY_HANDLE_CLASS(21), &deleteAtOnce,
                                            sizeof deleteAtOnce);
    }
    if (!atOnce) DeleteFileW(probe.c_str());
    return atOnce;
}

// A scanner or a preview holding the worm's file open (sharing its deletion)
// cannot keep the directory out where names go at once. Where a file goes
// only with its last handle (Wine 8, which refuses the class; Windows before
// 10 1709; FAT), its name stays until then and the cleanup fails; the
// cleanup after it makes the directory in the freed name.
TEST_F(FilesTest, WormFileHeldOpenElsewhere) {
    driver.makeFile("WinSvcs.exe", "MZ worm", true);
    const auto detected = driver.identityOf("WinSvcs.exe");
    UniqueHandle holder(CreateFileW(driver.wide("WinSvcs.exe").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
    ASSERT_TRUE(holder) << GetLastError();
    const bool atOnce = namesGoAtOnce(driver);

    EXPECT_EQ(cleanUp(driver.path("WinSvcs.exe"), detected, driver.files()),
              atOnce ? CleanupOutcome::Succeeded : CleanupOutcome::Failed);
    EXPECT_EQ(driver.kindAt("WinSvcs.exe"), atOnce ? FileStatus::Kind::Directory : FileStatus::Kind::File);
    char bytes[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(holder.get(), bytes, sizeof bytes, &read, nullptr));
    EXPECT_EQ(std::string(bytes, read), "MZ worm") << "the holder's file is its own until it lets go";
    holder.reset();
    EXPECT_EQ(cleanUp(driver.path("WinSvcs.exe"), detected, driver.files()), CleanupOutcome::Succeeded);
    EXPECT_EQ(driver.kindAt("WinSvcs.exe"), FileStatus::Kind::Directory);
}

// A name in a drive's root: its folder is the root, which is not held.
TEST_F(FilesTest, NameAScannerFreedInADrivesRootBecomesADirectory) {
    const std::string path = "C:\\quorvex-" + std::to_string(GetCurrentProcessId()) + "-WinSvcs.exe";
    const std::wstring wide = toWide(path);
    ASSERT_TRUE(UniqueHandle(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)))
        << GetLastError();
    const auto detected = statusAt(wide);
    ASSERT_TRUE(DeleteFileW(wide.c_str()));
    ASSERT_TRUE(detected);
    EXPECT_EQ(cleanUp(path, detected->identity, driver.files()), CleanupOutcome::Succeeded);
    EXPECT_EQ(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));
    RemoveDirectoryW(wide.c_str());
}

// A byte that is no WTF-8 would reach the system as U+FFFD, naming another file.
TEST_F(FilesTest, ByteThatIsNoWtf8NamesNoFile) {
    const std::string replaced = "\xEF\xBF\xBDwinsvcs.exe";
    driver.makeFile(replaced, "MZ", false);
    EXPECT_EQ(cleanUp(driver.path("\xFFwinsvcs.exe"), driver.identityOf(replaced), driver.files()),
              CleanupOutcome::Failed);
    EXPECT_EQ(driver.kindAt(replaced), FileStatus::Kind::File);
}

}  // namespace
}  // namespace quorvex::test
