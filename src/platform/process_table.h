// The live process list, read afresh on every enumeration.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_identity.h"

namespace quorvex {

// A process's executable as the system names it: its path and, where it can
// be read through the process itself, which file that path stood for.
struct ExecutableFile {
    std::string path;
    std::optional<FileIdentity> identity;
};

// Which process a record is, for good: the system gives an ID to another
// process once the first has ended, and the start time tells the two apart.
struct ProcessKey {
    std::uint64_t id = 0;
    std::uint64_t startedAt = 0;  // in the system's own units

    friend bool operator==(const ProcessKey&, const ProcessKey&) = default;
};

// One running process as the monitor sees it, valid only inside the visit.
// Everything but the name is read only when asked.
class ProcessRecord {
public:
    // Image name: the executable's file name with extension, no directory.
    virtual std::string_view name() const = 0;
    // The executable; absent when its path cannot be read.
    virtual std::optional<ExecutableFile> executable() const = 0;
    // Absent when the process has gone.
    virtual std::optional<ProcessKey> key() const = 0;
    // True for a process of the guard's own session, the only ones the guard
    // acts on: on Windows those of its session ID; on Linux those of its own
    // user (every process when the guard runs as root). Another session's
    // worm is that session's guard's business.
    virtual bool inThisSession() const = 0;

protected:
    ~ProcessRecord() = default;
};

class ProcessTable {
public:
    virtual ~ProcessTable() = default;

    // Visits the current processes of every session in the order the system
    // yields them, until the visitor returns false. Processes that vanish
    // while being read are skipped; a failure to read the list itself throws.
    virtual void forEach(const std::function<bool(const ProcessRecord&)>& visit) const = 0;
};

}  // namespace quorvex
