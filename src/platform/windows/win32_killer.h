// Kills by image name as the watch list says: its kill line, started as the
// classic shell call does, minimized and not waited for.
#pragma once

#include "platform/killer.h"

namespace quorvex {

class Win32Killer final : public Killer {
public:
    // Starts the order's command line as it stands. Throws std::system_error
    // when the process cannot be created.
    void endAll(const KillOrder& order) override;
};

}  // namespace quorvex
