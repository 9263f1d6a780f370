// Helper of the kill tests, run under a test's chosen name. "wait" sleeps
// until killed; "kill NAME" runs one poll tick for the image name NAME with
// the real killer and exits with 0 when it found copies and ended them all,
// so the caller sees that it spared itself.
#include <unistd.h>

#include <string_view>

#include "platform/linux/killer.h"
#include "platform/linux/process_table.h"
#include "single_watch.h"

int main(int argc, char** argv) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "wait" && argc == 2) {
        for (;;) ::pause();
    }
    if (mode == "kill" && argc == 3) {
        quorvex::ImageKiller killer;
        const auto detection = quorvex::test::pollTickFor(quorvex::ProcProcessTable(), killer, argv[2]);
        return detection && !detection->refused ? 0 : 1;
    }
    return 100;
}
