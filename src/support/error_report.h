// The standard error report: what a failure escaping an event handler shows
// before the program ends.
#pragma once

#include <exception>
#include <string>

namespace quorvex {

struct ErrorReport {
    long number = 0;
    std::string text;

    // The message box text, also written to standard error.
    std::string message() const;
};

// Error number and text of an exception; never throws.
ErrorReport describeError(std::exception_ptr) noexcept;

}  // namespace quorvex
