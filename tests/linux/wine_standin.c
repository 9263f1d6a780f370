/* A Windows program that only waits: what a worm looks like to the guard. */
#include <windows.h>

int main(void) {
    Sleep(INFINITE);
    return 0;
}
