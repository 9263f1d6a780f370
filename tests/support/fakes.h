// Stand-ins for the platform's process table, killer and file
// system, for tests of the portable core.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/killer.h"
#include "platform/process_table.h"

namespace quorvex::test {

struct FakeProcess {
    std::string name;
    std::optional<std::string> path;
    std::optional<FileIdentity> identity;
    bool ownSession = true;
    // Each process made is another: its copies are the same one.
    std::uint64_t id = ++lastId;

    ProcessKey key() const { return {id, 1}; }
    inline static std::uint64_t lastId = 0;
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
        std::optional<ExecutableFile> executable() const override {
            ++pathsRead_;
            if (!process_.path) return std::nullopt;
            return ExecutableFile{*process_.path, process_.identity};
        }
        std::optional<ProcessKey> key() const override { return process_.key(); }
        bool inThisSession() const override { return process_.ownSession; }

    private:
        const FakeProcess& process_;
        int& pathsRead_;
    };
};

class RecordingKiller final : public Killer {
public:
    struct Order {
        std::string imageName;
        std::string commandLine;
        bool operator==(const Order&) const = default;
    };
    std::vector<Order> orders;
    std::vector<ProcessKey> copies;  // of the orders, in turn
    // Called after an order is recorded; the test sees the order of events.
    std::function<void()> onOrder;
    // The copies the system will not let the guard end.
    std::set<std::uint64_t> refusing;

    KillOutcome end(const KillOrder& order) override {
        orders.push_back({std::string(order.imageName), std::string(order.commandLine)});
        copies.push_back(order.copy);
        if (onOrder) onOrder();
        return refusing.contains(order.copy.id) ? KillOutcome::Refused : KillOutcome::Ended;
    }
};

// A file system in memory: what stands at each complete path, with every
// call that changes it recorded as "reset PATH", "delete PATH" or "mkdir PATH".
class FakeFileSystem final : public FileSystem {
public:
    std::map<std::string, FileStatus, std::less<>> disk;
    // Paths with a link among their folders: they cannot be reached.
    std::set<std::string, std::less<>> behindLinks;
    // Files in use: they cannot be deleted.
    std::set<std::string, std::less<>> inUse;
    // The file system every folder is on (none that can be told apart, unless set).
    VolumeIdentity folders;
    // Runs as a cleanup reaches its path (on the cleanup's thread).
    std::function<void()> onReach;

    std::vector<std::string> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }

    bool isAbsolutePath(std::string_view path) const override { return path.starts_with('/'); }
    std::unique_ptr<FolderEntry> reach(std::string_view path, std::error_code& error) override {
        if (onReach) onReach();
        if (behindLinks.contains(path)) {
            error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
            return nullptr;
        }
        return std::make_unique<Entry>(*this, std::string(path));
    }

private:
    class Entry final : public FolderEntry {
    public:
        Entry(FakeFileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
        std::optional<FileStatus> status() const override {
            const auto found = files_.disk.find(path_);
            if (found == files_.disk.end()) return std::nullopt;
            return found->second;
        }
        std::error_code resetAttributes(const FileIdentity& expected) override {
            files_.record("reset", path_);
            return isStill(expected) ? std::error_code{} : denied();
        }
        std::error_code deleteFile(const FileIdentity& expected) override {
            files_.record("delete", path_);
            if (!isStill(expected) || files_.inUse.contains(path_)) return denied();
            files_.disk.erase(path_);
            return {};
        }
        std::error_code createDirectory() override {
            files_.record("mkdir", path_);
            if (!files_.disk.try_emplace(path_, FileStatus{FileStatus::Kind::Directory}).second)
                return std::make_error_code(std::errc::file_exists);
            return {};
        }
        VolumeIdentity folderVolume() const override { return files_.folders; }

    private:
        bool isStill(const FileIdentity& expected) const {
            const auto now = status();
            return now && now->kind == FileStatus::Kind::File && expected.matches(now->identity);
        }
        static std::error_code denied() { return std::make_error_code(std::errc::permission_denied); }

        FakeFileSystem& files_;
        std::string path_;
    };

    void record(const char* what, std::string_view path) {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::string(what) + " " + std::string(path));
    }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

}  // namespace quorvex::test
