// Ending a running worm.
#pragma once

#include <string_view>

#include "platform/process_table.h"

namespace quorvex {

// What a kill is told: the copy to end, its image name, and the watch
// entry's kill line. The line is data: a backend with a command interpreter
// starts it as it stands; any other never reads it.
struct KillOrder {
    std::string_view imageName;
    std::string_view commandLine;
    ProcessKey copy;
};

enum class KillOutcome {
    Ended,    // ended, on its way out, or gone already
    Refused,  // the system would not let the guard end it
};

class Killer {
public:
    virtual ~Killer() = default;

    // Ends the copy `order.copy` at once, provided it is still the process
    // the key names and still bears `order.imageName` (ignoring ASCII case):
    // an ID that another process took over meanwhile is left alone. A
    // backend with a command interpreter also starts the order's line, which
    // ends every process of the name. Refused when the system would not end
    // the copy (no right to it, or a process the system cannot lose). Never
    // throws: what the kill line does is not seen.
    virtual KillOutcome end(const KillOrder& order) = 0;
};

}  // namespace quorvex
