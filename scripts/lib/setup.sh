# Shared set-up of scripts/run and scripts/test: installs the Debian packages
# a stage needs, once, and configures the Linux build. Sourced, not run.

# What building and running the Linux program needs, and no more.
program_packages=(
  cmake ninja-build g++ pkg-config qt6-base-dev libxcb1-dev qt6-wayland fonts-noto-cjk
)
# What building the program on Qt 5.15 needs, by Debian's names.
qt5_build_packages=(qtbase5-dev libqt5x11extras5-dev libxcb1-dev)
# What the Linux tests and benchmarks add: the test libraries, FUSE for the
# stuck file system, the FUSE drivers and formatters of the test sticks, Qt
# 5.15 for the toolkit's second build, the X servers and tools of the
# integration tests.
linux_test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev libproc2-dev libfuse3-dev fuse3
  ntfs-3g fusefat dosfstools exfat-fuse exfatprogs
  "${qt5_build_packages[@]}"
  xvfb xdotool openbox x11-utils imagemagick weston xwayland xserver-xephyr x11-xserver-utils
)
# What scripts/package-linux needs beside the chroots it makes: mmdebstrap
# and Debian's keys for them, qemu to run arm64 ones, the package checks'
# tools, and a static C library for the stand-in worm.
package_linux_packages=(
  mmdebstrap debian-archive-keyring arch-test qemu-user-static
  dpkg-dev binutils file lintian gcc libc6-dev
)
fuzz_packages=(clang libclang-rt-14-dev)
# Both Windows programs, x64 and x86, and the Wine loaders of both: the
# 32-bit one is a package of the i386 architecture.
windows_packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine wine64 wine32:i386 wixl msitools
  python3 openssl osslsigncode
)

missing_packages() {
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q '^install ok installed$' || echo "$pkg"
  done
}

# The foreign architectures ("name:arch") of the packages given that dpkg
# does not install yet.
missing_architectures() {
  local pkg
  for pkg in "$@"; do
    [[ $pkg == *:* ]] && echo "${pkg##*:}"
  done | sort -u | grep -vxF -e "$(dpkg --print-architecture)" -e "$(dpkg --print-foreign-architectures)" || true
}

# Installs the packages given (a "name:arch" one of a foreign architecture
# adds that architecture first), as root; anyone else is told the commands.
ensure_packages() {
  local missing architectures arch
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  # shellcheck disable=SC2086
  architectures=$(missing_architectures $missing)
  # shellcheck disable=SC2086
  if [ "$(id -u)" -ne 0 ]; then
    echo "Quorvex needs these Debian packages; install them with:" >&2
    for arch in $architectures; do echo "  sudo dpkg --add-architecture $arch" >&2; done
    [ -z "$architectures" ] || echo "  sudo apt-get update" >&2
    echo "  sudo apt-get install -y $(echo $missing)" >&2
    exit 1
  fi
  for arch in $architectures; do
    echo "Adding the $arch architecture"
    dpkg --add-architecture "$arch"
  done
  echo "Installing: $(echo $missing)"
  apt-get update -q
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}

# A build tree whose tests could not run on this machine holds this file,
# which says why.
untested_note=tests-not-run

# Names every test that the CTest runs writing these JUnit files skipped or
# were told not to run, with its build tree, and every tree beside them that
# was not tested at all: a skip must never go unseen.
list_skipped_tests() {
  local junit skipped=()
  for junit in "$@"; do
    [ ! -f "${junit%/*}/$untested_note" ] ||
      skipped+=("  every test, not run: $(cat "${junit%/*}/$untested_note") (${junit%/*})")
    [ -f "$junit" ] || continue
    mapfile -t -O "${#skipped[@]}" skipped < <(
      sed -n 's#.*<testcase name="\([^"]*\)".*status="\(notrun\|disabled\)".*#  \1 ('"${junit%/*}"')#p' "$junit")
  done
  echo
  echo "== Skipped tests =="
  if [ ${#skipped[@]} -gt 0 ]; then printf '%s\n' "${skipped[@]}"; else echo "  none"; fi
}

# The lock every build tree on this machine shares while it runs the real
# guard or processes under the watched names (the X integration tests take it
# too): a guard kills every such process on the machine.
watched_names_lock=${TMPDIR:-/tmp}/quorvex-watched-names.lock

# Configures build/linux; the arguments go to cmake (scripts/test asks for
# the tests and benchmarks there).
configure_linux() {
  cmake -S . -B build/linux -G Ninja -DQUORVEX_BACKEND=linux-qt "$@" >/dev/null
}
