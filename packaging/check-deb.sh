#!/usr/bin/env bash
# Builds the Debian package from build/linux, installs it, checks that the
# program, its entries and icons are in place and that it runs, then removes
# it and checks that nothing is left. Needs root (it installs the package).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "check-deb: skipped, installing a package needs root"
  exit 0
fi
if dpkg-query -W quorvex >/dev/null 2>&1; then
  echo "check-deb: a quorvex package is installed already; not touching it" >&2
  exit 1
fi

(cd build/linux && cpack -G DEB >/dev/null)
deb=$(ls -t build/linux/package/quorvex_*.deb | head -n 1)
files=(
  /usr/bin/quorvex
  /usr/share/applications/quorvex.desktop
  /etc/xdg/autostart/quorvex.desktop
  /usr/share/icons/hicolor/16x16/apps/quorvex.png
  /usr/share/icons/hicolor/32x32/apps/quorvex.png
)

fail() { echo "check-deb: $*" >&2; dpkg -r quorvex >/dev/null 2>&1 || true; exit 1; }

dpkg -i "$deb" >/dev/null
for f in "${files[@]}"; do [ -e "$f" ] || fail "missing after install: $f"; done
grep -q '^Name\[zh_CN\]=' /usr/share/applications/quorvex.desktop || fail "desktop entry has no Chinese name"
grep -q '^Exec=quorvex$' /etc/xdg/autostart/quorvex.desktop || fail "autostart entry does not start quorvex"

# The installed program starts and stays up (it never ends by itself).
QT_QPA_PLATFORM=offscreen /usr/bin/quorvex & pid=$!
sleep 2
kill -0 "$pid" 2>/dev/null || fail "installed program did not stay running"
kill "$pid"; wait "$pid" 2>/dev/null || true

dpkg -r quorvex >/dev/null
for f in "${files[@]}"; do [ ! -e "$f" ] || { echo "check-deb: left after removal: $f" >&2; exit 1; }; done
echo "check-deb: $(basename "$deb") installs, runs and uninstalls cleanly"
