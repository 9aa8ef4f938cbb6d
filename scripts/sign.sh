#!/usr/bin/env bash
# Signs a Windows program with the publisher's certificate: an Authenticode
# signature in SHA-1, which Windows XP SP3 can check, with one in SHA-256
# nested in it for Vista and later. Both carry the product's name and are
# dated by the sources (SOURCE_DATE_EPOCH), so the same program and certificate
# always give the same bytes. With QUILLANE_SIGN_TIMESTAMP_URL, that
# time-stamping authority countersigns each, so that the signatures outlive the
# certificate: the SHA-1 one in Authenticode's own protocol, the only one
# Windows XP reads, the SHA-256 one in RFC 3161's. That needs the network.
#   QUILLANE_SIGN_PKCS12=KEY-AND-CHAIN.p12 QUILLANE_SIGN_PASSWORD_FILE=FILE \
#   SOURCE_DATE_EPOCH=SECONDS scripts/sign.sh PROGRAM.exe SIGNED.exe
set -euo pipefail
in=$1
out=$2
# The signed program goes to a new file: never over one that is there.
if [ -e "$out" ] || [ -L "$out" ]; then
  echo "sign.sh: $out is there already; name a file that is not" >&2
  exit 1
fi
# The sources' date, as source-date.sh accepts it.
date=$(SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:?the date of the sources} bash "$(dirname "$0")/source-date.sh")
if [ "$date" -le 315532800 ]; then
  echo "Cannot sign $in dated 1980-01-01, the date of sources without one" >&2
  exit 1
fi
url=${QUILLANE_SIGN_TIMESTAMP_URL:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# sign DIGEST FROM TO [OPTION...]
sign() {
  local digest=$1 from=$2 to=$3 said
  shift 3
  if ! said=$(osslsigncode sign -pkcs12 "$QUILLANE_SIGN_PKCS12" -readpass "$QUILLANE_SIGN_PASSWORD_FILE" \
    -h "$digest" "$@" -n "Quillane Add-In Configuration" -time "$date" -in "$from" -out "$to" 2>&1); then
    echo "Cannot sign $in with $QUILLANE_SIGN_PKCS12: $(grep -m1 -i 'fail\|error' <<<"$said")" >&2
    exit 1
  fi
}
sign sha1 "$in" "$work/sha1.exe" ${url:+-t "$url"}
sign sha256 "$work/sha1.exe" "$work/signed.exe" -nest ${url:+-ts "$url"}
mv "$work/signed.exe" "$out"
