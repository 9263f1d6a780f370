// One look at the process list that finds no worm, over the process snapshot, next to its floor
// (NtQuerySystemInformation(SystemProcessInformation) and a walk over the
// names, in a plain loop) and to the management service's enumeration of
// Win32_Process reading each Name, on the system's processes plus idle
// children. A plain timing program: Google Benchmark is not there for mingw.
//
//   process_table.exe [--idle=50] [--repetitions=5] [--seconds=1]
//
// The last two lines are ratio_vs_management= (management / ours) and
// ratio_vs_floor= (ours / floor), each from the medians of interleaved runs.
#include <windows.h>
// After windows.h, which they need.
#include <wbemidl.h>
#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "monitor/monitor.h"
#include "platform/windows/killer.h"
#include "platform/windows/process_table.h"

namespace {

constexpr wchar_t kAbsentName[] = L"NoSuchWorm.exe";
constexpr std::size_t kStatusInfoLengthMismatch = 0xC0000004;
constexpr LONG kWaitForever = -1;  // WBEM_INFINITE, which overflows a LONG as an enumerator

// The floor: one system call that copies every process's record, and a
// case-insensitive look at each image name.
class Floor {
public:
    bool findAbsent() {
        ULONG needed = 0;
        while (NtQuerySystemInformation(SystemProcessInformation, buffer_.data(), ULONG(buffer_.size()),
                                        &needed) == NTSTATUS(kStatusInfoLengthMismatch))
            buffer_.resize(std::max<std::size_t>(needed, buffer_.size() * 2));
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer_.data());
        for (;;) {
            const UNICODE_STRING& name = entry->ImageName;
            if (name.Buffer && std::size_t(name.Length) / 2 == std::wcslen(kAbsentName) &&
                _wcsnicmp(name.Buffer, kAbsentName, name.Length / 2) == 0)
                return true;
            if (entry->NextEntryOffset == 0) return false;
            entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(
                reinterpret_cast<const char*>(entry) + entry->NextEntryOffset);
        }
    }

private:
    std::vector<char> buffer_ = std::vector<char>(1 << 16);
};

// The management service: every Win32_Process instance, reading its Name.
class Management {
public:
    Management() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IWbemLocator* locator = nullptr;
        if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    reinterpret_cast<void**>(&locator))))
            return;
        BSTR space = SysAllocString(L"ROOT\\CIMV2");
        locator->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services_);
        SysFreeString(space);
        locator->Release();
    }
    ~Management() {
        if (services_) services_->Release();
        CoUninitialize();
    }
    bool ready() const { return services_ != nullptr; }

    bool findAbsent() {
        BSTR className = SysAllocString(L"Win32_Process");
        IEnumWbemClassObject* instances = nullptr;
        const HRESULT listed = services_->CreateInstanceEnum(
            className, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, &instances);
        SysFreeString(className);
        if (FAILED(listed)) return false;
        bool found = false;
        IWbemClassObject* process = nullptr;
        ULONG returned = 0;
        while (!found && instances->Next(kWaitForever, 1, &process, &returned) == S_OK && returned == 1) {
            VARIANT name;
            VariantInit(&name);
            if (SUCCEEDED(process->Get(L"Name", 0, &name, nullptr, nullptr)) && name.vt == VT_BSTR)
                found = _wcsicmp(name.bstrVal, kAbsentName) == 0;
            VariantClear(&name);
            process->Release();
        }
        instances->Release();
        return found;
    }

private:
    IWbemServices* services_ = nullptr;
};

// Idle copies of this program, ended when the object goes.
class IdleProcesses {
public:
    explicit IdleProcesses(int count) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        for (int i = 0; i < count; ++i) {
            std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --wait";
            STARTUPINFOW startup{.cb = sizeof(STARTUPINFOW)};
            PROCESS_INFORMATION started{};
            if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &started))
                continue;
            CloseHandle(started.hThread);
            processes_.push_back(started.hProcess);
        }
    }
    ~IdleProcesses() {
        for (HANDLE process : processes_) TerminateProcess(process, 0);
        for (HANDLE process : processes_) {
            WaitForSingleObject(process, INFINITE);
            CloseHandle(process);
        }
    }

private:
    std::vector<HANDLE> processes_;
};

std::size_t countProcesses() {
    std::size_t count = 0;
    quorvex::SystemProcessTable().forEach([&count](const quorvex::ProcessRecord&) {
        ++count;
        return true;
    });
    return count;
}

// Microseconds per call of `enumerate`, over about `seconds`.
double timePerCall(const std::function<bool()>& enumerate, double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    long calls = 0;
    for (; std::chrono::duration<double>(Clock::now() - start).count() < seconds; ++calls)
        if (enumerate()) std::fprintf(stderr, "the absent name was found\n");
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / double(calls);
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int option(int argc, char** argv, const char* name, int fallback) {
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).starts_with(prefix)) return std::stoi(argv[i] + prefix.size());
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--wait") {
        Sleep(INFINITE);
        return 0;
    }
    const int idle = option(argc, argv, "idle", 50);
    const int repetitions = option(argc, argv, "repetitions", 5);
    const double seconds = option(argc, argv, "seconds", 1);

    const IdleProcesses children(idle);
    Management management;
    if (!management.ready()) {
        std::fprintf(stderr, "the management service cannot be reached\n");
        return 1;
    }
    Floor floor;
    const quorvex::SystemProcessTable table;
    quorvex::Win32Killer killer;
    const quorvex::WatchEntry absent{"Timer1", "NoSuchWorm.exe"};
    // Asked again, the one entry looks again: one look per call.
    quorvex::Monitor monitor(table, killer, {&absent, 1});
    const std::pair<const char*, std::function<bool()>> runs[] = {
        {"ours", [&] { return monitor.FindProcess("NoSuchWorm.exe"); }},
        {"floor", [&] { return floor.findAbsent(); }},
        {"management", [&] { return management.findAbsent(); }},
    };
    // Interleaved repetitions spread the machine's other load over all three.
    std::vector<double> times[std::size(runs)];
    for (int repetition = 0; repetition < repetitions; ++repetition)
        for (std::size_t run = 0; run < std::size(runs); ++run)
            times[run].push_back(timePerCall(runs[run].second, seconds));

    const double processes = double(countProcesses());
    std::printf("processes=%.0f (idle children: %d)\n", processes, idle);
    double medians[std::size(runs)];
    for (std::size_t run = 0; run < std::size(runs); ++run) {
        medians[run] = median(times[run]);
        std::printf("%-10s %10.1f us/enumeration %8.2f us/process\n", runs[run].first, medians[run],
                    medians[run] / processes);
    }
    std::printf("ratio_vs_management=%.2f\n", medians[2] / medians[0]);
    std::printf("ratio_vs_floor=%.2f\n", medians[0] / medians[1]);
    return 0;
}
