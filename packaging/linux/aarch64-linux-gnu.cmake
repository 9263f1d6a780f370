# Cross-builds the Linux program for 64-bit ARM (Debian's arm64) with the
# GNU cross compiler and the arm64 development packages of a multiarch
# Debian or Ubuntu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config)
