#!/usr/bin/env bash
# Builds the Debian package from build/linux and checks it: lintian finds no
# error and no hardening tag; installed, the program (stripped, hardened, fit
# for glibc 2.31: check-elf.sh), its entries, metainfo, icons and documents are
# in place, the metainfo validates, and it runs; removed, only the autostart entry is left, and desktops skip it
# as its TryExec program is gone; purged, nothing of it is left. Needs root (it
# installs the package).
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
autostart=/etc/xdg/autostart/quorvex.desktop
files=(
  /usr/bin/quorvex
  /usr/share/applications/quorvex.desktop
  /usr/share/metainfo/invalid.quorvex.Quorvex.metainfo.xml
  /usr/share/man/man1/quorvex.1.gz
  /usr/share/doc/quorvex/copyright
  /usr/share/doc/quorvex/changelog.gz
)
for size in 16 32 48 64 128 256; do files+=("/usr/share/icons/hicolor/${size}x$size/apps/quorvex.png"); done

fail() { echo "check-deb: $*" >&2; apt-get purge -y -q quorvex >/dev/null 2>&1 || true; exit 1; }

# Tags of every level are shown; errors fail the check, and so does any
# hardening tag, of whatever level.
tags=$(lintian --display-info --fail-on error "$deb" 2>/dev/null) || {
  echo "$tags"
  fail "lintian reports errors in $(basename "$deb")"
}
echo "lintian: ${tags:-no tags}"
! grep -q 'hardening-' <<<"$tags" || fail "lintian finds $(basename "$deb") not hardened"
version=$(dpkg-deb -f "$deb" Version)
changelog=$(zcat -f packaging/debian/changelog | head -n 1)
[[ $changelog == "quorvex ($version) "* ]] || fail "changelog starts with '$changelog', not version $version"

dpkg -i "$deb" >/dev/null
for f in "${files[@]}" "$autostart"; do [ -e "$f" ] || fail "missing after install: $f"; done
grep -q '^Name\[zh_CN\]=' /usr/share/applications/quorvex.desktop || fail "desktop entry has no Chinese name"
grep -q '^Exec=quorvex$' "$autostart" || fail "autostart entry does not start quorvex"
grep -qx "$autostart" /var/lib/dpkg/info/quorvex.conffiles || fail "autostart entry is not a conffile"
appstreamcli validate --no-net /usr/share/metainfo/invalid.quorvex.Quorvex.metainfo.xml >/dev/null ||
  fail "the AppStream metainfo does not validate"
file -b /usr/bin/quorvex | grep -q ', stripped' || fail "the packaged program is not stripped"
packaging/check-elf.sh /usr/bin/quorvex || fail "the packaged program is not built as distributions expect"

# The installed program starts and stays up (it never ends by itself); a
# runtime folder of its own keeps any other guard's session claim apart.
runtime=$(mktemp -d)
XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=offscreen /usr/bin/quorvex & pid=$!
sleep 2
kill -0 "$pid" 2>/dev/null || fail "installed program did not stay running"
kill "$pid"; wait "$pid" 2>/dev/null || true
rm -rf "$runtime"

# Removed: the autostart entry stays as configuration, and names in TryExec a
# program no longer on the PATH, so desktops skip it.
apt-get remove -y -q quorvex >/dev/null 2>&1
for f in "${files[@]}"; do [ ! -e "$f" ] || fail "left after removal: $f"; done
try_exec=$(sed -n 's/^TryExec=//p' "$autostart" 2>/dev/null) || fail "autostart entry gone after removal, not kept as configuration"
[ "$try_exec" = quorvex ] || fail "autostart entry has TryExec '$try_exec', not quorvex"
! command -v "$try_exec" >/dev/null || fail "autostart entry's TryExec still finds $(command -v "$try_exec")"

# Purged: none of the package's files, its own folder or its record is left.
apt-get purge -y -q quorvex >/dev/null 2>&1
while read -r f; do
  [ ! -e "$f" ] || fail "left after purge: $f"
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's/^\.//'; echo /usr/share/doc/quorvex)
! dpkg-query -W quorvex >/dev/null 2>&1 || fail "dpkg still knows quorvex after purge"
echo "check-deb: $(basename "$deb") ($(stat -c %s "$deb") bytes) is lintian-clean, installs, runs, removes and purges cleanly"
