// Kills by image name as the watch list says, without the wait for the
// command interpreter: every copy is ended through its own process at once,
// and the kill line is started as the classic shell call does, minimized and
// not waited for, unless one of that name started earlier still runs.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/killer.h"
#include "platform/windows/system/unique_handle.h"

namespace quorvex {

class Win32Killer final : public Killer {
public:
    // Ends every copy it may (terminateByImageName), then starts the order's
    // command line as it stands while no line for that name is in flight.
    // Throws std::system_error when the line cannot be started.
    void endAll(const KillOrder& order) override;

    // Ends every process except this one that the system's records name
    // `imageName` (ignoring ASCII case), each opened by its ID and confirmed
    // as the record's own process first: same image name, same creation
    // time, as an ID may have passed to another process meanwhile. Returns
    // how many it ended; one that cannot be opened is left to the kill line.
    int terminateByImageName(std::string_view imageName);

private:
    std::vector<char> records_;  // the system's records, room kept between passes
    std::map<std::string, UniqueHandle, std::less<>> lines_;  // the last kill line of each name
};

}  // namespace quorvex
