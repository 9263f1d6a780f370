#!/usr/bin/env bash
# The shipped program as the Windows loader reads its header: it imports
# nothing that Windows 7 SP1 lacks (every function it imports is on the
# committed list of those Windows 7 SP1 has), says Windows 7 (6.1) is its
# floor, and is hardened: ASLR (a dynamic base, with the relocations it
# needs), DEP (NX compatible) and, for x64, high-entropy ASLR.
# Usage: pe_header.sh OBJDUMP PROGRAM.exe x64|x86 ALLOWED_IMPORTS
set -euo pipefail
objdump=$1 program=$2 arch=$3 allowed=$4
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$objdump" -p "$program" >"$work/header"
field() { awk -v name="$1" '$1 == name { print $2; exit }' "$work/header"; }
# A data directory's size, by the number objdump gives it.
directory_size() { awk -v entry="$1" '$1 == "Entry" && $2 == entry { print $4; exit }' "$work/header"; }

[ "$(field Magic)" = "$([ "$arch" = x64 ] && echo 020b || echo 010b)" ] || fail "$program is no $arch program"
# objdump spells the OS version "OSystem".
for version in OSystem Subsystem; do
  found=$(field "Major${version}Version").$(field "Minor${version}Version")
  [ "$found" = 6.1 ] || fail "the ${version/OSystem/OS} version is $found, not 6.1 (Windows 7)"
done
flags=$(sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p' "$work/header")
required=(DYNAMIC_BASE NX_COMPAT)
[ "$arch" = x86 ] || required+=(HIGH_ENTROPY_VA)
for flag in "${required[@]}"; do
  grep -qw "$flag" <<<"$flags" || fail "DllCharacteristics lack $flag"
done
! grep -q 'relocations stripped' "$work/header" || fail "the relocations were stripped: no ASLR"
(( 16#$(directory_size 5) > 0 )) || fail "no base relocations: no ASLR"
(( 16#$(directory_size d) == 0 )) || fail "delay-loaded imports, which this check does not read"

# Every import as "dll function" (an import by ordinal as "dll #ordinal").
awk '/^\tDLL Name:/ { dll = tolower($3); next }
     /^$/ { dll = "" }
     dll && /^\t[0-9a-f]+\t/ { print dll, (NF >= 3 ? $3 : "#" $2) }' "$work/header" | sort -u >"$work/imports"
[ -s "$work/imports" ] || fail "no imports read from $program"
grep -v '^#' "$allowed" | sed '/^$/d' | sort -u >"$work/allowed"
if comm -23 "$work/imports" "$work/allowed" | grep . >"$work/new"; then
  fail "imports that are not on $(basename "$allowed"); check that Windows 7 SP1 has each before adding it:
$(sed 's/^/  /' "$work/new")"
fi
echo "$(basename "$program") ($arch): OS and subsystem version 6.1;" \
  "$(grep -ow -e DYNAMIC_BASE -e NX_COMPAT -e HIGH_ENTROPY_VA <<<"$flags" | tr '\n' ' ')with relocations;" \
  "$(wc -l <"$work/imports") imports from $(cut -d' ' -f1 "$work/imports" | sort -u | tr '\n' ' ')all on the list of $(wc -l <"$work/allowed")"
