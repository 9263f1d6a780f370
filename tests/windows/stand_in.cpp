// A process that only waits to be ended: copied under a worm's name, it is
// what the monitor must find and the kill command must end. Once it runs
// (its image mapped, its name in the process list) it says so: on standard
// output, and by setting the event whose handle value it is given, if any.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc > 1) SetEvent(reinterpret_cast<HANDLE>(std::uintptr_t(std::strtoull(argv[1], nullptr, 10))));
    std::puts("ready");
    std::fflush(stdout);
    Sleep(INFINITE);
}
