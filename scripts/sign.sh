#!/usr/bin/env bash
# Signs a Windows program with the publisher's key: an Authenticode signature
# in SHA-1, which Windows XP SP3 can check, with one in SHA-256 nested in it
# for Vista and later. Both carry the product's name and are dated by the
# sources (SOURCE_DATE_EPOCH), so the same program and key always give the
# same bytes, whichever of the two places below the key is read from. With
# QUILLANE_SIGN_TIMESTAMP_URL, that time-stamping authority countersigns
# each, so that the signatures outlive the certificate: the SHA-1 one in
# Authenticode's own protocol, the only one Windows XP reads, the SHA-256 one
# in RFC 3161's. That needs the network.
#
# The key, from a PKCS#12 file with its certificate chain:
#   QUILLANE_SIGN_PKCS12=KEY-AND-CHAIN.p12 QUILLANE_SIGN_PASSWORD_FILE=FILE
# or from a token or HSM that never lets it out, through its PKCS#11 module
# (OpenSSL's pkcs11 engine): the key's PKCS#11 URI, without the PIN; the
# certificate chain, signer first; the PIN in a file, never on a command line:
#   QUILLANE_SIGN_PKCS11_MODULE=MODULE.so QUILLANE_SIGN_PKCS11_KEY='pkcs11:...'
#   QUILLANE_SIGN_CERTS=CHAIN.pem QUILLANE_SIGN_PIN_FILE=FILE
#
#   SOURCE_DATE_EPOCH=SECONDS scripts/sign.sh PROGRAM.exe SIGNED.exe
#   SOURCE_DATE_EPOCH=SECONDS scripts/sign.sh --check
#       prints "pkcs12", "pkcs11" or "none": where the settings take the key
#       from; fails, saying why in one line, when they cannot work (the
#       sources' date included). Signs nothing.
set -euo pipefail

fail() {
  echo "$*" >&2
  exit 1
}

# Sets `key_source` to where the settings take the key from, and `key` to
# osslsigncode's options for it; fails, saying why, when they cannot work.
choose_key() {
  local pkcs12=${QUILLANE_SIGN_PKCS12:-} password=${QUILLANE_SIGN_PASSWORD_FILE:-}
  local module=${QUILLANE_SIGN_PKCS11_MODULE:-} uri=${QUILLANE_SIGN_PKCS11_KEY:-}
  local certs=${QUILLANE_SIGN_CERTS:-} pin=${QUILLANE_SIGN_PIN_FILE:-}
  local token=$module$uri$certs$pin missing=() name file
  if [ -n "$pkcs12$password" ] && [ -n "$token" ]; then
    fail "Sign from a PKCS#12 file (QUILLANE_SIGN_PKCS12) or from a token (QUILLANE_SIGN_PKCS11_*), not both"
  fi
  if [ -n "$pkcs12$password" ]; then
    [ -n "$pkcs12" ] && [ -n "$password" ] ||
      fail "Signing needs both QUILLANE_SIGN_PKCS12 and QUILLANE_SIGN_PASSWORD_FILE, not one alone"
    key_source=pkcs12 key=(-pkcs12 "$pkcs12" -readpass "$password")
  elif [ -n "$token" ]; then
    for name in QUILLANE_SIGN_PKCS11_MODULE QUILLANE_SIGN_PKCS11_KEY QUILLANE_SIGN_CERTS QUILLANE_SIGN_PIN_FILE; do
      [ -n "${!name:-}" ] || missing+=("$name")
    done
    [ ${#missing[@]} -eq 0 ] || fail "Signing from a token needs the module, the key, the certificates and the PIN file: ${missing[*]} not set"
    [[ $uri == pkcs11:* ]] || fail "QUILLANE_SIGN_PKCS11_KEY must be a PKCS#11 URI (pkcs11:...), not '$uri'"
    # A PIN in the URI would stand on osslsigncode's command line.
    [[ $uri != *pin-value=* ]] || fail "QUILLANE_SIGN_PKCS11_KEY holds a PIN: give it in QUILLANE_SIGN_PIN_FILE instead"
    key_source=pkcs11 key=(-pkcs11module "$module" -key "$uri" -certs "$certs" -readpass "$pin")
  else
    [ -z "${QUILLANE_SIGN_TIMESTAMP_URL:-}" ] ||
      fail "QUILLANE_SIGN_TIMESTAMP_URL is set, but no key to sign with (QUILLANE_SIGN_PKCS12 or QUILLANE_SIGN_PKCS11_*)"
    key_source=none key=()
    return 0
  fi
  for name in QUILLANE_SIGN_PKCS12 QUILLANE_SIGN_PASSWORD_FILE QUILLANE_SIGN_PKCS11_MODULE QUILLANE_SIGN_CERTS \
    QUILLANE_SIGN_PIN_FILE; do
    file=${!name:-}
    if [ -n "$file" ] && { [ ! -f "$file" ] || [ ! -r "$file" ]; }; then
      fail "$name names no file that can be read: $file"
    fi
  done
}
choose_key
# Signed by the sources' date, as source-date.sh accepts it; sources without a
# date of their own (1980-01-01) are not signed: a signature dated before its
# certificate helps no one.
if [ "$key_source" != none ]; then
  date=$(SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:?the date of the sources} bash "$(dirname "$0")/source-date.sh") ||
    exit 1
  [ "$date" -gt 315532800 ] || fail "Cannot sign sources dated 1980-01-01, the date of sources without one"
fi
if [ "${1:-}" = --check ]; then
  echo "$key_source"
  exit 0
fi
[ $# -eq 2 ] || fail "usage: scripts/sign.sh PROGRAM.exe SIGNED.exe, or scripts/sign.sh --check"
[ "$key_source" != none ] || fail "sign.sh: no key to sign with (QUILLANE_SIGN_PKCS12 or QUILLANE_SIGN_PKCS11_*)"
in=$1
out=$2
# The signed program goes to a new file: never over one that is there.
if [ -e "$out" ] || [ -L "$out" ]; then
  fail "sign.sh: $out is there already; name a file that is not"
fi
url=${QUILLANE_SIGN_TIMESTAMP_URL:-}
whose=${QUILLANE_SIGN_PKCS12:-the key ${QUILLANE_SIGN_PKCS11_KEY:-} through ${QUILLANE_SIGN_PKCS11_MODULE:-}}
# What osslsigncode says never shows the PIN, should it repeat it.
secret=""
[ -z "${QUILLANE_SIGN_PIN_FILE:-}" ] || IFS= read -r secret <"$QUILLANE_SIGN_PIN_FILE" || true
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# sign DIGEST FROM TO [OPTION...]
sign() {
  local digest=$1 from=$2 to=$3 said
  shift 3
  if ! said=$(osslsigncode sign "${key[@]}" -h "$digest" "$@" -n "Quillane Add-In Configuration" -time "$date" \
    -in "$from" -out "$to" 2>&1); then
    said=$(grep -m1 -i 'fail\|error' <<<"$said" || true)
    [ -z "$secret" ] || said=${said//"$secret"/(the PIN)}
    fail "Cannot sign $in with $whose: $said"
  fi
}
sign sha1 "$in" "$work/sha1.exe" ${url:+-t "$url"}
sign sha256 "$work/sha1.exe" "$work/signed.exe" -nest ${url:+-ts "$url"}

# What was made is what was asked for, whichever osslsigncode made it: the
# SHA-1 signature with the SHA-256 one nested, each with the product's name and
# the sources' date and, with an authority, the time stamp of its kind.
stamps=("none" "none")
[ -z "$url" ] || stamps=("Authenticode" "RFC 3161")
expected="SHA1 | signed $date | Quillane Add-In Configuration | ${stamps[0]}"
expected+=$'\n'"SHA256 | signed $date | Quillane Add-In Configuration | ${stamps[1]}"
made=$(python3 "$(dirname "$0")/signatures.py" "$work/signed.exe" | sed -E 's/ [0-9]+$//')
if [ "$made" != "$expected" ]; then
  fail "Cannot sign $in as asked: $(osslsigncode --version 2>&1 | head -n 1 | cut -d , -f 1) made [${made//$'\n'/; }]," \
    "not [${expected//$'\n'/; }]; osslsigncode 2.5 or later, from Debian 12's own packages, makes both"
fi
mv "$work/signed.exe" "$out"
