// The guard's process table and cleanup on 64-bit Windows, built for either
// architecture: a worm runs from System32 and a namesake lies in SysWOW64,
// where the file-system redirector of a 32-bit program leads. The worm is
// seen at its true path and cleaned up once it has ended; the namesake is
// never touched. Runs in a 64-bit prefix, with a 64-bit stand-in
// (QUORVEX_STAND_IN names it in a 32-bit build).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "monitor/monitor.h"
#include "platform/windows/files.h"
#include "platform/windows/process_table.h"
#include "platform/windows/system/unique_handle.h"
#include "platform/windows/system/wide_text.h"
#include "remedy/cleanup.h"
#include "stand_ins.h"

namespace quorvex::test {
namespace {

// A system folder as `folderOf` names it, with a separator at its end; empty
// when there is none.
std::wstring systemFolder(UINT(WINAPI* folderOf)(LPWSTR, UINT)) {
    wchar_t path[MAX_PATH];
    const UINT length = folderOf(path, MAX_PATH);
    return length ? std::wstring(path, length) + L"\\" : std::wstring();
}

bool isWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

UniqueHandle openFile(const std::wstring& path, DWORD access, DWORD creation) {
    const HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, creation, 0, nullptr);
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

std::string contentsOf(const std::wstring& path) {
    const UniqueHandle file = openFile(path, GENERIC_READ, OPEN_EXISTING);
    std::string bytes(4096, '\0');
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr)) return "(unreadable)";
    bytes.resize(read);
    return bytes;
}

// Removes what a test left at these paths, files or folders, once the
// processes have ended.
struct RemovedAtTheEnd {
    std::vector<std::wstring> paths;
    ~RemovedAtTheEnd() {
        for (const std::wstring& path : paths)
            if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
    }
};

class Wow64Folders : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(sysWow64.empty()) << "this is no 64-bit Windows: run in a 64-bit Wine prefix";
        left.paths = {ownSystem32 + name, sysWow64 + name};
    }

    // As programs name them: "C:\windows\system32\", "C:\windows\syswow64\".
    const std::wstring system32 = systemFolder(GetSystemDirectoryW);
    const std::wstring sysWow64 = systemFolder(GetSystemWow64DirectoryW);
    // System32 itself for the test's own steps, which do not use the guard's
    // code: a 32-bit program reaches it through the Sysnative alias.
    const std::wstring ownSystem32 = isWow64() ? systemFolder(GetWindowsDirectoryW) + L"Sysnative\\" : system32;
    const std::wstring name = L"WinSvcs-w" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    RemovedAtTheEnd left;
    StandIns standIns;  // ended before `left` goes
};

TEST_F(Wow64Folders, WormInSystem32IsCleanedUpAndItsNamesakeInSysWow64IsNeverTouched) {
    const std::string namesakeBytes = "a namesake in SysWOW64, never to be touched";
    {
        const UniqueHandle namesake = openFile(sysWow64 + name, GENERIC_WRITE, CREATE_NEW);
        DWORD written = 0;
        ASSERT_TRUE(namesake && WriteFile(namesake.get(), namesakeBytes.data(), DWORD(namesakeBytes.size()),
                                          &written, nullptr))
            << GetLastError();
    }
    const auto namesakeBefore = statusAt(sysWow64 + name);
    ASSERT_TRUE(namesakeBefore);
    StandIns::copyTo(ownSystem32 + name);
    const HANDLE worm = standIns.run(ownSystem32 + name);

    const std::string image = toUtf8(name);
    const std::string killLine = "cmd /c taskkill /f /im " + image;
    const SystemProcessTable table;
    // The kill is the test's: Wine's 32-bit taskkill finds no 64-bit process.
    RecordingKiller killer;
    killer.onOrder = [&] { standIns.end(worm); };
    const WatchEntry entry{"Timer1", image, killLine, "alert"};
    const auto detection = Monitor(table, killer, {&entry, 1}).pollTick(entry);
    ASSERT_TRUE(detection && detection->lastExecutable) << "the worm was not seen";
    EXPECT_EQ(killer.orders, (std::vector<RecordingKiller::Order>{{image, killLine}}));
    const ExecutableFile seen = *detection->lastExecutable;
    EXPECT_EQ(seen.path, toUtf8(system32 + name)) << "named by its true path";
    ASSERT_TRUE(seen.identity);
    EXPECT_NE(seen.identity, namesakeBefore->identity) << "the namesake was taken for the worm's file";

    Win32FileSystem files;
    EXPECT_EQ(cleanUp(seen.path, seen.identity, files), CleanupOutcome::Succeeded);
    const DWORD attributes = GetFileAttributesW((ownSystem32 + name).c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        << "no directory in System32 where the worm was";
    const auto namesakeAfter = statusAt(sysWow64 + name);
    ASSERT_TRUE(namesakeAfter) << "the namesake is gone";
    EXPECT_EQ(namesakeAfter->kind, FileStatus::Kind::File);
    EXPECT_EQ(namesakeAfter->identity, namesakeBefore->identity);
    EXPECT_EQ(contentsOf(sysWow64 + name), namesakeBytes);
}

}  // namespace
}  // namespace quorvex::test
