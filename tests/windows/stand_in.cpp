// A process that only waits to be ended: copied under a worm's name, it is
// what the monitor must find and the kill command must end.
#include <windows.h>

#include <cstdio>

int main() {
    std::puts("ready");
    std::fflush(stdout);
    Sleep(INFINITE);
}
