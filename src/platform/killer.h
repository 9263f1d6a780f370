// Ending every running process of an image name.
#pragma once

#include <string_view>

namespace quorvex {

// What a kill is told: the image name to end, and the watch entry's kill
// line. The line is data: a backend with a command interpreter starts it as
// it stands; any other ends the processes itself and never reads the line.
struct KillOrder {
    std::string_view imageName;
    std::string_view commandLine;
};

class Killer {
public:
    virtual ~Killer() = default;

    // Sets the end of every process named `order.imageName` (ignoring ASCII
    // case) going and returns without waiting for it. Throws when the kill
    // cannot be set going (what it does afterwards is not seen).
    virtual void endAll(const KillOrder& order) = 0;
};

}  // namespace quorvex
