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
#   [SIGNING SETTINGS [QUILLANE_SIGN_TIMESTAMP_URL=URL]] scripts/release.sh [--] [FOLDER]
#
# FOLDER and the signing settings' files are taken from where the command is
# run. FOLDER must be new, empty, or hold nothing but an earlier release of
# this program (scripts/release_folder.py says what that is); anything else
# stops the script before it builds anything, and the folder is left as it
# was. An earlier release stays in place until the new one is complete, and a
# release that fails leaves the folder as it found it.
set -euo pipefail

usage() {
  echo "usage: scripts/release.sh [--] [FOLDER]   (FOLDER: dist/ in the project unless named;"
  echo "       it must be new, empty, or hold only an earlier release of QuillaneConfig)"
}
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/release-folder.sh"
quillane_read_folder_argument release.sh "$@"

# The folder, decided before anything is built: made if new, and given a
# staging folder of its own that a failure removes with what it holds.
quillane_prepare_folder release.sh

bash "$root/scripts/setup.sh"
# Before anything is built: signing settings that cannot work are an error
# now, and so are a date that cannot be had and signing sources that have no
# date of their own.
SOURCE_DATE_EPOCH=$(bash "$root/scripts/source-date.sh")
export SOURCE_DATE_EPOCH
signing=$(bash "$root/scripts/sign.sh" --check) || exit 1
(cd "$root" && cmake --preset windows >/dev/null && cmake --build --preset windows --target quillane_program >/dev/null)

program=$root/build/windows/bin/QuillaneConfig.exe
source "$root/scripts/wine-env.sh"
if ! quillane_loader_runs /usr/lib/wine/wine; then
  echo "This host cannot run 32-bit programs ($quillane_why): the program in this release was not run on this host."
fi
version=$(bash "$root/scripts/exe-version.sh" "$program")
zip=QuillaneConfig-$version.zip
if [ "$signing" != none ]; then
  bash "$root/scripts/sign.sh" "$program" "$staging/QuillaneConfig.exe"
else
  echo "The program is not signed: no key was given (QUILLANE_SIGN_PKCS12 or QUILLANE_SIGN_PKCS11_*)."
  cp "$program" "$staging/QuillaneConfig.exe"
fi
$python - "$root/scripts" "$staging/QuillaneConfig.exe" "$root/docs/windows-guide.txt" "$version" \
  "$staging/new/$zip" <<'PY'
import hashlib, sys
sys.path.insert(0, sys.argv[1])
from release_folder import windows_text, write_zip
program, guide, version, archive = sys.argv[2:]
with open(program, "rb") as exe, open(guide, "rb") as text:
    program = exe.read()
    readme = windows_text(text.read(), b"QuillaneConfig " + version.encode())
readme = readme.replace(b"@PROGRAM_SHA256@", hashlib.sha256(program).hexdigest().encode())
write_zip(archive, [("QuillaneConfig.exe", program), ("README.txt", readme)])
PY
$python "$root/scripts/release_folder.py" sums "$staging/new/$zip" >"$staging/new/SHA256SUMS"
quillane_put_folder release.sh
echo "Release: $folder/$zip"
cat "$folder/SHA256SUMS"
