#include "bench_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace quorvex::bench {

pid_t spawn(const std::filesystem::path& program, const std::vector<std::string>& arguments,
            const std::vector<std::string>& extraEnvironment) {
    return test::Child(program, arguments,
                       {.environment = test::withVariables(test::inheritedEnvironment(), extraEnvironment)})
        .detach();
}

void endProcess(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

pid_t startQuorvex(const std::filesystem::path& program) {
    return spawn(program, {}, {"QT_QPA_PLATFORM=offscreen"});
}

double cpuSeconds(pid_t pid) {
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    const auto close = stat.rfind(')');
    if (close == std::string::npos) throw std::runtime_error("cannot read the CPU time of " + std::to_string(pid));
    // After the command name: state is field 3; utime, stime, cutime and cstime are 14 to 17.
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int number = 3; number <= 17 && fields >> field; ++number)
        if (number >= 14) ticks += std::stod(field);
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

long wakeups(pid_t pid) {
    long total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code gone;
    for (const auto& task : std::filesystem::directory_iterator(tasks, gone)) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stol(line.substr(24));
    }
    return total;
}

IdleProcesses::IdleProcesses(int count) {
    for (int i = 0; i < count; ++i) children_.emplace_back(test::kSleepProgram, std::vector<std::string>{"3600"});
}

std::size_t floorEnumeration(bool commandNames) {
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0) throw std::system_error(errno, std::system_category(), "cannot open /proc");
    alignas(struct dirent64) char entries[32768];
    char path[32];
    char link[PATH_MAX];
    char stat[256];
    std::size_t processes = 0;
    for (ssize_t got; (got = ::getdents64(proc, entries, sizeof entries)) > 0;) {
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(entries + offset);
            offset += entry->d_reclen;
            if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
            const std::size_t length = std::strlen(entry->d_name);
            std::memcpy(path, entry->d_name, length);
            std::memcpy(path + length, "/exe", 5);
            if (::readlinkat(proc, path, link, sizeof link) < 0 && commandNames) {
                std::memcpy(path + length, "/stat", 6);
                const int file = ::openat(proc, path, O_RDONLY | O_CLOEXEC);
                if (file >= 0) {
                    (void)!::read(file, stat, sizeof stat);
                    ::close(file);
                }
            }
            ++processes;
        }
    }
    ::close(proc);
    return processes;
}

std::string takeOption(int& argc, char** argv, std::string_view name, std::string fallback) {
    const std::string prefix = "--" + std::string(name) + "=";
    for (int i = 1; i < argc; ++i) {
        if (!std::string_view(argv[i]).starts_with(prefix)) continue;
        std::string value = argv[i] + prefix.size();
        for (int k = i; k < argc; ++k) argv[k] = argv[k + 1];
        --argc;
        return value;
    }
    return fallback;
}

ProgramOptions takeProgramOptions(int& argc, char** argv) {
    ProgramOptions options;
    options.idle = std::stoi(takeOption(argc, argv, "idle", "300"));
    options.quorvex = takeOption(argc, argv, "quorvex", QUORVEX_PROGRAM);
    if (argc > 1) {
        std::fprintf(stderr, "unknown option %s\n", argv[1]);
        std::exit(2);
    }
    return options;
}

}  // namespace quorvex::bench
