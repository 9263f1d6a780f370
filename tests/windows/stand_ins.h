// A folder whose name has a space and Chinese characters, with copies of the
// stand-in program under worms' names, started and ended by the test. The
// copies are of stand_in.exe, built for the test's own architecture, or of
// the program beside it that QUORVEX_STAND_IN names: a 64-bit build's tests
// run there again with 32-bit worms (stand_in_x86.exe). Where the build
// found that the stand-in it chose cannot run on this machine (a 32-bit one
// where no 32-bit Wine runs), QUORVEX_STAND_IN_PROBLEM says so in its place,
// and a test that makes a StandIns is skipped with those words.
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
    // Copies the stand-in to `image`, a path anywhere (once).
    static void copyTo(const std::wstring& image);
    // Starts the copy at `image` and returns once it runs (or has already
    // ended); it is ended with the others.
    HANDLE run(const std::wstring& image);
    // Ends the stand-in and waits until it has gone.
    void end(HANDLE process);
    // Waits for the process to end; false when it is still running after `ms`.
    static bool endsWithin(HANDLE process, DWORD ms) { return WaitForSingleObject(process, ms) == WAIT_OBJECT_0; }

private:
    std::wstring folder_;
    std::vector<HANDLE> processes_;
};

}  // namespace quorvex::test
