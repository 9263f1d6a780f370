#!/usr/bin/env bash
# The Windows packages as they ship: the zip holds the shipped program, its
# licence and the start-up text, readable as Windows 7 reads a zip (the
# Chinese name in code page 936 without the UTF-8 flag, the texts with CRLF
# line ends, the Chinese one with a byte order mark); the shipped program
# carries no debug information; where the build signs (CERT given), the
# program, the program inside the installer package and the package itself
# carry valid signatures.
# Usage: packages.sh ZIP MSI SHIPPED_PROGRAM BUILT_PROGRAM [CERT]
set -euo pipefail
zip=$1 msi=$2 shipped=$3 built=$4 cert=${5:-}
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$zip" "$shipped" <<'PY' || fail "the zip is not as Windows 7 reads it"
import sys, zipfile
archive, shipped = zipfile.ZipFile(sys.argv[1]), open(sys.argv[2], "rb").read()
entries = {info.orig_filename.encode("cp437"): info for info in archive.infolist()}
startup = "启动说明.txt".encode("gbk")
assert set(entries) == {b"quorvex.exe", b"LICENSE.txt", startup}, sorted(entries)
for name, info in entries.items():
    assert not info.flag_bits & 0x800, f"{name!r} carries the UTF-8 flag"
assert archive.read(entries[b"quorvex.exe"]) == shipped, "the zip's program is not the shipped one"
for name, mark in ((b"LICENSE.txt", False), (startup, True)):
    text = archive.read(entries[name])
    assert text.startswith(b"\xef\xbb\xbf") == mark, f"{name!r}: byte order mark {'missing' if mark else 'present'}"
    lines = text.split(b"\r\n")
    assert len(lines) > 3 and not any(b"\n" in line or b"\r" in line for line in lines), f"{name!r}: not CRLF"
    text.decode("utf-8")
print("zip: entries, names, line ends and marks as Windows 7 reads them")
PY

objdump -h "$shipped" | grep -q '\.debug' && fail "the shipped program carries debug information"
objdump -h "$built" | grep -q '\.debug' || fail "the build's own program lost its debug information"
echo "shipped program: $(stat -c %s "$shipped") bytes, built with debug information: $(stat -c %s "$built") bytes"

if [ -n "$cert" ]; then
  (cd "$work" && msiextract "$msi" >/dev/null)
  inside=$(find "$work" -iname quorvex.exe | head -n 1)
  [ -n "$inside" ] || fail "no quorvex.exe inside $msi"
  for signed in "$shipped" "$inside" "$msi"; do
    osslsigncode verify -CAfile "$cert" -in "$signed" >"$work/verify.log" 2>&1 ||
      { cat "$work/verify.log" >&2; fail "$signed: the signature does not verify"; }
    echo "$(basename "$signed"): $(tail -n 1 "$work/verify.log")"
  done
fi
