// The process list from the system's own record of every process, taken in
// one call per pass, where the management service would cost many times
// more.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/process_table.h"
#include "platform/windows/system/system_records.h"

namespace quorvex {

// One process as the system's record named it. Its executable is read from
// the process that holds the ID when asked.
class SystemProcessRecord final : public ProcessRecord {
public:
    // `name` must outlive the record.
    SystemProcessRecord(const SystemRecord& record, std::string_view name, unsigned long ownSession)
        : key_{record.id, record.createdAt}, name_(name), inThisSession_(record.sessionId == ownSession) {}

    std::string_view name() const override { return name_; }
    // Absent when the process has ended or may not be opened, and when the
    // path names another image: the ID was taken over meanwhile.
    std::optional<ExecutableFile> executable() const override;
    // The ID with the creation time.
    std::optional<ProcessKey> key() const override { return key_; }
    bool inThisSession() const override { return inThisSession_; }

private:
    ProcessKey key_;
    std::string_view name_;
    bool inThisSession_;
};

// Passes of one table run one at a time: they share its buffers, which a
// pass fills again instead of allocating them anew. Made with room for the
// records of a few hundred processes and for the longest image name, so a
// pass that compares names allocates nothing.
class SystemProcessTable final : public ProcessTable {
public:
    SystemProcessTable();

    void forEach(const std::function<bool(const ProcessRecord&)>& visit) const override;

private:
    unsigned long ownSession_;           // this process's log-on session
    mutable std::vector<char> records_;  // the system's records of the last pass
    mutable std::string name_;           // the image name being visited, in UTF-8
};

}  // namespace quorvex
