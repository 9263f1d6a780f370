# The Linux desktop: Qt Widgets windows (Qt 6, or Qt 5.15), processes from /proc, kills through
# pidfds, POSIX file operations. Everything of this backend is named here;
# the folders below hold its CMake files.

# The Qt the window toolkit builds on. Qt 5.15 serves the desktops of Debian 11
# and Ubuntu 20.04; what differs stays in src/platform/qt/qt_compat.h.
set(QUORVEX_QT_MAJOR 6 CACHE STRING "Qt major version of the window toolkit: 6, or 5 for Qt 5.15")
set_property(CACHE QUORVEX_QT_MAJOR PROPERTY STRINGS 6 5)
if(QUORVEX_QT_MAJOR STREQUAL 6)
  set(QUORVEX_QT Qt6)
  set(QUORVEX_QT_MINIMUM 6.2)  # the X connection through QNativeInterface
  set(QUORVEX_QT_X11)          # Qt 6 hands it out itself
elseif(QUORVEX_QT_MAJOR STREQUAL 5)
  set(QUORVEX_QT Qt5)
  set(QUORVEX_QT_MINIMUM 5.15)  # QWindow::startSystemMove and the version-less Qt:: names
  set(QUORVEX_QT_X11 X11Extras) # QX11Info
else()
  message(FATAL_ERROR "QUORVEX_QT_MAJOR is 6 or 5, not '${QUORVEX_QT_MAJOR}'")
endif()

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
