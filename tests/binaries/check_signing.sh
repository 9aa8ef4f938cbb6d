#!/usr/bin/env bash
# The release's signed path, with a throwaway authority and code-signing
# certificate made here and deleted after: a certificate given by one variable
# alone, or with a wrong password, stops the release with an error and no
# dist/; the right one gives a signed release, checked by check_release.sh; and
# a signed program shows its dialog under Wine. Run inside the test command's
# Wine session; leaves no dist/ behind.
#   check_signing.sh RUN-BIN-FOLDER  (the bin folder of the build that Wine runs here)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "$1" && pwd)
tested=$root/build/windows/bin/QuillaneConfig.exe
work=$(mktemp -d)
trap 'rm -rf "$work" "$root/dist"' EXIT
fail() { echo "FAIL $*" >&2; exit 1; }
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(bash "$root/scripts/source-date.sh")}
export SOURCE_DATE_EPOCH

cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throwaway Authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout signer.key -out signer.pem -days 2 -CA ca.pem -CAkey ca.key \
  -subj "/CN=Throwaway Publisher" -addext "basicConstraints=CA:FALSE" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
echo "right $RANDOM" >password
echo wrong >wrong
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 -passout file:password

release() { (cd "$root" && bash scripts/release.sh) >said 2>&1; }
! QUILLANE_SIGN_PKCS12=$work/signer.p12 release && [ ! -e "$root/dist" ] ||
  fail "a certificate without its password file: $(cat said)"
! QUILLANE_SIGN_PKCS12=$work/signer.p12 QUILLANE_SIGN_PASSWORD_FILE=$work/wrong release && [ ! -e "$root/dist" ] ||
  fail "a wrong password: $(cat said)"
QUILLANE_SIGN_PKCS12=$work/signer.p12 QUILLANE_SIGN_PASSWORD_FILE=$work/password release ||
  fail "the signed release: $(cat said)"
bash "$root/tests/binaries/check_release.sh" "$root/dist" "$tested" ca.pem

# The released program where Wine runs it; elsewhere the build it runs, signed
# the same way.
mkdir shown
if cmp -s "$bin/QuillaneConfig.exe" "$tested"; then
  python3 -m zipfile -e "$root"/dist/*.zip shown
else
  QUILLANE_SIGN_PKCS12=signer.p12 QUILLANE_SIGN_PASSWORD_FILE=password \
    bash "$root/scripts/sign.sh" "$bin/QuillaneConfig.exe" shown/QuillaneConfig.exe
fi
cp "$bin/Quillane.dll" "$bin/vb6stkit.dll" shown/
wine "$bin/startup_bench.exe" "$(wine winepath -w shown/QuillaneConfig.exe)" "Quillane Configuration" 1 >said 2>&1 ||
  fail "the signed program showed no dialog: $(cat said)"
wine reg delete 'HKCR\CLSID\{F3FAB5F4-5689-11D5-816A-444553540000}' /f >/dev/null 2>&1
echo "the signed release checks out, and the signed program shows its dialog"
