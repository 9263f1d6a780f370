// A 32-bit program on 64-bit Windows sees C:\Windows\System32 through the
// file-system redirector, as SysWOW64, while the system names a 64-bit
// process's image by its true path. The guard's file steps must reach the
// very file a worm ran from, so they run with the redirector off.
#pragma once

namespace quorvex {

// Turns the redirector off for the calling thread while it lives, and back
// to what it was when it goes. Nothing changes for a 64-bit program or on
// 32-bit Windows, which redirect nothing.
class Wow64RedirectionOff {
public:
    Wow64RedirectionOff();
    ~Wow64RedirectionOff();
    Wow64RedirectionOff(const Wow64RedirectionOff&) = delete;
    Wow64RedirectionOff& operator=(const Wow64RedirectionOff&) = delete;

private:
    void* previous_ = nullptr;  // the redirector's state before, for its revert
    bool turnedOff_ = false;
};

}  // namespace quorvex
