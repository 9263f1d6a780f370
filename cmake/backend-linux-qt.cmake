# The Linux desktop: Qt Widgets windows, processes from /proc, kills through
# pidfds, POSIX file operations. Everything of this backend is named here;
# the folders below hold its CMake files.

# src/platform/<dir>: the backend's libraries, and what the program is made of.
set(QUORVEX_PLATFORM_DIRS linux qt)
set(QUORVEX_PROGRAM_SOURCES app/platform_linux_qt.cpp)
set(QUORVEX_PROGRAM_LIBRARIES quorvex_linux quorvex_qt)
set(QUORVEX_PROGRAM_KIND "")
# tests/<dir> beside tests/core, and bench/<dir>.
set(QUORVEX_TEST_DIRS support linux qt integration)
set(QUORVEX_BENCH_DIRS linux soak)
# packaging/<name>.cmake: the Debian package.
set(QUORVEX_PACKAGE deb)
# The sanitizer build checks the core and the Linux backend, not the toolkit.
set(QUORVEX_SANITIZED_PLATFORM_DIRS linux)
set(QUORVEX_SANITIZED_TEST_DIRS support linux)
