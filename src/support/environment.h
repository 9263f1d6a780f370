// The program's environment, read as text.
#pragma once

#include <cstdlib>
#include <string>

namespace quorvex {

// The value of the variable `name`; empty where it is not set.
inline std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace quorvex
