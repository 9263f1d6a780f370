// The live process list, read afresh on every enumeration.
#pragma once

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

// One running process as the monitor sees it, valid only inside the visit.
class ProcessRecord {
public:
    // Image name: the executable's file name with extension, no directory.
    virtual std::string_view name() const = 0;
    // The executable, read only when asked; absent when its path cannot be read.
    virtual std::optional<ExecutableFile> executable() const = 0;

protected:
    ~ProcessRecord() = default;
};

class ProcessTable {
public:
    virtual ~ProcessTable() = default;

    // Visits the current processes in the order the system yields them, until
    // the visitor returns false. Processes that vanish while being read are
    // skipped; a failure to read the list itself throws.
    virtual void forEach(const std::function<bool(const ProcessRecord&)>& visit) const = 0;
};

}  // namespace quorvex
