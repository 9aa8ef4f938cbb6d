#!/usr/bin/env bash
# The release's signed path, with a throwaway authority, code-signing and
# time-stamping certificates made here and deleted after, and a time-stamping
# authority of the test's own on the loopback address: a certificate given by
# one variable alone, with a wrong password or for sources dated 1980 stops the
# release with an error and no release folder; the right one gives a signed,
# time-stamped release, checked by check_release.sh, whose signatures asked
# the authority in Authenticode's protocol and then in RFC 3161's; and a signed
# program shows its dialog under Wine. Run inside the test command's Wine
# session; its releases go to RELEASES-FOLDER.
#   check_signing.sh RUN-BIN-FOLDER RELEASES-FOLDER  (the bin folder of the build that Wine runs here)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "$1" && pwd)
mkdir -p "$2" && releases=$(cd "$2" && pwd)
tested=$root/build/windows/bin/QuillaneConfig.exe
work=$(mktemp -d)
authority_pid=""
trap '[ -z "$authority_pid" ] || kill "$authority_pid"; rm -rf "$work"' EXIT
fail() { echo "FAIL $*" >&2; exit 1; }
# Signed by the sources' date; sources without one are signed by today's here,
# in throwaway signatures that nobody downloads.
SOURCE_DATE_EPOCH=$(bash "$root/scripts/source-date.sh")
[ "$SOURCE_DATE_EPOCH" -gt 315532800 ] || SOURCE_DATE_EPOCH=$(date +%s)
export SOURCE_DATE_EPOCH

cd "$work"
certificate() {  # NAME SUBJECT EXTENSION...
  local name=$1 subject=$2
  shift 2
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.pem" -days 2 -subj "/CN=$subject" \
    "$@" 2>/dev/null
}
certificate ca "Throwaway Authority" -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign"
certificate signer "Throwaway Publisher" -CA ca.pem -CAkey ca.key -addext "extendedKeyUsage=codeSigning"
certificate tsa "Throwaway Time Stamps" -CA ca.pem -CAkey ca.key -addext "extendedKeyUsage=critical,timeStamping"
echo "right $RANDOM" >password
echo wrong >wrong
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 -passout file:password
printf '%s\n' "[ tsa ]" "default_tsa = here" "[ here ]" "serial = $work/serial" "signer_cert = $work/tsa.pem" \
  "certs = $work/ca.pem" "signer_key = $work/tsa.key" "signer_digest = sha256" "default_policy = 1.2.3.4" \
  "digests = sha1, sha256" "ess_cert_id_alg = sha256" >tsa.cnf
echo 01 >serial
python3 "$root/tests/binaries/timestamp_authority.py" "$work" >port &
authority_pid=$!
for _ in $(seq 50); do [ -s port ] && break; sleep 0.1; done
[ -s port ] || fail "the time-stamping authority did not start"

release() { (cd "$root" && bash scripts/release.sh "$releases/signed") >said 2>&1; }
p12=$work/signer.p12
! QUILLANE_SIGN_PKCS12=$p12 release && [ ! -e "$releases/signed" ] || fail "a certificate without its password file: $(cat said)"
! QUILLANE_SIGN_PKCS12=$p12 QUILLANE_SIGN_PASSWORD_FILE=$work/wrong release && [ ! -e "$releases/signed" ] ||
  fail "a wrong password: $(cat said)"
export QUILLANE_SIGN_PASSWORD_FILE=$work/password
! QUILLANE_SIGN_PKCS12=$p12 SOURCE_DATE_EPOCH=315532800 release && [ ! -e "$releases/signed" ] && grep -q 1980 said ||
  fail "sources dated 1980: $(cat said)"
QUILLANE_SIGN_PKCS12=$p12 QUILLANE_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat port) release ||
  fail "the signed release: $(cat said)"
bash "$root/tests/binaries/check_release.sh" "$releases/signed" "$tested" ca.pem
[ "$(tr '\n' '|' <requests.log)" = "Authenticode|RFC 3161|" ] ||
  fail "the authority was asked for $(tr '\n' '|' <requests.log), not Authenticode's stamp, then RFC 3161's"

# The released program where Wine runs it; elsewhere the build it runs, signed
# the same way.
mkdir shown
if cmp -s "$bin/QuillaneConfig.exe" "$tested"; then
  python3 -m zipfile -e "$releases"/signed/*.zip shown
else
  QUILLANE_SIGN_PKCS12=$p12 bash "$root/scripts/sign.sh" "$bin/QuillaneConfig.exe" shown/QuillaneConfig.exe
fi
cp "$bin/Quillane.dll" "$bin/vb6stkit.dll" shown/
wine "$bin/demo_driver.exe" "$(wine winepath -w shown/QuillaneConfig.exe)" >said 2>&1 ||
  fail "the signed program did not show its dialog: $(tr -d '\r' <said)"
wine reg delete 'HKCR\CLSID\{F3FAB5F4-5689-11D5-816A-444553540000}' /f >/dev/null 2>&1
echo "the signed release checks out, time-stamped both ways, and the signed program shows its dialog"
