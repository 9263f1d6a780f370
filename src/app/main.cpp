// Quorvex starts here: Form1 is the start-up window, and the program runs
// until its process is ended from outside. A desktop session has one guard:
// a second one started there ends at once, before any window.
#include <exception>

#include "app/platform.h"
#include "support/error_report.h"
#include "ui/form1.h"

int main(int argc, char** argv) {
    const auto claim = quorvex::claimSession();
    if (!claim) return 0;
    // Outlives the failure's report, which may need the toolkit to show it.
    quorvex::Platform platform;
    try {
        platform = quorvex::makePlatform(argc, argv);
        quorvex::Form1 form1(*platform.toolkit, *platform.processes, *platform.killer, *platform.files);
        return platform.toolkit->run(form1.window());
    } catch (...) {
        // Only failures before the message loop runs land here; the toolkit
        // reports those inside event handlers itself.
        quorvex::reportStartupFailure(quorvex::describeError(std::current_exception()).message());
        return 1;
    }
}
