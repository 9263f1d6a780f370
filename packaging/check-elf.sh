#!/usr/bin/env bash
# Checks a Linux build of the program as distributions expect it: hardened (a
# position-independent executable, full RELRO with bind-now, the stack
# protector, fortified C library calls). Given the root of the system it is
# built for (--base), also that every symbol version it needs is one that
# system's libraries define, as the loader will demand: a program built on
# Debian 11 needs glibc 2.31 and GLIBCXX_3.4.28 at most. Reads the ELF alone,
# of any architecture (GNU readelf reads them all; READELF picks another), so
# a stripped or cross-built program does as well.
#   check-elf.sh [--base=ROOT] PROGRAM
set -euo pipefail
base=
case ${1:-} in --base=*) base=${1#--base=}; shift ;; esac
program=${1:?usage: check-elf.sh [--base=ROOT] PROGRAM}
readelf=${READELF:-readelf}

fail() { echo "check-elf: $program: $*" >&2; exit 1; }
[ -f "$program" ] || fail "no such file"
[ -z "$base" ] || [ -d "$base" ] || fail "no base system at $base"

# What the program takes from shared libraries, as name@version.
imports=$("$readelf" --dyn-syms -W "$program" | awk '$7 == "UND" && $8 ~ /@/ { print $8 }')

"$readelf" -h "$program" | grep -Eq 'Type:[[:space:]]+DYN' || fail "not position-independent (no DYN type)"
dynamic=$("$readelf" -d -W "$program")
grep -Eq 'FLAGS_1.*\<PIE\>' <<<"$dynamic" || fail "not position-independent (no PIE flag)"
grep -Eq '\(BIND_NOW\)|FLAGS[^_].*\<BIND_NOW\>|FLAGS_1.*\<NOW\>' <<<"$dynamic" || fail "symbols are bound lazily (no BIND_NOW)"
"$readelf" -l -W "$program" | grep -q GNU_RELRO || fail "no RELRO segment (GNU_RELRO)"
grep -q '^__stack_chk_fail@' <<<"$imports" || fail "built without the stack protector (no __stack_chk_fail)"
checked=$(grep -Eo '^__[a-z0-9_]+_chk@' <<<"$imports" | tr -d @ | grep -v '^__stack_chk_fail$' | sort -u || true)
[ -n "$checked" ] || fail "no fortified calls (no __*_chk symbol): built without _FORTIFY_SOURCE"

machine() { "$readelf" -h "$1" | sed -n 's/^ *Machine: *//p'; }
# The versions an ELF file needs, as "library version" lines (.gnu.version_r),
# or defines, as bare versions (.gnu.version_d).
needed_versions() {
  "$readelf" -V -W "$1" | sed -n '/^Version needs section/,/^$/p' | awk '
    { for (i = 1; i < NF; i++) if ($i == "File:") library = $(i + 1); else if ($i == "Name:") print library, $(i + 1) }'
}
defined_versions() {
  "$readelf" -V -W "$1" | sed -n '/^Version definition section/,/^$/p' |
    awk '{ for (i = 1; i < NF; i++) if ($i == "Name:") print $(i + 1) }'
}
newest() { grep "^$1[0-9]" | sed "s/^$1//" | sort -V | tail -n 1; }

needs=$(needed_versions "$program")
[ -n "$needs" ] || fail "needs no symbol versions: not a dynamically linked program"
target=$(machine "$program")
summary="GLIBC_$(cut -d' ' -f2 <<<"$needs" | newest GLIBC_), GLIBCXX_$(cut -d' ' -f2 <<<"$needs" | newest GLIBCXX_)"

# The base's own copy of a library, for the program's architecture: where
# multiarch puts it, or where older systems and the loader itself lie.
base_library() {
  local library
  for library in "$base"/{usr/,}lib/*/"$1" "$base"/{usr/,}lib{,64}/"$1"; do
    [ -f "$library" ] && [ "$(machine "$library")" = "$target" ] && { echo "$library"; return; }
  done
  return 0
}
if [ -n "$base" ]; then
  declare -A defined=()
  while read -r library version; do
    if [ -z "${defined[$library]+set}" ]; then
      copy=$(base_library "$library")
      [ -n "$copy" ] || fail "needs $library, which the base has not for $target"
      defined[$library]=$(defined_versions "$copy")
    fi
    grep -qxF "$version" <<<"${defined[$library]}" ||
      fail "needs $version of $library; the base's has ${version%%[0-9]*}$(newest "${version%%[0-9]*}" <<<"${defined[$library]}") at most"
  done <<<"$needs"
  summary+=", every version defined by the base's libraries (which go up to GLIBC_$(newest GLIBC_ <<<"${defined[libc.so.6]:-}"),"
  summary+=" GLIBCXX_$(newest GLIBCXX_ <<<"${defined[libstdc++.so.6]:-}"))"
fi

echo "check-elf: $(basename "$program") ($target): PIE, BIND_NOW, GNU_RELRO, __stack_chk_fail," \
  "fortified calls ${checked//$'\n'/ }; needs $summary"
