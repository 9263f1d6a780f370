#!/usr/bin/env bash
# Checks a Linux build of the program as distributions expect it: hardened (a
# position-independent executable, full RELRO with bind-now, the stack
# protector, fortified C library calls) and asking nothing of the C library
# that glibc 2.31 (Debian 11, Ubuntu 20.04) lacks. Reads the ELF only, so a
# stripped program does as well.
#   check-elf.sh PROGRAM
set -euo pipefail
program=${1:?usage: check-elf.sh PROGRAM}
oldest_glibc=2.31

fail() { echo "check-elf: $program: $*" >&2; exit 1; }
[ -f "$program" ] || fail "no such file"

# What the program takes from shared libraries, as name@version.
imports=$(readelf --dyn-syms -W "$program" | awk '$7 == "UND" && $8 ~ /@/ { print $8 }')

readelf -h "$program" | grep -Eq 'Type:[[:space:]]+DYN' || fail "not position-independent (no DYN type)"
dynamic=$(readelf -d -W "$program")
grep -Eq 'FLAGS_1.*\<PIE\>' <<<"$dynamic" || fail "not position-independent (no PIE flag)"
grep -Eq '\(BIND_NOW\)|FLAGS[^_].*\<BIND_NOW\>|FLAGS_1.*\<NOW\>' <<<"$dynamic" || fail "symbols are bound lazily (no BIND_NOW)"
readelf -l -W "$program" | grep -q GNU_RELRO || fail "no RELRO segment (GNU_RELRO)"
grep -q '^__stack_chk_fail@' <<<"$imports" || fail "built without the stack protector (no __stack_chk_fail)"
checked=$(grep -Eo '^__[a-z0-9_]+_chk@' <<<"$imports" | tr -d @ | grep -v '^__stack_chk_fail$' | sort -u || true)
[ -n "$checked" ] || fail "no fortified calls (no __*_chk symbol): built without _FORTIFY_SOURCE"

# glibc gives a function a new version when it changes it, and the build links
# the newest. A newer version than 2.31 is fine where 2.31 had the function:
# the library still carries its older version, or, for the stat calls that
# became real functions in 2.33, the call its headers made of them before.
declare -A stat_before_2_33=(
  [stat]=__xstat [fstat]=__fxstat [lstat]=__lxstat [fstatat]=__fxstatat [mknod]=__xmknod [mknodat]=__xmknodat
  [stat64]=__xstat64 [fstat64]=__fxstat64 [lstat64]=__lxstat64 [fstatat64]=__fxstatat64
)
newer_than() { [ "$1" != "$2" ] && [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1)" = "$1" ]; }
glibc_libraries=$(ldd "$program" | awk '$1 ~ /^lib(c|m|pthread|dl|rt)\.so/ { print $3 }')
[ -n "$glibc_libraries" ] || fail "ldd names no glibc library"
# Every version of every function those libraries define, as name@version.
# shellcheck disable=SC2086
defined=$(for library in $glibc_libraries; do readelf --dyn-syms -W "$library"; done |
  awk '$7 != "UND" { sub(/@@/, "@", $8); print $8 }')
had_in_oldest() {
  local name=$1 version
  for name in "$name" ${stat_before_2_33[$name]:-}; do
    while read -r version; do
      newer_than "$version" "$oldest_glibc" || return 0
    done < <(sed -n "s/^$name@GLIBC_//p" <<<"$defined")
  done
  return 1
}
newest=2.0 reversioned=()
while IFS=@ read -r name version; do
  version=${version#GLIBC_}
  newer_than "$version" "$oldest_glibc" || { newer_than "$version" "$newest" && newest=$version; continue; }
  had_in_oldest "$name" || fail "needs $name from glibc $version, newer than $oldest_glibc"
  reversioned+=("$name@$version")
done < <(grep '@GLIBC_' <<<"$imports")

echo "check-elf: $(basename "$program"): PIE, BIND_NOW, GNU_RELRO, __stack_chk_fail," \
  "fortified calls ${checked//$'\n'/ }; glibc $newest and older" \
  "${reversioned[*]:+(and, by their 2.31 versions: ${reversioned[*]})}"
