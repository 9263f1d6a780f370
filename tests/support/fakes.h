// Stand-ins for the platform's process table, command starter and file
// system, for tests of the portable core.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/commands.h"
#include "platform/files.h"
#include "platform/processes.h"

namespace quorvex::test {

struct FakeProcess {
    std::string name;
    std::optional<std::string> path;
};

class FakeProcessTable final : public ProcessTable {
public:
    std::vector<FakeProcess> processes;
    // Runs after each enumeration, told whether the visitor stopped it early,
    // so a test can change the table between two of them.
    std::function<void(bool stoppedEarly)> afterEnumeration;
    mutable int enumerations = 0;
    mutable int recordsVisited = 0;
    mutable int pathsRead = 0;

    void forEach(const std::function<bool(const ProcessRecord&)>& visit) const override {
        ++enumerations;
        bool stoppedEarly = false;
        for (const FakeProcess& process : std::vector<FakeProcess>(processes)) {
            ++recordsVisited;
            const Record record(process, pathsRead);
            if (!visit(record)) {
                stoppedEarly = true;
                break;
            }
        }
        if (afterEnumeration) afterEnumeration(stoppedEarly);
    }

private:
    class Record final : public ProcessRecord {
    public:
        Record(const FakeProcess& process, int& pathsRead) : process_(process), pathsRead_(pathsRead) {}
        std::string_view name() const override { return process_.name; }
        std::optional<std::string> executablePath() const override {
            ++pathsRead_;
            return process_.path;
        }

    private:
        const FakeProcess& process_;
        int& pathsRead_;
    };
};

class RecordingCommands final : public CommandStarter {
public:
    std::vector<std::pair<std::string, WindowStyle>> started;
    // Called after a start is recorded; the test sees the order of events.
    std::function<void(std::string_view)> onStart;

    void start(std::string_view commandLine, WindowStyle style) override {
        started.emplace_back(commandLine, style);
        if (onStart) onStart(commandLine);
    }
};

// Records every call and answers from a table a test sets up.
class RecordingFileSystem final : public FileSystem {
public:
    mutable std::vector<std::string> calls;
    bool directoryAfterCleanup = true;

    bool isAbsolutePath(std::string_view path) const override {
        return !path.empty() && path.front() == '/';
    }
    std::error_code resetAttributes(std::string_view path) override { return record("reset", path); }
    std::error_code deleteFile(std::string_view path) override { return record("delete", path); }
    std::error_code createDirectory(std::string_view path) override { return record("mkdir", path); }
    bool isDirectory(std::string_view path) const override {
        calls.push_back("isdir " + std::string(path));
        return directoryAfterCleanup;
    }

private:
    std::error_code record(const char* what, std::string_view path) {
        calls.push_back(std::string(what) + " " + std::string(path));
        return std::make_error_code(std::errc::permission_denied);
    }
};

}  // namespace quorvex::test
