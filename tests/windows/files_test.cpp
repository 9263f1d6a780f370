// The cleanup on the Windows file system, with the outcomes Windows can show.
#include <gtest/gtest.h>

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

    StandIns standIns;
    Win32FileSystem files;
};

TEST_F(FilesTest, ReadOnlyHiddenFileIsReplacedByADirectory) {
    makeFile(L"winsvcs.exe", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(attributesOf(L"winsvcs.exe") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(files.deleteFile(standIns.path(L"winsvcs.exe")).value(), ERROR_ACCESS_DENIED)
        << "read-only files resist deletion until their attributes are reset";
    EXPECT_EQ(cleanUp(standIns.path(L"winsvcs.exe"), files), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isPlainDirectory(L"winsvcs.exe"));
}

TEST_F(FilesTest, FileAlreadyGoneStillGetsItsDirectory) {
    EXPECT_EQ(files.resetAttributes(standIns.path(L"DriveMgr.exe")).value(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(cleanUp(standIns.path(L"DriveMgr.exe"), files), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isPlainDirectory(L"DriveMgr.exe"));
}

TEST_F(FilesTest, DirectoryAlreadyThereIsNeverDeleted) {
    ASSERT_TRUE(CreateDirectoryW(wide(L"VolDriver.exe").c_str(), nullptr));
    makeFile(L"VolDriver.exe\\inside.txt");
    EXPECT_TRUE(files.deleteFile(standIns.path(L"VolDriver.exe")));
    EXPECT_EQ(cleanUp(standIns.path(L"VolDriver.exe"), files), CleanupOutcome::Succeeded);
    EXPECT_NE(attributesOf(L"VolDriver.exe\\inside.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FilesTest, RunningImageCannotBeDeletedAndTheCleanupFails) {
    standIns.start(L"WinSvcs.exe");
    Sleep(200);  // let it map its image
    EXPECT_EQ(files.deleteFile(standIns.path(L"WinSvcs.exe")).value(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(cleanUp(standIns.path(L"WinSvcs.exe"), files), CleanupOutcome::Failed);
    const DWORD attributes = attributesOf(L"WinSvcs.exe");
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FilesTest, LinkIsDeletedItselfAndItsTargetKept) {
    makeFile(L"target.txt", FILE_ATTRIBUTE_READONLY);
    if (!CreateSymbolicLinkW(wide(L"winhxvh.exe").c_str(), wide(L"target.txt").c_str(), 0))
        GTEST_SKIP() << "this system makes no symbolic links here (error " << GetLastError() << ")";
    EXPECT_EQ(cleanUp(standIns.path(L"winhxvh.exe"), files), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isPlainDirectory(L"winhxvh.exe"));
    EXPECT_TRUE(attributesOf(L"target.txt") & FILE_ATTRIBUTE_READONLY) << "the target was not touched";
}

TEST_F(FilesTest, CaptionsThatAreNoCompletePathTouchNothing) {
    ASSERT_TRUE(SetCurrentDirectoryW(standIns.folder().c_str()));
    for (std::string_view caption :
         {std::string_view{}, kCleanupSucceededText, kCleanupFailedText, std::string_view{"winsvcs.exe"},
          std::string_view{"C:winsvcs.exe"}, std::string_view{"\\winsvcs.exe"}, std::string_view{"\\\\server"},
          std::string_view{"\\\\server\\"}}) {
        EXPECT_FALSE(files.isAbsolutePath(caption)) << caption;
        EXPECT_EQ(cleanUp(caption, files), CleanupOutcome::Failed) << caption;
    }
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((standIns.folder() + L"*").c_str(), &entry);
    int entries = 0;
    do entries += entry.cFileName[0] != L'.';
    while (FindNextFileW(search, &entry));
    FindClose(search);
    EXPECT_EQ(entries, 0);
    SetCurrentDirectoryW(L"C:\\");
    for (std::string_view path : {"C:\\x.exe", "c:/x.exe", "\\\\server\\share\\x.exe", "//server/share"})
        EXPECT_TRUE(files.isAbsolutePath(path)) << path;
}

}  // namespace
}  // namespace quorvex::test
