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
# Given the publisher's key, from a PKCS#12 file or a PKCS#11 token, the
# program is signed before it is zipped (scripts/sign.sh, which names the
# settings); without one it is not, and the script says so.
#   [SIGNING SETTINGS [QUILLANE_SIGN_TIMESTAMP_URL=URL]] scripts/release.sh [FOLDER]
#
# FOLDER is taken from where the command is run. It must not exist, be empty,
# or hold nothing but an earlier release of this program, which is replaced;
# anything else stops the script before it builds anything, and the folder is
# left as it was. A release that fails leaves the folder as it found it.
set -euo pipefail

usage() {
  echo "usage: scripts/release.sh [FOLDER]   (FOLDER: dist/ in the project unless named;"
  echo "       it must not exist, be empty, or hold only an earlier release of QuillaneConfig)"
}
case $# in
  0) out="" ;;
  1) case $1 in
       --help | -h) usage; exit 0 ;;
       -*) { echo "release.sh: unknown option '$1'"; usage; } >&2; exit 2 ;;
       "") { echo "release.sh: FOLDER is empty"; usage; } >&2; exit 2 ;;
     esac
     out=$1 ;;
  *) usage >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
# From where the user stands, before the script moves to the project.
case $out in
  "") out=$root/dist ;;
  /*) ;;
  *) out=$PWD/$out ;;
esac
while [[ $out == */ && $out != / ]]; do out=${out%/}; done

# The files of an earlier release in folder $1, which this script may replace:
# a QuillaneConfig-<version>.zip and SHA256SUMS holding that zip's hash, and
# nothing else. Prints their names; nothing for a folder that is empty or not
# there. Anything else is not this script's to touch: it says so in one line
# and fails.
earlier_release() {
  local folder=$1 entries zip
  [ -e "$folder" ] || [ -L "$folder" ] || return 0
  if [ -L "$folder" ] || [ ! -d "$folder" ]; then
    echo "release.sh: $folder is not a folder; name a folder that is new, empty or holds an earlier release" >&2
    return 1
  fi
  entries=$(cd "$folder" && find . -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort)
  [ -n "$entries" ] || return 0
  zip=$(grep -xE 'QuillaneConfig-[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+\.zip' <<<"$entries" || true)
  if [[ $zip == *$'\n'* || -z $zip || $entries != "$(printf '%s\n' "$zip" SHA256SUMS | LC_ALL=C sort)" ||
    -L $folder/$zip || -L $folder/SHA256SUMS || ! -f $folder/$zip || ! -f $folder/SHA256SUMS ]] ||
    ! (cd "$folder" && [ "$(cut -d ' ' -f 3- SHA256SUMS)" = "$zip" ] && sha256sum --quiet --status -c SHA256SUMS); then
    echo "release.sh: $folder holds files that are not an earlier release of QuillaneConfig ($(head -c 200 <<<"$entries" | paste -sd " ")); it is left as it is: name a folder that is new or empty" >&2
    return 1
  fi
  echo "$zip SHA256SUMS"
}
earlier=$(earlier_release "$out") || exit 1
cd "$root"
bash scripts/setup.sh
# Before anything is built: signing settings that cannot work are an error
# now, and so are a date that cannot be had and signing sources that have no
# date of their own.
SOURCE_DATE_EPOCH=$(bash scripts/source-date.sh)
export SOURCE_DATE_EPOCH
signing=$(bash scripts/sign.sh --check) || exit 1
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
if [ "$signing" != none ]; then
  bash scripts/sign.sh "$program" "$staging/QuillaneConfig.exe"
else
  echo "The program is not signed: no key was given (QUILLANE_SIGN_PKCS12 or QUILLANE_SIGN_PKCS11_*)."
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
# The earlier release goes only now, file by file: what the folder held at
# the start and nothing else. A folder that has meanwhile taken anything more
# is not removed, and the new release is not put in its place.
if [ -n "$earlier" ]; then
  (cd "$out" && rm -f -- $earlier) && rmdir -- "$out" 2>/dev/null || {
    echo "release.sh: $out changed while the release was made; the new release is not put there" >&2
    exit 1
  }
elif [ -d "$out" ]; then
  rmdir -- "$out" 2>/dev/null || { echo "release.sh: $out is no longer empty; the new release is not put there" >&2; exit 1; }
fi
mkdir -p "$(dirname "$out")" && mv -T "$staging" "$out"
echo "Release: $out/$zip"
cat "$out/SHA256SUMS"
