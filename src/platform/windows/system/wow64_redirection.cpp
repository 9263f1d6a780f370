#include "platform/windows/system/wow64_redirection.h"

#include <windows.h>

namespace quorvex {

namespace {

// The redirector's calls, looked up at run time rather than imported: not
// every 32-bit Windows has them.
struct Redirector {
    BOOL(WINAPI* disable)(PVOID*) = nullptr;
    BOOL(WINAPI* revert)(PVOID) = nullptr;
};

template <typename Function>
void lookUp(HMODULE kernel32, const char* name, Function*& function) {
    function = reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

const Redirector& redirector() {
    static const Redirector calls = [] {
        Redirector found;
#ifndef _WIN64  // a 64-bit program is never redirected
        const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
        lookUp(kernel32, "Wow64DisableWow64FsRedirection", found.disable);
        lookUp(kernel32, "Wow64RevertWow64FsRedirection", found.revert);
        if (!found.revert) found.disable = nullptr;
#endif
        return found;
    }();
    return calls;
}

}  // namespace

// Neither turning the redirector off nor back on touches the thread's last
// error, which the guarded calls report. Outside WOW64 the call fails and
// changes nothing.
Wow64RedirectionOff::Wow64RedirectionOff() {
    if (!redirector().disable) return;
    const DWORD error = GetLastError();
    turnedOff_ = redirector().disable(&previous_);
    SetLastError(error);
}

Wow64RedirectionOff::~Wow64RedirectionOff() {
    if (!turnedOff_) return;
    const DWORD error = GetLastError();
    redirector().revert(previous_);
    SetLastError(error);
}

}  // namespace quorvex
