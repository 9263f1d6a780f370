#include "stand_ins.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "platform/windows/system/wide_text.h"

namespace quorvex::test {

namespace {

std::wstring directoryOfThisProgram() {
    wchar_t path[MAX_PATH];
    const std::wstring_view program(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return std::wstring(program.substr(0, program.find_last_of(L"\\/") + 1));
}

// The variable's value; empty when it is not set.
std::wstring environmentVariable(const wchar_t* name) {
    std::wstring value(GetEnvironmentVariableW(name, nullptr, 0), L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), DWORD(value.size())));
    return value;
}

const std::wstring& standInProgram() {
    static const std::wstring program = [] {
        const std::wstring name = environmentVariable(L"QUORVEX_STAND_IN");
        return directoryOfThisProgram() + (name.empty() ? L"stand_in.exe" : name);
    }();
    return program;
}

// Skips the current test, saying why, when the build found that the stand-in
// it chose cannot run on this machine: the test is not run (its fixture's
// constructor or SetUp made the StandIns).
void skipWhereTheStandInCannotRun() {
    if (const std::wstring problem = environmentVariable(L"QUORVEX_STAND_IN_PROBLEM"); !problem.empty())
        GTEST_SKIP() << toUtf8(problem);
}

}  // namespace

void forEachBelow(const std::wstring& folder, const std::function<void(const std::wstring&, DWORD)>& visit) {
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring_view name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + std::wstring(name);
        const DWORD attributes = entry.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            forEachBelow(path + L"\\", visit);
        visit(path, attributes);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

StandIns::StandIns() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t longTemp[MAX_PATH];
    GetLongPathNameW(temp, longTemp, MAX_PATH);  // as the process table spells paths
    // Wine reuses process IDs, and a run that was cut short leaves its folder.
    const std::wstring stem = std::wstring(longTemp) + L"U盘 病毒 " + std::to_wstring(GetCurrentProcessId());
    for (int attempt = 0;; ++attempt) {
        folder_ = stem + L"-" + std::to_wstring(attempt) + L"\\";
        if (CreateDirectoryW(folder_.c_str(), nullptr)) break;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS || attempt == 100) {
            ADD_FAILURE() << "cannot make " << toUtf8(folder_) << ": error " << error;
            break;
        }
    }
    skipWhereTheStandInCannotRun();
}

StandIns::~StandIns() {
    for (HANDLE process : processes_) {
        end(process);
        CloseHandle(process);
    }
    // The test may have left read-only files, folders and links.
    forEachBelow(folder_, [](const std::wstring& path, DWORD attributes) {
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) RemoveDirectoryW(path.c_str());
        else DeleteFileW(path.c_str());
    });
    RemoveDirectoryW(folder_.c_str());
}

void StandIns::end(HANDLE process) {
    TerminateProcess(process, 0);
    EXPECT_TRUE(endsWithin(process, kEventBoundMs)) << "a stand-in outlived its end";
}

std::string StandIns::path(const wchar_t* name) const { return toUtf8(folder_ + name); }

void StandIns::copyTo(const std::wstring& image) {
    if (!CopyFileW(standInProgram().c_str(), image.c_str(), TRUE) && GetLastError() != ERROR_FILE_EXISTS)
        ADD_FAILURE() << "cannot copy " << toUtf8(standInProgram()) << " to " << toUtf8(image) << ": error "
                      << GetLastError();
}

HANDLE StandIns::start(const wchar_t* name) {
    const std::wstring image = folder_ + name;
    copyTo(image);
    return run(image);
}

HANDLE StandIns::run(const std::wstring& image) {
    // The stand-in sets this event once it runs.
    SECURITY_ATTRIBUTES inherited{.nLength = sizeof(SECURITY_ATTRIBUTES), .bInheritHandle = TRUE};
    const HANDLE running = CreateEventW(&inherited, TRUE, FALSE, nullptr);
    std::wstring commandLine =
        L"\"" + image + L"\" " + std::to_wstring(reinterpret_cast<std::uintptr_t>(running));
    STARTUPINFOW startup{.cb = sizeof(STARTUPINFOW)};
    PROCESS_INFORMATION process{};
    // No console: a console of its own would bring a console host that can outlive it.
    EXPECT_TRUE(CreateProcessW(image.c_str(), commandLine.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                               nullptr, nullptr, &startup, &process))
        << "cannot start " << toUtf8(image) << ", a copy of " << toUtf8(standInProgram()) << ": error "
        << GetLastError() << " (a 32-bit program needs 32-bit Wine, wine32:i386)";
    // Or it ended first: a guard may have killed it before it got that far.
    const HANDLE events[] = {running, process.hProcess};
    EXPECT_NE(WaitForMultipleObjects(2, events, FALSE, kEventBoundMs), WAIT_TIMEOUT) << "the stand-in never ran";
    CloseHandle(running);
    CloseHandle(process.hThread);
    processes_.push_back(process.hProcess);
    return process.hProcess;
}

}  // namespace quorvex::test
