// How every toolkit runs event handlers and posted tasks. A failure that
// escapes one ends the program: its standard error report goes to standard
// error and to the toolkit's sink (a message box where there is a screen),
// then the process ends with status 1.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace quorvex {

// Shows the report's message; returns once the user has dismissed it.
using ReportSink = std::function<void(const std::string& message)>;

class EventDispatch {
public:
    explicit EventDispatch(ReportSink sink = {}) : sink_(std::move(sink)) {}

    // Runs `handler`. While a report is showing, nothing runs: the events its
    // message box lets through are dropped.
    void run(const std::function<void()>& handler) noexcept;

private:
    [[noreturn]] void reportAndExit(std::exception_ptr failure) noexcept;

    ReportSink sink_;
    bool reporting_ = false;
};

}  // namespace quorvex
