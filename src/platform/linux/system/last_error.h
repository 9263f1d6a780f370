// The error the last failed system call left in errno.
#pragma once

#include <cerrno>
#include <system_error>

namespace quorvex {

inline std::error_code lastError() { return {errno, std::system_category()}; }

}  // namespace quorvex
