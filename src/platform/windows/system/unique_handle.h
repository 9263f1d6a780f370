// Closes a kernel handle when it goes out of scope.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace quorvex {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

}  // namespace quorvex
