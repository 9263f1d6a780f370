# Windows: the Win32 toolkit, the system's process records, the kill line
# started through CreateProcessW, Win32 file operations. Cross-built with
# mingw-w64 (cmake/mingw-w64-*.cmake); its tests run under Wine. Everything of
# this backend is named here; the folders below hold its CMake files.

# src/platform/<dir>: the backend's libraries, and what the program is made of.
set(QUORVEX_PLATFORM_DIRS windows win32)
set(QUORVEX_PROGRAM_SOURCES app/platform_windows.cpp)
set(QUORVEX_PROGRAM_LIBRARIES quorvex_windows quorvex_win32)
set(QUORVEX_PROGRAM_KIND WIN32)
# tests/<dir> beside tests/core, and bench/<dir>.
set(QUORVEX_TEST_DIRS windows)
set(QUORVEX_BENCH_DIRS windows)
# packaging/<name>.cmake: the Windows Installer package and the zip.
set(QUORVEX_PACKAGE windows)
set(QUORVEX_SANITIZED_PLATFORM_DIRS)
set(QUORVEX_SANITIZED_TEST_DIRS)
