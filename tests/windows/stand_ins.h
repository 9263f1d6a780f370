// A folder whose name has a space and Chinese characters, with copies of the
// stand-in program under worms' names, started and ended by the test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace quorvex::test {

// How long anything may take on a busy machine: a bound on waiting for an
// event, never a measure of speed.
constexpr DWORD kEventBoundMs = 30000;

// Visits every name below `folder` (a path with a separator at its end) with
// its attributes, what a folder holds before the folder; a link or other
// reparse point is not entered.
void forEachBelow(const std::wstring& folder, const std::function<void(const std::wstring&, DWORD)>& visit);

class StandIns {
public:
    StandIns();
    ~StandIns();  // ends what is still running and removes the folder

    const std::wstring& folder() const { return folder_; }
    // The full path of `name` in the folder, in UTF-8.
    std::string path(const wchar_t* name) const;
    // Copies the stand-in into the folder as `name` (once), starts it and
    // returns once it runs (or has already ended).
    HANDLE start(const wchar_t* name);
    // Ends the stand-in and waits until it has gone.
    void end(HANDLE process);
    // Waits for the process to end; false when it is still running after `ms`.
    static bool endsWithin(HANDLE process, DWORD ms) { return WaitForSingleObject(process, ms) == WAIT_OBJECT_0; }

private:
    std::wstring folder_;
    std::vector<HANDLE> processes_;
};

}  // namespace quorvex::test
