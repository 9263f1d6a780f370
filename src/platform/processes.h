// The live process list, read afresh on every enumeration.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

// One running process as the monitor sees it, valid only inside the visit.
class ProcessRecord {
public:
    // Image name: the executable's file name with extension, no directory.
    virtual std::string_view name() const = 0;
    // Full path of the executable, read only when asked; absent when it cannot be read.
    virtual std::optional<std::string> executablePath() const = 0;

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
