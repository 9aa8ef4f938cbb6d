#!/usr/bin/env bash
# Makes what a Windows user downloads, in FOLDER (dist/ unless another is
# named): QuillaneConfig-<version>.zip, with the 32-bit program and its guide
# (README.txt, with Windows line ends, the version in its title and the
# program's SHA-256), and SHA256SUMS, the zip's SHA-256. The program is the
# one the tests ran: built by the same preset, it is not rebuilt unless its
# sources changed since. The version is the program's own, from its version
# record. Every entry carries the sources' date (scripts/source-date.sh), so
# the same sources always give the same bytes.
#
# Given the publisher's certificate, the program is signed before it is
# zipped (scripts/sign.sh); without one it is not, and the script says so.
#   [QUILLANE_SIGN_PKCS12=KEY-AND-CHAIN.p12 QUILLANE_SIGN_PASSWORD_FILE=FILE
#    [QUILLANE_SIGN_TIMESTAMP_URL=URL]] scripts/release.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-dist}
bash scripts/setup.sh
# Whatever an earlier run left goes first: a release that fails leaves none.
rm -rf "$out"
pkcs12=${QUILLANE_SIGN_PKCS12:-}
password=${QUILLANE_SIGN_PASSWORD_FILE:-}
if [[ -n $pkcs12 && -z $password || -z $pkcs12 && -n $password ]]; then
  echo "Signing needs both QUILLANE_SIGN_PKCS12 and QUILLANE_SIGN_PASSWORD_FILE, not one alone" >&2
  exit 1
fi
# Before anything is built: a date that cannot be had is an error now, and so
# is signing sources that have no date of their own.
SOURCE_DATE_EPOCH=$(bash scripts/source-date.sh)
export SOURCE_DATE_EPOCH
if [ -n "$pkcs12" ] && [ "$SOURCE_DATE_EPOCH" -le 315532800 ]; then
  echo "Cannot sign a release dated 1980-01-01, the date of sources without one: a signature dated before its certificate helps no one" >&2
  exit 1
fi
cmake --preset windows >/dev/null
cmake --build --preset windows --target quillane_program >/dev/null

program=build/windows/bin/QuillaneConfig.exe
source scripts/wine-env.sh
if ! quillane_loader_runs /usr/lib/wine/wine; then
  echo "This host cannot run 32-bit programs ($quillane_why): the program in this release was not run on this host."
fi
version=$(bash scripts/exe-version.sh "$program")
zip=QuillaneConfig-$version.zip
staging=$(mktemp -d build/release.XXXXXX)
trap 'rm -rf "$staging"' EXIT
if [ -n "$pkcs12" ]; then
  bash scripts/sign.sh "$program" "$staging/QuillaneConfig.exe"
else
  echo "The program is not signed: no certificate was given (QUILLANE_SIGN_PKCS12)."
  cp "$program" "$staging/QuillaneConfig.exe"
fi
python3 - "$staging/QuillaneConfig.exe" docs/windows-guide.txt "$version" "$staging/$zip" <<'PY'
import hashlib, os, sys, time, zipfile
program, guide, version, archive = sys.argv[1:]
when = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
with open(program, "rb") as exe, open(guide, "rb") as text:
    program = exe.read()
    lines = text.read().replace(b"\r\n", b"\n").split(b"\n")
    title = b"QuillaneConfig " + version.encode()
    lines[0:2] = [title, b"=" * len(title)]
    readme = b"\r\n".join(lines).replace(b"@PROGRAM_SHA256@", hashlib.sha256(program).hexdigest().encode())
    entries = [("QuillaneConfig.exe", program), ("README.txt", readme)]
with zipfile.ZipFile(archive, "w") as zip:
    for name, data in entries:
        entry = zipfile.ZipInfo(name, date_time=when)
        entry.create_system, entry.external_attr = 0, 0x20  # made on Windows; attribute "archive"
        zip.writestr(entry, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
PY
(cd "$staging" && sha256sum "$zip" >SHA256SUMS && rm QuillaneConfig.exe)
chmod 755 "$staging"
mkdir -p "$(dirname "$out")" && mv "$staging" "$out"
echo "Release: $out/$zip"
cat "$out/SHA256SUMS"
