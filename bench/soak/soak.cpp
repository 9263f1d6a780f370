// Long-run check: does the guard's memory stay flat? Runs the whole program
// on the headless toolkit for many virtual poll ticks against a churning
// process table, then the real program offscreen for a while, and prints
// resident memory after warm-up and at the end of each.
//
//   soak [virtual_ticks=10000000] [real_seconds=300] [path/to/quorvex]
#include <sys/types.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "fakes.h"
#include "monitor/watch_list.h"
#include "platform/headless/headless_toolkit.h"
#include "ui/form1.h"
#include "ui/form1_layout.h"

namespace {

using namespace quorvex;
using namespace quorvex::test;

long residentKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Ends the named worm in the fake table and counts, instead of recording,
// so the soak itself does not grow.
struct FakeKiller final : Killer {
    explicit FakeKiller(FakeProcessTable& table) : table(table) {}
    FakeProcessTable& table;
    long started = 0;
    KillOutcome end(const KillOrder& order) override {
        ++started;
        std::erase_if(table.processes, [&](const FakeProcess& p) { return p.key() == order.copy; });
        return KillOutcome::Ended;
    }
};

// Every other cleanup finds a directory already in place and the rest find
// nothing, so both outcome texts are exercised. Nothing is recorded, so the
// soak itself does not grow.
struct ToggleFileSystem final : FileSystem {
    struct Guarded final : FolderEntry {
        std::optional<FileStatus> status() const override { return FileStatus{FileStatus::Kind::Directory}; }
        std::error_code resetAttributes(const FileIdentity&) override { return {}; }
        std::error_code deleteFile(const FileIdentity&) override { return {}; }
        std::error_code createDirectory() override { return {}; }
        VolumeIdentity folderVolume() const override { return {}; }
    };
    std::atomic<long> cleanups = 0;
    bool isAbsolutePath(std::string_view path) const override { return path.starts_with('/'); }
    std::unique_ptr<FolderEntry> reach(std::string_view, std::error_code&) override {
        if (++cleanups % 2) return nullptr;
        return std::make_unique<Guarded>();
    }
};

void report(const char* what, long start, long end) {
    const double growth = start > 0 ? 100.0 * double(end - start) / double(start) : 0;
    std::printf("%s_rss_start_kib=%ld\n%s_rss_end_kib=%ld\n%s_growth_percent=%.2f\n", what, start, what,
                end, what, growth);
}

void soakHeadless(long ticks) {
    HeadlessToolkit toolkit;
    FakeProcessTable processes;
    FakeKiller killer(processes);
    ToggleFileSystem files;
    Form1 form(toolkit, processes, killer, files);
    auto& window = static_cast<HeadlessWindow&>(form.window());
    toolkit.run(form.window());

    for (int i = 0; i < 60; ++i)
        processes.processes.push_back({"process" + std::to_string(i), "/usr/bin/process" + std::to_string(i)});
    std::mt19937 random(20220517);
    const long periods = ticks / long(kWatchList.size());
    const long warmUp = periods / 10;
    long rssStart = 0;
    for (long period = 0; period < periods; ++period) {
        if (period == warmUp) rssStart = residentKib(getpid());
        switch (random() % 30) {
            case 0: {  // a worm appears, in a fresh folder each time
                const WatchEntry& worm = kWatchList[random() % kWatchList.size()];
                processes.processes.push_back(
                    {std::string(worm.name), "/media/usb" + std::to_string(period) + "/" + std::string(worm.name)});
                break;
            }
            case 1: window.click(form1::Command1); break;
            case 2: window.click(form1::Command2); break;
        }
        toolkit.advance(kPollIntervalMs);
    }
    const long rssEnd = residentKib(getpid());  // before the first output allocates stdio buffers
    std::printf("headless_ticks=%ld kills=%ld cleanups=%ld\n", periods * long(kWatchList.size()),
                killer.started, files.cleanups.load());
    report("headless", rssStart, rssEnd);
}

void soakReal(const char* program, int seconds) {
    const pid_t child = fork();
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    const int warmUp = std::max(1, seconds / 10);
    std::this_thread::sleep_for(std::chrono::seconds(warmUp));
    const long start = residentKib(child);
    std::this_thread::sleep_for(std::chrono::seconds(seconds - warmUp));
    const long end = residentKib(child);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    if (start < 0 || end < 0) {
        std::fprintf(stderr, "soak: %s did not stay running\n", program);
        std::exit(1);
    }
    report("real", start, end);
}

}  // namespace

int main(int argc, char** argv) {
    const long ticks = argc > 1 ? std::atol(argv[1]) : 10'000'000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 300;
    const char* program = argc > 3 ? argv[3] : QUORVEX_PROGRAM;
    soakHeadless(ticks);
    if (seconds > 0) soakReal(program, seconds);
}
