#!/usr/bin/env bash
# Signs a Windows program or installer package in place with osslsigncode
# (Authenticode, SHA-256), time-stamped where a server is given.
# Usage: sign.sh --cert=CERT [--key=KEY] [--password-file=FILE] [--timestamp=URL]
#                [--description=TEXT] FILE
#   CERT: a certificate (PEM or DER) with its KEY, or a PKCS#12 file (.p12,
#   .pfx) holding both.
set -euo pipefail
cert= key= password_file= timestamp_url= description=
while [ $# -gt 1 ]; do
  case $1 in
    --cert=*) cert=${1#*=} ;;
    --key=*) key=${1#*=} ;;
    --password-file=*) password_file=${1#*=} ;;
    --timestamp=*) timestamp_url=${1#*=} ;;
    --description=*) description=${1#*=} ;;
    *) echo "sign.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
file=${1:?sign.sh: which file?}
[ -n "$cert" ] || { echo "sign.sh: no certificate" >&2; exit 2; }

options=(-h sha256)
[ -z "$description" ] || options+=(-n "$description")
case ${cert,,} in
  *.p12 | *.pfx) options+=(-pkcs12 "$cert") ;;
  *) [ -n "$key" ] || { echo "sign.sh: $cert needs its key" >&2; exit 2; }
     options+=(-certs "$cert" -key "$key") ;;
esac
[ -z "$password_file" ] || options+=(-readpass "$password_file")
[ -z "$timestamp_url" ] || options+=(-ts "$timestamp_url")

signed=$file.signed
rm -f "$signed"
osslsigncode sign "${options[@]}" -in "$file" -out "$signed" >/dev/null
mv "$signed" "$file"
