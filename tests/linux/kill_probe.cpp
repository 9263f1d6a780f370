// Helper of the kill tests, run under a test's chosen name. "wait" sleeps
// until killed; "kill NAME" ends every process of image name NAME and exits
// with how many it signalled, so the caller sees that it spared itself.
#include <unistd.h>

#include <string_view>

#include "platform/linux/killer.h"

int main(int argc, char** argv) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "wait" && argc == 2) {
        for (;;) ::pause();
    }
    if (mode == "kill" && argc == 3) return quorvex::ImageKiller::killByImageName(argv[2]);
    return 100;
}
