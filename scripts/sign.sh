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
# Files are named from where the command is run. The chain must reach an
# authority that signs itself: the signatures are verified against it.
#
#   SOURCE_DATE_EPOCH=SECONDS scripts/sign.sh PROGRAM.exe SIGNED.exe
#   SOURCE_DATE_EPOCH=SECONDS scripts/sign.sh --check
#       prints "pkcs12", "pkcs11" or "none": where the settings take the key
#       from; fails, saying why in one line, when they cannot work (the
#       sources' date and the signing certificate included). Signs nothing.
# Nothing leaves sign.sh that Windows would reject today: a certificate that
# is expired, not yet valid or not for code signing is refused before
# anything is signed, and each signature made is verified, chain and
# certificate, before the signed program is handed on.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3

fail() {
  echo "$*" >&2
  exit 1
}

# The settings, each named once: those of a PKCS#12 file, and those of a
# token, of which all but the key's URI name files.
pkcs12_settings=(QUILLANE_SIGN_PKCS12 QUILLANE_SIGN_PASSWORD_FILE)
token_settings=(QUILLANE_SIGN_PKCS11_MODULE QUILLANE_SIGN_PKCS11_KEY QUILLANE_SIGN_CERTS QUILLANE_SIGN_PIN_FILE)

# The names among $@ whose settings are not empty.
given() {
  local name
  for name; do [ -z "${!name:-}" ] || echo "$name"; done
}

# Sets `key_source` to where the settings take the key from, and `key` to
# osslsigncode's options for it; fails, saying why, when they cannot work.
choose_key() {
  local pkcs12 token name missing=()
  pkcs12=$(given "${pkcs12_settings[@]}")
  token=$(given "${token_settings[@]}")
  if [ -n "$pkcs12" ] && [ -n "$token" ]; then
    fail "Sign from a PKCS#12 file (QUILLANE_SIGN_PKCS12) or from a token (QUILLANE_SIGN_PKCS11_*), not both"
  fi
  if [ -n "$pkcs12" ]; then
    [ "$(wc -l <<<"$pkcs12")" = ${#pkcs12_settings[@]} ] ||
      fail "Signing needs both QUILLANE_SIGN_PKCS12 and QUILLANE_SIGN_PASSWORD_FILE, not one alone"
    key_source=pkcs12 key=(-pkcs12 "$QUILLANE_SIGN_PKCS12" -readpass "$QUILLANE_SIGN_PASSWORD_FILE")
  elif [ -n "$token" ]; then
    for name in "${token_settings[@]}"; do [ -n "${!name:-}" ] || missing+=("$name"); done
    [ ${#missing[@]} -eq 0 ] || fail "Signing from a token needs the module, the key, the certificates and the PIN file: ${missing[*]} not set"
    local uri=$QUILLANE_SIGN_PKCS11_KEY
    [[ $uri == pkcs11:* ]] || fail "QUILLANE_SIGN_PKCS11_KEY must be a PKCS#11 URI (pkcs11:...), not '$uri'"
    # A PIN in the URI would stand on osslsigncode's command line.
    [[ $uri != *pin-value=* ]] || fail "QUILLANE_SIGN_PKCS11_KEY holds a PIN: give it in QUILLANE_SIGN_PIN_FILE instead"
    key_source=pkcs11
    key=(-pkcs11module "$QUILLANE_SIGN_PKCS11_MODULE" -key "$uri" -certs "$QUILLANE_SIGN_CERTS"
      -readpass "$QUILLANE_SIGN_PIN_FILE")
  else
    [ -z "${QUILLANE_SIGN_TIMESTAMP_URL:-}" ] ||
      fail "QUILLANE_SIGN_TIMESTAMP_URL is set, but no key to sign with (QUILLANE_SIGN_PKCS12 or QUILLANE_SIGN_PKCS11_*)"
    key_source=none key=()
    return 0
  fi
  for name in $pkcs12 $token; do
    [ "$name" != QUILLANE_SIGN_PKCS11_KEY ] || continue
    if [ ! -f "${!name}" ] || [ ! -r "${!name}" ]; then
      fail "$name names no file that can be read: ${!name}"
    fi
  done
}

# Writes the signing certificate and then the rest of its chain to
# $work/chain.pem, and the authority its chain ends in to $work/top.pem;
# fails, saying why, when the certificate cannot sign today.
check_certificate() {
  local said
  if [ "$key_source" = pkcs12 ]; then
    # OpenSSL 3 reads files made with older ciphers only through its legacy provider.
    local legacy
    for legacy in "" -legacy; do
      if said=$(openssl pkcs12 $legacy -in "$QUILLANE_SIGN_PKCS12" -passin "file:$QUILLANE_SIGN_PASSWORD_FILE" \
        -nokeys -clcerts -out "$work/signer.pem" 2>&1) &&
        openssl pkcs12 $legacy -in "$QUILLANE_SIGN_PKCS12" -passin "file:$QUILLANE_SIGN_PASSWORD_FILE" \
          -nokeys -cacerts -out "$work/authorities.pem" 2>/dev/null; then
        break
      fi
      said=$(grep -m1 -i 'error\|invalid\|mac' <<<"$said" || true)
      [ -z "$legacy" ] || fail "Cannot open $QUILLANE_SIGN_PKCS12 with the password in QUILLANE_SIGN_PASSWORD_FILE: $said"
    done
    cat "$work/signer.pem" "$work/authorities.pem" >"$work/chain.pem"
  else
    cp "$QUILLANE_SIGN_CERTS" "$work/chain.pem"
  fi
  said=$($python "$here/certificates.py" "$work/chain.pem" "$work/top.pem" 2>&1) ||
    fail "Cannot sign with ${QUILLANE_SIGN_PKCS12:-the certificates in ${QUILLANE_SIGN_CERTS:-}}: $said"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
choose_key
# Signed by the sources' date, as source-date.sh accepts it; sources without a
# date of their own (1980-01-01) are not signed: a signature dated before its
# certificate helps no one.
if [ "$key_source" != none ]; then
  date=$(SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:?the date of the sources} bash "$here/source-date.sh") || exit 1
  [ "$date" -gt 315532800 ] || fail "Cannot sign sources dated 1980-01-01, the date of sources without one"
  check_certificate
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
description=$($python "$here/signatures.py" --description)

# sign DIGEST FROM TO [OPTION...]
sign() {
  local digest=$1 from=$2 to=$3 said
  shift 3
  if ! said=$(osslsigncode sign "${key[@]}" -h "$digest" "$@" -n "$description" -time "$date" \
    -in "$from" -out "$to" 2>&1); then
    said=$(grep -m1 -i 'fail\|error' <<<"$said" || true)
    [ -z "$secret" ] || said=${said//"$secret"/(the PIN)}
    fail "Cannot sign $in with $whose: $said"
  fi
}
sign sha1 "$in" "$work/sha1.exe" ${url:+-t "$url"}
sign sha256 "$work/sha1.exe" "$work/signed.exe" -nest ${url:+-ts "$url"}

# Each signature verifies today, its certificate and its chain up to the
# authority the chain given ends in; a time stamp's own authority is not the
# publisher's to name, and is not asked for here.
if ! said=$(osslsigncode verify -CAfile "$work/top.pem" -ignore-timestamp -in "$work/signed.exe" 2>&1); then
  said=$(grep -m1 -i 'error\|fail' <<<"$said" || true)
  fail "Cannot sign $in with $whose: the signature made does not verify: $said"
fi
# What was made is what was asked for, whichever osslsigncode made it.
if ! said=$($python "$here/signatures.py" "$work/signed.exe" --expect "$date" ${url:+--stamped} 2>&1); then
  fail "Cannot sign $in as asked, with $(osslsigncode --version 2>&1 | head -n 1 | cut -d , -f 1): $said;" \
    "osslsigncode 2.5 or later, from Debian 12's own packages, makes both"
fi
mv "$work/signed.exe" "$out"
