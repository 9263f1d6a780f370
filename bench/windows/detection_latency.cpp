// Time from a worm's start to its death under the running Windows program, run
// under Wine: starts quorvex.exe, then for each of the nine watched names starts
// the stand-in under that name `rounds` times and waits for it to be killed.
// Starts are spread at random over the poll period. Google Benchmark has no
// mingw-w64 build: a plain timing program.
//
//   WINEPREFIX=build/windows/wine-prefix xvfb-run -a wine build/windows/bench/windows/detection_latency.exe [rounds]
//
// Prints p50, p99 and max in milliseconds of the start call to the death seen,
// and p50 and p99 of the worm's life from its creation to its exit as the
// system records them (life_p50_ms=, life_p99_ms=); the last line is p99_ms=.
// While it runs, every process of the nine names in the Wine prefix is killed.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "monitor/watch_list.h"
#include "stand_ins.h"
#include "statistics.h"

namespace quorvex::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kGiveUpMs = 30000;

// Starts quorvex.exe, found from where this program lies.
HANDLE startQuorvex() {
    wchar_t self[MAX_PATH];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + QUORVEX_PROGRAM_FROM_HERE;
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{.cb = sizeof(STARTUPINFOW)};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

// A worm's death as this program sees it, from the call that starts it, and
// as the system recorded it: its life from creation to exit.
struct Death {
    double seenMs;
    double livedMs;
};

double milliseconds(const FILETIME& time) {
    return double(ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart) / 10'000.0;
}

// Starts a worm and waits for its death; nothing when it outlived kGiveUpMs
// (it is ended with the folder).
std::optional<Death> deathOf(test::StandIns& standIns, const std::wstring& name) {
    const auto start = Clock::now();
    const HANDLE worm = standIns.start(name.c_str());
    if (!test::StandIns::endsWithin(worm, kGiveUpMs)) return std::nullopt;
    const double seenMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(worm, &created, &exited, &kernel, &user)) return std::nullopt;
    return Death{seenMs, milliseconds(exited) - milliseconds(created)};
}

}  // namespace
}  // namespace quorvex::bench

int main(int argc, char** argv) {
    using namespace quorvex::bench;
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;

    quorvex::test::StandIns standIns;
    std::vector<std::wstring> worms;
    for (const quorvex::WatchEntry& entry : quorvex::kWatchList) worms.emplace_back(entry.name.begin(), entry.name.end());

    const HANDLE quorvex = startQuorvex();
    // The first kill shows that the program is up and polling.
    if (!quorvex || !deathOf(standIns, worms.front())) {
        std::fprintf(stderr, "the program killed nothing within %lu s\n", kGiveUpMs / 1000);
        if (quorvex) TerminateProcess(quorvex, 1);
        return 1;
    }

    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> phase(0, quorvex::kPollIntervalMs - 1);
    std::vector<double> all, lives;
    int survivors = 0;
    for (const std::wstring& name : worms) {
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            Sleep(DWORD(phase(random)));
            const auto death = deathOf(standIns, name);
            if (!death) {
                ++survivors;
                continue;
            }
            times.push_back(death->seenMs);
            lives.push_back(death->livedMs);
        }
        if (times.empty()) continue;
        std::printf("%-20ls p50 %7.1f ms  max %7.1f ms\n", name.c_str(), percentile(times, 0.5),
                    percentile(times, 1.0));
        all.insert(all.end(), times.begin(), times.end());
    }
    TerminateProcess(quorvex, 0);
    CloseHandle(quorvex);

    if (survivors > 0) std::printf("survived %lu s: %d worms\n", kGiveUpMs / 1000, survivors);
    if (all.empty()) return 1;
    std::printf("samples=%zu\n", all.size());
    std::printf("life_p50_ms=%.1f\nlife_p99_ms=%.1f\n", percentile(lives, 0.5), percentile(lives, 0.99));
    std::printf("p50_ms=%.1f\nmax_ms=%.1f\np99_ms=%.1f\n", percentile(all, 0.5), percentile(all, 1.0),
                percentile(all, 0.99));
    return survivors > 0 ? 1 : 0;
}
