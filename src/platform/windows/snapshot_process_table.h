// The process list from the system's process snapshot (Toolhelp): one call
// per enumeration, where the management service would cost many times more.
#pragma once

#include "platform/processes.h"

#include <string>

namespace quorvex {

// One process as the snapshot named it. Its executable is read from the
// process that holds the ID when asked.
class SnapshotProcessRecord final : public ProcessRecord {
public:
    SnapshotProcessRecord(unsigned long id, std::string name) : id_(id), name_(std::move(name)) {}

    std::string_view name() const override { return name_; }
    // Absent when the process has ended or may not be opened, and when the
    // path names another image: the ID was taken over meanwhile.
    std::optional<ExecutableFile> executable() const override;

private:
    unsigned long id_;
    std::string name_;
};

class SnapshotProcessTable final : public ProcessTable {
public:
    void forEach(const std::function<bool(const ProcessRecord&)>& visit) const override;
};

}  // namespace quorvex
