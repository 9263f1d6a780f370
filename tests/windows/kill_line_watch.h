// Counts, on a thread of its own, the kill lines of one worm that run at the
// same time: processes of the command interpreter and of taskkill whose
// command line names the worm, as the system's records list them.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace quorvex::test {

class KillLineWatch {
public:
    // Starts watching for lines naming `worm` ("winhxvh.exe").
    explicit KillLineWatch(std::wstring worm);
    ~KillLineWatch();

    // The most seen running at once since the watch began.
    int mostInterpreters() const { return mostInterpreters_; }
    int mostTaskkills() const { return mostTaskkills_; }

private:
    void watch();

    std::wstring worm_;
    std::atomic<bool> stop_{false};
    std::atomic<int> mostInterpreters_{0};
    std::atomic<int> mostTaskkills_{0};
    std::thread thread_;  // last: it starts once the members it uses exist
};

}  // namespace quorvex::test
