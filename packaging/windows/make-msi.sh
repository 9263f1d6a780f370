#!/usr/bin/env bash
# Builds the Windows Installer package of quorvex.exe with wixl.
# Usage: make-msi.sh OUTPUT.msi PROGRAM.exe ICON.ico LICENSE VERSION PRODUCT_NAME MANUFACTURER ARCH
# ARCH is x64 or x86.
#
# wixl takes its sources by relative path, so they are staged in a scratch
# folder. Three things it cannot say are set afterwards with msibuild: the
# package's language in the summary (wixl always writes 1033), the database
# code page, and that the upgrade's version range includes its own version,
# so that a rebuilt package of the same version replaces the installed one
# in place instead of installing beside it.
set -euo pipefail
output=$1 program=$2 icon=$3 licence=$4 version=$5 name=$6 manufacturer=$7 arch=$8
here=$(cd "$(dirname "$0")" && pwd)
output=$(realpath -m "$output")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$program" "$stage/quorvex.exe"
cp "$icon" "$stage/quorvex.ico"
sed 's/$/\r/' "$licence" >"$stage/LICENSE.txt"
printf '\n\n936\t_ForceCodepage\n' >"$stage/_ForceCodepage.idt"

mkdir -p "$(dirname "$output")"
rm -f "$output"
(cd "$stage" && wixl --arch "$arch" -D Version="$version" -D ProductName="$name" -D Manufacturer="$manufacturer" \
   -D Arch="$arch" -o "$output" "$here/quorvex.wxs")
template=$([ "$arch" = x64 ] && echo x64 || echo Intel)
msibuild "$output" -s "$name" "$manufacturer" "$template;2052"
(cd "$stage" && msibuild "$output" -i _ForceCodepage.idt)
# The older-or-same row of the Upgrade table: its maximum becomes inclusive
# (msidbUpgradeAttributesVersionMaxInclusive, 0x200).
msiinfo export "$output" Upgrade | tr -d '\r' |
  awk -F'\t' -v OFS='\t' 'NR > 3 && $7 == "WIX_UPGRADE_DETECTED" && int($5 / 512) % 2 == 0 { $5 += 512 } 1' >"$stage/Upgrade.idt"
(cd "$stage" && msibuild "$output" -i Upgrade.idt)
