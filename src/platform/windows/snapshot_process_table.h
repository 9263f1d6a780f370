// The process list from the system's process snapshot (Toolhelp): one call
// per enumeration, where the management service would cost many times more.
#pragma once

#include "platform/processes.h"

namespace quorvex {

class SnapshotProcessTable final : public ProcessTable {
public:
    void forEach(const std::function<bool(const ProcessRecord&)>& visit) const override;
};

}  // namespace quorvex
