#include "support/event_dispatch.h"

#include <cstdio>
#include <cstdlib>

#include "support/error_report.h"

namespace quorvex {

void EventDispatch::run(const std::function<void()>& handler) noexcept {
    if (reporting_) return;
    try {
        handler();
    } catch (...) {
        reportAndExit(std::current_exception());
    }
}

void EventDispatch::reportAndExit(std::exception_ptr failure) noexcept {
    reporting_ = true;
    const std::string message = describeError(failure).message();
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    if (sink_) {
        try {
            sink_(message);
        } catch (...) {
            // The report already stands on standard error.
        }
    }
    std::_Exit(EXIT_FAILURE);
}

}  // namespace quorvex
