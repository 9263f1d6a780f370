// The cleanup on the Windows file system, with the outcomes Windows can show.
#include <gtest/gtest.h>

#include "platform/windows/system_process_table.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win32_files.h"
#include "remedy/cleanup.h"
#include "stand_ins.h"

namespace quorvex::test {
namespace {

class FilesTest : public testing::Test {
protected:
    std::wstring wide(const wchar_t* name) const { return standIns.folder() + name; }
    void makeFile(const wchar_t* name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        const HANDLE file = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
        CloseHandle(file);
    }
    DWORD attributesOf(const wchar_t* name) const { return GetFileAttributesW(wide(name).c_str()); }
    bool isPlainDirectory(const wchar_t* name) const {
        const DWORD attributes = attributesOf(name);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
               !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }

    bool isPlainFile(const wchar_t* name) const {
        const DWORD attributes = attributesOf(name);
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    std::optional<FileIdentity> identityOf(const wchar_t* name) const {
        const auto status = statusAt(wide(name));
        if (!status) return std::nullopt;
        return status->identity;
    }
    // The cleanup of the worm detected at `name` while its file stood there.
    CleanupOutcome cleanUpDetected(const wchar_t* name) { return cleanUp(standIns.path(name), identityOf(name), files); }

    StandIns standIns;
    Win32FileSystem files;
};

TEST_F(FilesTest, ReadOnlyHiddenWormFileIsReplacedByADirectory) {
    makeFile(L"winsvcs.exe", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(attributesOf(L"winsvcs.exe") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(cleanUpDetected(L"winsvcs.exe"), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isPlainDirectory(L"winsvcs.exe"));
}

TEST_F(FilesTest, DirectoryAlreadyThereIsNeverDeleted) {
    ASSERT_TRUE(CreateDirectoryW(wide(L"VolDriver.exe").c_str(), nullptr));
    makeFile(L"VolDriver.exe\\inside.txt");
    EXPECT_EQ(cleanUp(standIns.path(L"VolDriver.exe"), FileIdentity{1, 2}, files), CleanupOutcome::Succeeded);
    EXPECT_NE(attributesOf(L"VolDriver.exe\\inside.txt"), INVALID_FILE_ATTRIBUTES);
}

// The identity comes from the process table, as a detection reads it.
TEST_F(FilesTest, RunningImageCannotBeDeletedAndTheCleanupFails) {
    const HANDLE worm = standIns.start(L"WinSvcs.exe");
    std::optional<ExecutableFile> seen;
    const DWORD id = GetProcessId(worm);
    // The table names the process once its image is mapped.
    for (int attempt = 0; !seen && attempt < 2000 && WaitForSingleObject(worm, 10) == WAIT_TIMEOUT; ++attempt)
        seen = SystemProcessRecord(id, "WinSvcs.exe").executable();
    ASSERT_TRUE(seen && seen->identity);
    EXPECT_EQ(seen->path, standIns.path(L"WinSvcs.exe"));
    EXPECT_EQ(seen->identity, identityOf(L"WinSvcs.exe"));
    EXPECT_FALSE(SystemProcessRecord(id, "DriveMgr.exe").executable()) << "a reused ID names another image";

    EXPECT_EQ(cleanUp(seen->path, seen->identity, files), CleanupOutcome::Failed);
    const DWORD attributes = attributesOf(L"WinSvcs.exe");
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FilesTest, WhatIsNotTheWormsFileIsLeftAlone) {
    makeFile(L"winrgtt.exe");
    const auto detected = identityOf(L"winrgtt.exe");
    ASSERT_TRUE(MoveFileW(wide(L"winrgtt.exe").c_str(), wide(L"kept.exe").c_str()));
    EXPECT_EQ(cleanUp(standIns.path(L"winrgtt.exe"), detected, files), CleanupOutcome::Failed) << "nothing there";
    EXPECT_EQ(attributesOf(L"winrgtt.exe"), INVALID_FILE_ATTRIBUTES);
    makeFile(L"winrgtt.exe", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(cleanUp(standIns.path(L"winrgtt.exe"), detected, files), CleanupOutcome::Failed) << "another file";
    EXPECT_TRUE(attributesOf(L"winrgtt.exe") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(cleanUp(standIns.path(L"winrgtt.exe"), std::nullopt, files), CleanupOutcome::Failed) << "unknown";
}

// Only this name goes; the file keeps its attributes under its other names.
TEST_F(FilesTest, HardLinkedFileKeepsItsAttributes) {
    makeFile(L"system.dll");
    ASSERT_TRUE(CreateHardLinkW(wide(L"winversvcs.exe").c_str(), wide(L"system.dll").c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesW(wide(L"system.dll").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(cleanUpDetected(L"winversvcs.exe"), CleanupOutcome::Failed) << "a read-only file keeps every name";
    EXPECT_TRUE(attributesOf(L"system.dll") & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(attributesOf(L"winversvcs.exe"), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(SetFileAttributesW(wide(L"system.dll").c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(cleanUpDetected(L"winversvcs.exe"), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isPlainDirectory(L"winversvcs.exe"));
    EXPECT_TRUE(attributesOf(L"system.dll") & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(FilesTest, LinkAtThePathOrOnTheWayTouchesNothing) {
    makeFile(L"target.txt", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateDirectoryW(wide(L"drive").c_str(), nullptr));
    makeFile(L"drive\\winhxvh.exe");
    const auto detected = identityOf(L"drive\\winhxvh.exe");
    if (!CreateSymbolicLinkW(wide(L"winhxvh.exe").c_str(), wide(L"target.txt").c_str(), 0) ||
        !CreateSymbolicLinkW(wide(L"linked").c_str(), wide(L"drive").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
        GTEST_SKIP() << "this system makes no symbolic links here (error " << GetLastError() << ")";
    EXPECT_EQ(cleanUp(standIns.path(L"winhxvh.exe"), identityOf(L"target.txt"), files), CleanupOutcome::Failed);
    EXPECT_TRUE(attributesOf(L"target.txt") & FILE_ATTRIBUTE_READONLY) << "the target was not touched";
    EXPECT_EQ(cleanUp(standIns.path(L"linked\\winhxvh.exe"), detected, files), CleanupOutcome::Failed);
    EXPECT_FALSE(attributesOf(L"drive\\winhxvh.exe") & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FilesTest, CaptionsThatAreNoCompletePathTouchNothing) {
    ASSERT_TRUE(SetCurrentDirectoryW(standIns.folder().c_str()));
    makeFile(L"winsvcs.exe");
    const auto worm = identityOf(L"winsvcs.exe");
    for (std::string_view caption :
         {std::string_view{}, kCleanupSucceededText, kCleanupFailedText, std::string_view{"winsvcs.exe"},
          std::string_view{"C:winsvcs.exe"}, std::string_view{"\\winsvcs.exe"}, std::string_view{"\\\\server"},
          std::string_view{"\\\\server\\"}}) {
        EXPECT_FALSE(files.isAbsolutePath(caption)) << caption;
        EXPECT_EQ(cleanUp(caption, worm, files), CleanupOutcome::Failed) << caption;
    }
    const std::string folder = standIns.path(L"");
    for (const std::string& caption : {folder + ".\\winsvcs.exe", folder + "..\\x\\winsvcs.exe", folder + "\\winsvcs.exe"})
        EXPECT_EQ(cleanUp(caption, worm, files), CleanupOutcome::Failed) << caption;
    EXPECT_TRUE(isPlainFile(L"winsvcs.exe"));
    // A byte that is no WTF-8 would reach the system as U+FFFD, naming another file.
    makeFile(L"\uFFFDwinsvcs.exe");
    EXPECT_EQ(cleanUp(folder + "\xFF" "winsvcs.exe", identityOf(L"\uFFFDwinsvcs.exe"), files), CleanupOutcome::Failed);
    EXPECT_TRUE(isPlainFile(L"\uFFFDwinsvcs.exe"));
    SetCurrentDirectoryW(L"C:\\");
    for (std::string_view path : {"C:\\x.exe", "c:/x.exe", "\\\\server\\share\\x.exe", "//server/share/x"})
        EXPECT_TRUE(files.isAbsolutePath(path)) << path;
}

}  // namespace
}  // namespace quorvex::test
