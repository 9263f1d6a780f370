// The program as a user meets it: a second start in the session ends at once;
// a close typed on the alert only hides it and the guard goes on; an end
// request from another program ends it, and so does the end of the session;
// other programs of the user cannot end it by force.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/windows/session_claim.h"
#include "platform/windows/system/unique_handle.h"
#include "platform/windows/system/wide_text.h"
#include "stand_ins.h"
#include "win32_driver.h"

namespace quorvex::test {
namespace {

constexpr DWORD kBoundMs = kEventBoundMs;

// Another process's windows raise no event here: look until `done` holds.
bool eventually(const std::function<bool()>& done, DWORD boundMs = kBoundMs) {
    const ULONGLONG deadline = GetTickCount64() + boundMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(20);
    }
    return true;
}

// A top-level window of the process with exactly this title, or null.
HWND windowOf(DWORD processId, std::wstring_view title, bool visibleOnly) {
    struct Search {
        DWORD processId;
        std::wstring_view title;
        bool visibleOnly;
        HWND found = nullptr;
    } search{processId, title, visibleOnly};
    EnumWindows(
        [](HWND window, LPARAM context) CALLBACK {
            auto& search = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t text[64] = L"";
            GetWindowTextW(window, text, 64);
            if (owner != search.processId || text != search.title || (search.visibleOnly && !IsWindowVisible(window)))
                return TRUE;
            search.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The window is the active one with the keyboard focus in it, so typed keys
// reach it. Another program's window is activated by its own thread, when
// that gets to it: keys typed before go wherever the focus was.
bool hasTheKeyboard(HWND window) {
    GUITHREADINFO thread{.cbSize = sizeof(GUITHREADINFO)};
    return GetForegroundWindow() == window && GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) &&
           thread.hwndActive == window && (thread.hwndFocus == window || IsChild(window, thread.hwndFocus));
}

// Alt+F4 on the window, as a user types it there: true once it is hidden.
// The keys sent here are unknown to X: where the window manager's focus
// reaches the program after the Alt went down (the alert was just mapped),
// Wine matches its keyboard to X's and lets the Alt go, and F4 alone closes
// nothing. So a typing that has not hidden the window in a while is typed
// again, each time once the window has the keyboard.
bool altF4Hides(HWND window) {
    constexpr DWORD kAttemptMs = 3000;
    const ULONGLONG deadline = GetTickCount64() + kBoundMs;
    do {
        SetForegroundWindow(window);
        if (!eventually([&] { return hasTheKeyboard(window); })) return false;
        typeAltF4();
        if (eventually([&] { return !IsWindowVisible(window); }, kAttemptMs)) return true;
    } while (GetTickCount64() < deadline);
    return false;
}

class Program {
public:
    Program() {
        std::wstring commandLine = L"\"" + programPath() + L"\"";
        STARTUPINFOW startup{.cb = sizeof(STARTUPINFOW)};
        EXPECT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &process_))
            << GetLastError();
        CloseHandle(process_.hThread);
    }
    ~Program() {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, kBoundMs);
        CloseHandle(process_.hProcess);
    }
    DWORD id() const { return process_.dwProcessId; }
    // Open with every right since its creation, whatever the program allows since.
    HANDLE handle() const { return process_.hProcess; }
    bool endsWithin(DWORD ms) const { return WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0; }
    DWORD exitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION process_{};
};

// A stand-in worm is killed and the alert comes up. Another guard on the
// machine (a Linux copy sees Wine's processes too) may kill a stand-in
// before this one sees it: then another is started, a few times at most.
bool detectionShowsTheAlert(StandIns& standIns, HWND main) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!StandIns::endsWithin(standIns.start(L"WinSvcs.exe"), kBoundMs)) return false;
        if (eventually([&] { return IsWindowVisible(main) != FALSE; })) return true;
    }
    return false;
}

TEST(Win32Program, AltF4HidesTheAlertTheGuardGoesOnAndWmCloseEndsIt) {
    StandIns standIns;
    Program program;
    HWND main = nullptr;
    ASSERT_TRUE(eventually([&] { return (main = windowOf(program.id(), L"Quorvex", false)) != nullptr; }));
    // The splash (no title) comes, and goes after its three seconds: looked
    // for first, as a second start may take longer than that.
    ASSERT_TRUE(eventually([&] { return windowOf(program.id(), L"", true) != nullptr; }));
    {
        // Started again in the same session, it ends at once, without a window.
        Program second;
        ASSERT_TRUE(second.endsWithin(kBoundMs)) << "a second guard runs in the session";
        EXPECT_EQ(second.exitCode(), 0u);
        EXPECT_FALSE(windowOf(second.id(), L"Quorvex", false));
    }
    ASSERT_TRUE(eventually([&] { return !windowOf(program.id(), L"", true); }));

    ASSERT_TRUE(detectionShowsTheAlert(standIns, main)) << "no alert";

    ASSERT_TRUE(altF4Hides(main)) << "Alt+F4 left the alert up";
    EXPECT_FALSE(program.endsWithin(0));

    EXPECT_TRUE(detectionShowsTheAlert(standIns, main)) << "the guard stopped";

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.endsWithin(kBoundMs)) << "WM_CLOSE from another program did not end it";
}

// The session's name taken keeps a second guard out only while a guard runs
// in the session. Taken by a guard started elevated, the mutex may not be
// opened at all by a guard of the user; taken by any other program of the
// user (a squatter), it must not keep the guard from guarding.
TEST(Win32Program, ATakenSessionNameKeepsItOutOnlyWhileAGuardRuns) {
    SECURITY_DESCRIPTOR noAccess;
    ACL noEntries;
    ASSERT_TRUE(InitializeSecurityDescriptor(&noAccess, SECURITY_DESCRIPTOR_REVISION) &&
                InitializeAcl(&noEntries, sizeof(noEntries), ACL_REVISION) &&
                SetSecurityDescriptorDacl(&noAccess, TRUE, &noEntries, FALSE));
    SECURITY_ATTRIBUTES asElevated{.nLength = sizeof(SECURITY_ATTRIBUTES), .lpSecurityDescriptor = &noAccess};
    const std::wstring name = L"Local\\" + std::wstring(kGuardMutexName);
    for (SECURITY_ATTRIBUTES* access : {&asElevated, static_cast<SECURITY_ATTRIBUTES*>(nullptr)}) {
        SCOPED_TRACE(access ? "a mutex the user may not open" : "a mutex anyone may open");
        const UniqueHandle held(CreateMutexW(access, FALSE, name.c_str()));
        ASSERT_TRUE(held && GetLastError() != ERROR_ALREADY_EXISTS) << "a guard runs beside the test";
        if (access) ASSERT_FALSE(UniqueHandle(CreateMutexW(nullptr, FALSE, name.c_str()))) << "anyone may open it";
        StandIns standIns;
        {
            // The session's processes show a guard: a program of its image name.
            const HANDLE guard = standIns.start(L"quorvex.exe");
            Program second;
            ASSERT_TRUE(second.endsWithin(kBoundMs)) << "a second guard runs in the session";
            EXPECT_EQ(second.exitCode(), 0u);
            standIns.end(guard);
        }
        // Only the name is taken now.
        Program program;
        EXPECT_TRUE(StandIns::endsWithin(standIns.start(L"WinSvcs.exe"), kBoundMs)) << "the worm lives on";
        EXPECT_FALSE(program.endsWithin(0)) << "the guard ended";
    }
}

// As the system ends a session: it asks every top-level window, then tells
// each whether the session ends. The guard never refuses, and goes on when
// the session goes on.
void endSession(HWND window, bool ends) {
    DWORD_PTR answer = FALSE;
    ASSERT_TRUE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, kBoundMs, &answer));
    EXPECT_EQ(answer, DWORD_PTR(TRUE)) << "the guard held up the log-off";
    ASSERT_TRUE(SendMessageTimeoutW(window, WM_ENDSESSION, ends, ENDSESSION_LOGOFF, SMTO_NORMAL, kBoundMs, &answer));
}

TEST(Win32Program, TheEndOfTheSessionEndsTheGuardWithoutAWord) {
    StandIns standIns;
    Program program;
    HWND main = nullptr;
    ASSERT_TRUE(eventually([&] { return (main = windowOf(program.id(), L"Quorvex", false)) != nullptr; }));
    endSession(main, false);  // another program refused: the session goes on
    ASSERT_TRUE(detectionShowsTheAlert(standIns, main)) << "the guard stopped with the session going on";

    endSession(main, true);
    EXPECT_TRUE(program.endsWithin(kBoundMs)) << "the guard outlived its session";
    EXPECT_EQ(program.exitCode(), 0u) << "it ended with a report";
}

// What the guard's process grants, read back from it: its user may query it
// and wait for it, and nothing more, so a worm of the user cannot end it; the
// system and administrators may do anything. Wine keeps the list but does
// not enforce it.
TEST(Win32Program, OnlyTheSystemAndAdministratorsMayEndTheGuardsProcess) {
    Program program;
    // The access list is set before any window is made.
    ASSERT_TRUE(eventually([&] { return windowOf(program.id(), L"Quorvex", false) != nullptr; }));
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(program.handle(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                              nullptr, &descriptor),
              DWORD(ERROR_SUCCESS));
    const std::unique_ptr<void, decltype(&LocalFree)> freed(descriptor, &LocalFree);
    ASSERT_TRUE(acl) << "no access list: everyone may do anything";

    std::vector<std::pair<std::string, DWORD>> entries;
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(acl, index, &ace));
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        ASSERT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << "entry " << index;
        wchar_t* sid = nullptr;
        ASSERT_TRUE(ConvertSidToStringSidW(&allowed->SidStart, &sid));
        entries.emplace_back(toUtf8(sid), allowed->Mask);
        LocalFree(sid);
    }
    const std::vector<std::pair<std::string, DWORD>> expected = {
        {"S-1-3-4", PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE},  // OWNER RIGHTS: no implicit WRITE_DAC
        {"S-1-5-18", PROCESS_ALL_ACCESS},                              // SYSTEM
        {"S-1-5-32-544", PROCESS_ALL_ACCESS},                          // Administrators
    };
    EXPECT_EQ(entries, expected);
}

}  // namespace
}  // namespace quorvex::test
