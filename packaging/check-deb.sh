#!/usr/bin/env bash
# Checks a Debian package of the program where it lands: lintian finds no
# error and no hardening tag; then, in each chroot given (a Debian system of
# the package's architecture, made by scripts/package-linux), apt installs it
# with that system's own packages; its program (stripped, hardened, needing
# no symbol version the system's libraries lack: check-elf.sh), entries,
# unit, metainfo, icons and documents are in place and the metainfo
# validates where appstreamcli is; the guard starts, in a PID namespace of
# its own, and kills a stand-in worm; where the system has systemd, a user
# manager runs the guard through the unit, and a killed guard is back within
# 2 s; removed, only the autostart entry and the unit's enabling are left,
# and desktops skip the entry as its TryExec program is gone; purged,
# nothing of it is left. Needs root.
#   check-deb.sh [--results=FILE] DEB ROOT...
# FILE gets a line "ROOT-NAME STEP" for each step passed: installs, starts,
# kills, comes back, purges.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/chroot.sh

results=/dev/null
case ${1:-} in --results=*) results=${1#--results=}; shift ;; esac
deb=${1:?usage: check-deb.sh [--results=FILE] DEB ROOT...}
shift
[ $# -gt 0 ] || { echo "check-deb: name the chroots to install $deb into" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "check-deb: installing into chroots needs root" >&2; exit 1; }
deb=$(realpath "$deb")
package=$(basename "$deb")

autostart=/etc/xdg/autostart/quorvex.desktop
unit=/usr/lib/systemd/user/quorvex.service
enabled=/etc/systemd/user/graphical-session.target.wants/quorvex.service
metainfo=/usr/share/metainfo/invalid.quorvex.Quorvex.metainfo.xml
files=(
  /usr/bin/quorvex
  /usr/share/applications/quorvex.desktop
  "$metainfo"
  "$unit"
  /usr/share/man/man1/quorvex.1.gz
  /usr/share/doc/quorvex/copyright
  /usr/share/doc/quorvex/changelog.gz
)
for size in 16 32 48 64 128 256; do files+=("/usr/share/icons/hicolor/${size}x$size/apps/quorvex.png"); done

fail() { echo "check-deb: $*" >&2; exit 1; }

# Tags of every level are shown; errors fail the check, and so does any
# hardening tag, of whatever level.
tags=$(lintian --display-info --fail-on error "$deb" 2>/dev/null) || {
  echo "$tags"
  fail "lintian reports errors in $package"
}
echo "lintian: $package: ${tags:-no tags}"
! grep -q 'hardening-' <<<"$tags" || fail "lintian finds $package not hardened"
version=$(dpkg-deb -f "$deb" Version)
changelog=$(zcat -f packaging/debian/changelog | head -n 1)
[[ $changelog == "quorvex ($version) "* ]] || fail "changelog starts with '$changelog', not version $version"

# What the chroots see: the package, this folder's in-chroot check, and a
# stand-in worm that runs natively under every architecture's emulation (a
# foreign program's executable link names its emulator, not itself).
checks=$(mktemp -d)
trap 'rm -rf "$checks"' EXIT
cp "$deb" packaging/guard-check.sh "$checks/"
printf '#include <unistd.h>\nint main(void) { for (;;) pause(); }\n' | gcc -static -O2 -x c -o "$checks/worm" -
inside=/run/quorvex-check

# Each chroot's steps, run in a subshell of its own that sets root and name.
failed_in() { echo "check-deb: $name: $*" >&2; exit 1; }
passed() { echo "check-deb: $name: $1"; echo "$name $1" >>"$results"; }
run() { in_chroot "$root" --bind "$checks:$inside" -- env DEBIAN_FRONTEND=noninteractive "$@"; }

install_package() {
  # A run that failed half-way leaves the package installed: start afresh.
  if run dpkg-query -W quorvex >/dev/null 2>&1; then run apt-get purge -y -q quorvex >/dev/null; fi
  refresh_package_lists "$root"
  run apt-get install -y -q --no-install-recommends "$inside/$package" >"$checks/install.log" 2>&1 ||
    { cat "$checks/install.log"; failed_in "apt cannot install $package"; }
  passed installs
}

inspect_installed() {
  for f in "${files[@]}" "$autostart"; do [ -e "$root$f" ] || failed_in "missing after install: $f"; done
  grep -q '^Name\[zh_CN\]=' "$root/usr/share/applications/quorvex.desktop" || failed_in "desktop entry has no Chinese name"
  grep -q '^Exec=quorvex$' "$root$autostart" || failed_in "autostart entry does not start quorvex"
  grep -q '^X-systemd-skip=true$' "$root$autostart" || failed_in "systemd does not skip the autostart entry"
  grep -qx "$autostart" "$root/var/lib/dpkg/info/quorvex.conffiles" || failed_in "autostart entry is not a conffile"
  # The link names the unit by /lib or /usr/lib, as deb-systemd-helper finds it.
  [ "$(realpath -m "$root$(readlink "$root$enabled")")" = "$(realpath "$root$unit")" ] ||
    failed_in "$unit is not enabled for every user: no link $enabled"
  if [ -x "$root/usr/bin/appstreamcli" ]; then
    run appstreamcli validate --no-net "$metainfo" >"$checks/appstream.log" 2>&1 ||
      { cat "$checks/appstream.log"; failed_in "the AppStream metainfo does not validate"; }
    echo "check-deb: $name: metainfo valid for appstreamcli $(run appstreamcli --version | sed 's/.*: *//')"
  fi
  file -b "$root/usr/bin/quorvex" | grep -q ', stripped' || failed_in "the packaged program is not stripped"
  packaging/check-elf.sh --base="$root" "$root/usr/bin/quorvex" || failed_in "the packaged program does not suit this system"
}

check_guard() {
  run sh "$inside/guard-check.sh" started "$inside/worm" >"$checks/guard.log" 2>&1 || true
  grep -q '^guard-check: starts$' "$checks/guard.log" || { cat "$checks/guard.log"; failed_in "the guard did not start"; }
  passed starts
  grep -q '^guard-check: kills the stand-in$' "$checks/guard.log" || { cat "$checks/guard.log"; failed_in "the guard killed nothing"; }
  passed kills
  [ -x "$root/lib/systemd/systemd" ] || return 0
  in_chroot "$root" --systemd --bind "$checks:$inside" -- sh "$inside/guard-check.sh" unit "$inside/worm" ||
    failed_in "the guard started through quorvex.service did not come back"
  passed "comes back"
}

remove_and_purge() {
  # Removed: the autostart entry stays as configuration, and names in TryExec a
  # program no longer on the PATH, so desktops skip it; so does the unit's
  # enabling, which the next installation keeps as the administrator left it.
  run apt-get remove -y -q quorvex >/dev/null 2>&1
  for f in "${files[@]}"; do [ ! -e "$root$f" ] || failed_in "left after removal: $f"; done
  try_exec=$(sed -n 's/^TryExec=//p' "$root$autostart" 2>/dev/null) || failed_in "autostart entry gone after removal, not kept as configuration"
  [ "$try_exec" = quorvex ] || failed_in "autostart entry has TryExec '$try_exec', not quorvex"
  ! run sh -c "command -v $try_exec" >/dev/null || failed_in "autostart entry's TryExec still finds a program"
  [ -L "$root$enabled" ] || failed_in "the unit's enabling is gone after removal, not kept for the next installation"

  # Purged: none of the package's files, its own folder, its enabling or its
  # record is left.
  run apt-get purge -y -q quorvex >/dev/null 2>&1
  while read -r f; do
    if [ -e "$root$f" ] || [ -L "$root$f" ]; then failed_in "left after purge: $f"; fi
  done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's/^\.//'; echo /usr/share/doc/quorvex; echo "$enabled")
  ! grep -rqs quorvex "$root/etc/systemd/user" "$root/var/lib/systemd/deb-systemd-user-helper-enabled" ||
    failed_in "the unit's enabling is left after purge"
  ! run dpkg-query -W quorvex >/dev/null 2>&1 || failed_in "dpkg still knows quorvex after purge"
  passed purges
}

# Every chroot is tried, each in a subshell that stops at its first fault
# (in the background, as a subshell whose status is tested would not stop).
failed=()
for root in "$@"; do
  name=$(basename "$root")
  (install_package; inspect_installed; check_guard; remove_and_purge) & wait $! || failed+=("$name")
done
[ ${#failed[@]} -eq 0 ] || fail "$package fails in ${failed[*]}"
echo "check-deb: $package ($(stat -c %s "$deb") bytes) is lintian-clean; in $*: installs, guards, removes and purges cleanly"
