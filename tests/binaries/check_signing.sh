#!/usr/bin/env bash
# The release's signed path, with a throwaway authority, code-signing and
# time-stamping certificates made here, a throwaway token (SoftHSM2, in a
# folder of the check's own) holding the signing key, and a time-stamping
# authority of the test's own on the loopback address; all of it is deleted
# when the check ends, whatever happens. Every setting that cannot work stops
# the release with its error and no release folder: a PKCS#12 file without its
# password or with a wrong one, both kinds of key at once, a token's module
# without its key or chain, a module that is not there, a wrong PIN, sources
# dated 1980, a time-stamping authority with no key; and every certificate
# whose signature Windows would reject: expired, not yet valid, not for code
# signing, a chain short of the authority that signs itself, a chain whose
# authority did not issue the certificate. The key from the PKCS#12 file and
# from the token each give a signed, time-stamped release, checked by
# check_release.sh, stamped by the authority in Authenticode's protocol and in
# RFC 3161's; without a time stamp both give the same bytes; the PIN is on no
# process's command line while the token signs, nor in anything said. The
# settings name their files from where release.sh is run, as a publisher
# would. A signed program shows its dialog under Wine. Run inside the test
# command's Wine session; its releases go to RELEASES-FOLDER.
#   check_signing.sh RUN-BIN-FOLDER RELEASES-FOLDER  (the bin folder of the build that Wine runs here)
set -euo pipefail
# Only the settings each case gives.
unset "${!QUILLANE_SIGN_@}"
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "$1" && pwd)
mkdir -p "$2" && releases=$(cd "$2" && pwd)
tested=$root/build/windows/bin/QuillaneConfig.exe
work=$(mktemp -d)
authority_pid="" watch="" proof=""
trap 'kill $authority_pid $watch $proof 2>/dev/null; rm -rf "$work"' EXIT
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
authority=(-addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign")
certificate ca "Throwaway Authority" "${authority[@]}"
certificate signer "Throwaway Publisher" -CA ca.pem -CAkey ca.key -addext "extendedKeyUsage=codeSigning"
certificate tsa "Throwaway Time Stamps" -CA ca.pem -CAkey ca.key -addext "extendedKeyUsage=critical,timeStamping"
# Another authority of the same name, which issued none of these.
certificate impostor "Throwaway Authority" "${authority[@]}"
echo "right $RANDOM$RANDOM" >password
# issued NAME FROM UNTIL USE: a certificate of the authority's, valid from
# FROM until UNTIL (YYYYMMDDHHMMSSZ), for USE (an extended key usage), and a
# PKCS#12 file holding it with the authority.
mkdir issued && : >issued/index && echo 1000 >issued/serial
printf '%s\n' "[ ca ]" "default_ca = here" "[ here ]" "database = issued/index" "serial = issued/serial" \
  "new_certs_dir = issued" "certificate = ca.pem" "private_key = ca.key" "default_md = sha256" \
  "policy = any" "unique_subject = no" "[ any ]" "commonName = supplied" >issuing.cnf
issued() {
  openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$1" 2>/dev/null
  printf '%s\n' "[ use ]" "extendedKeyUsage = $4" >"$1.cnf"
  openssl ca -batch -config issuing.cnf -in "$1.csr" -out "$1.pem" -startdate "$2" -enddate "$3" \
    -extfile "$1.cnf" -extensions use -notext 2>/dev/null
  openssl pkcs12 -export -inkey "$1.key" -in "$1.pem" -certfile ca.pem -out "$1.p12" -passout file:password
}
day() { date -u -d "$1" +%Y%m%d%H%M%SZ; }
issued expired 20190101000000Z 20200101000000Z codeSigning
issued future "$(day '+10 days')" "$(day '+20 days')" codeSigning
issued website "$(day '-1 day')" "$(day '+2 days')" serverAuth
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 -passout file:password
openssl pkcs12 -export -inkey signer.key -in signer.pem -out alone.p12 -passout file:password
cat signer.pem ca.pem >chain.pem
cat signer.pem impostor.pem >impostor-chain.pem
# The token: the same key, in a folder of this check's own, behind a PIN.
mkdir tokens
printf '%s\n' "directories.tokendir = $work/tokens" "objectstore.backend = file" >softhsm2.conf
export SOFTHSM2_CONF=$work/softhsm2.conf
echo "$RANDOM$RANDOM$RANDOM" >pin
echo 0000 >wrong  # neither the password nor the PIN
softhsm2-util --init-token --free --label Throwaway --pin "$(cat pin)" --so-pin "$RANDOM$RANDOM" >/dev/null
openssl pkcs8 -topk8 -nocrypt -in signer.key -out signer.p8
softhsm2-util --import signer.p8 --token Throwaway --label publisher --id 01 --pin "$(cat pin)" >/dev/null
module=/usr/lib/softhsm/libsofthsm2.so
# Files named from where release.sh is run, this check's folder.
p12=(QUILLANE_SIGN_PKCS12=signer.p12 QUILLANE_SIGN_PASSWORD_FILE=password)
token=(QUILLANE_SIGN_PKCS11_MODULE="$module" QUILLANE_SIGN_PKCS11_KEY="pkcs11:token=Throwaway;object=publisher"
  QUILLANE_SIGN_CERTS=chain.pem QUILLANE_SIGN_PIN_FILE=pin)

printf '%s\n' "[ tsa ]" "default_tsa = here" "[ here ]" "serial = $work/serial" "signer_cert = $work/tsa.pem" \
  "certs = $work/ca.pem" "signer_key = $work/tsa.key" "signer_digest = sha256" "default_policy = 1.2.3.4" \
  "digests = sha1, sha256" "ess_cert_id_alg = sha256" >tsa.cnf
echo 01 >serial
/usr/bin/python3 "$root/tests/binaries/timestamp_authority.py" "$work" >port &
authority_pid=$!
for _ in $(seq 50); do [ -s port ] && break; sleep 0.1; done
[ -s port ] || fail "the time-stamping authority did not start"
stamped=QUILLANE_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat port)

# release FOLDER SETTING...: the release, made with these settings alone,
# from this check's folder.
release() { env "${@:2}" bash "$root/scripts/release.sh" "$releases/$1" >said 2>&1; }
# refused WHAT SAYING SETTING...: stopped, with a line holding SAYING, no
# release folder, and neither the PIN nor the password in what was said.
refused() {
  local what=$1 saying=$2
  shift 2
  ! release refused "$@" || fail "$what: a release was made"
  [ ! -e "$releases/refused" ] || fail "$what: a release folder was left"
  grep -q -- "$saying" said || fail "$what: not said '$saying', but: $(cat said)"
  ! grep -qF -f pin said || fail "$what: the PIN was said"
  ! grep -qF -f password said || fail "$what: the password was said"
}
refused "a PKCS#12 file without its password file" "not one alone" QUILLANE_SIGN_PKCS12=signer.p12
refused "a wrong password" "Cannot open signer.p12 with the password" "${p12[@]/%password/wrong}"
refused "a PKCS#12 file and a token" "not both" "${p12[@]}" "${token[@]}"
refused "a module without its key" "QUILLANE_SIGN_PKCS11_KEY not set" "${token[@]/#QUILLANE_SIGN_PKCS11_KEY=*/QUILLANE_SIGN_PKCS11_KEY=}"
refused "a module without its chain" "QUILLANE_SIGN_CERTS not set" "${token[@]/#QUILLANE_SIGN_CERTS=*/QUILLANE_SIGN_CERTS=}"
refused "a module that is not there" "names no file" "${token[@]/%libsofthsm2.so/missing.so}"
refused "a wrong PIN" "Cannot sign" "${token[@]/%pin/wrong}"
refused "the PKCS#12 file for sources dated 1980" 1980 SOURCE_DATE_EPOCH=315532800 "${p12[@]}"
refused "the token for sources dated 1980" 1980 SOURCE_DATE_EPOCH=315532800 "${token[@]}"
refused "a time-stamping authority and no key" "no key" "$stamped"
refused "an expired certificate" "expired on 2020-01-01" "${p12[@]/%signer.p12/expired.p12}"
refused "a certificate not yet valid" "is not valid before" "${p12[@]/%signer.p12/future.p12}"
refused "a certificate for websites" "is not for code signing (server_auth)" "${p12[@]/%signer.p12/website.p12}"
refused "a chain short of the authority" "give the chain up to the authority that signs itself" \
  "${p12[@]/%signer.p12/alone.p12}"
refused "a chain whose authority did not issue the certificate" "the signature made does not verify" \
  "${token[@]/%chain.pem/impostor-chain.pem}"

release signed "${p12[@]}" "$stamped" || fail "the release signed from the PKCS#12 file: $(cat said)"
bash "$root/tests/binaries/check_release.sh" "$releases/signed" "$tested" ca.pem

# While the token signs, every process's command line is watched for the PIN.
# The watch is proven first on a process of its own that holds it, known by
# its process id: any other that held it is a leak, whatever its program.
/usr/bin/python3 "$root/tests/binaries/pin_watch.py" pin stop watching >held &
watch=$!
for _ in $(seq 200); do [ -e watching ] && break; sleep 0.05; done
[ -e watching ] || fail "the watch did not start"
# The proof starts no process of its own: a child, between its fork and the
# program it then runs, would stand on the same command line.
# It lives until the watch has seen it, however busy the machine.
/usr/bin/python3 -c 'import time; time.sleep(60)' "a command line that holds $(cat pin)" &
proof=$!
for _ in $(seq 400); do grep -q "^$proof"$'\t' held && break; sleep 0.05; done
kill $proof
wait $proof 2>/dev/null || true
release token "${token[@]}" "$stamped" || fail "the release signed from the token: $(cat said)"
touch stop
wait $watch
grep -q "^$proof"$'\t' held || fail "the watch did not see the PIN on the command line of its proof, process $proof"
! grep -v "^$proof"$'\t' held >leaks || fail "the PIN stood on the command lines of: $(paste -sd '|' leaks)"
! grep -qF -f pin said || fail "the PIN was said: $(cat said)"
bash "$root/tests/binaries/check_release.sh" "$releases/token" "$tested" ca.pem
# Without time stamps, the same key gives the same bytes from either place.
env "${p12[@]}" bash "$root/scripts/sign.sh" "$tested" from-p12.exe
env "${token[@]}" bash "$root/scripts/sign.sh" "$tested" from-token.exe
cmp from-p12.exe from-token.exe || fail "the token and the PKCS#12 file give other bytes for the same key"

# The released program where Wine runs it; elsewhere the build it runs, signed
# the same way.
mkdir shown
if cmp -s "$bin/QuillaneConfig.exe" "$tested"; then
  python3 -m zipfile -e "$releases"/signed/*.zip shown
else
  env "${p12[@]}" bash "$root/scripts/sign.sh" "$bin/QuillaneConfig.exe" shown/QuillaneConfig.exe
fi
cp "$bin/Quillane.dll" "$bin/vb6stkit.dll" shown/
wine "$bin/demo_driver.exe" "$(wine winepath -w shown/QuillaneConfig.exe)" >said 2>&1 ||
  fail "the signed program did not show its dialog: $(tr -d '\r' <said)"
wine reg delete 'HKCR\CLSID\{F3FAB5F4-5689-11D5-816A-444553540000}' /f >/dev/null 2>&1
echo "the release signs from a PKCS#12 file and from a token alike, time-stamped both ways; every setting that cannot work is refused; the signed program shows its dialog"
