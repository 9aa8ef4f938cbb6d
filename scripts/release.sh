#!/usr/bin/env bash
# Makes what a Windows user downloads: dist/QuillaneConfig-<version>.zip, with
# the 32-bit program and its guide (README.txt, with Windows line ends), and
# dist/SHA256SUMS beside it. The program is the one the tests ran: built by the
# same preset, it is not rebuilt unless its sources changed since. Every entry
# carries the time of the last commit, so one commit always gives the same bytes.
#   scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target quillane_program >/dev/null

version=$(sed -n 's/^project(QuillaneConfig VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
rm -rf dist && mkdir dist
python3 - build/windows/bin/QuillaneConfig.exe docs/windows-guide.txt "dist/QuillaneConfig-$version.zip" <<'PY'
import os, sys, time, zipfile
program, guide, archive = sys.argv[1:]
when = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
with open(program, "rb") as exe, open(guide, "rb") as text:
    entries = [("QuillaneConfig.exe", exe.read()),
               ("README.txt", text.read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))]
with zipfile.ZipFile(archive, "w") as zip:
    for name, data in entries:
        entry = zipfile.ZipInfo(name, date_time=when)
        entry.create_system, entry.external_attr = 0, 0x20  # made on Windows; attribute "archive"
        zip.writestr(entry, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
PY
{ (cd dist && sha256sum "QuillaneConfig-$version.zip"); (cd build/windows/bin && sha256sum QuillaneConfig.exe); } \
  >dist/SHA256SUMS
echo "Release: dist/QuillaneConfig-$version.zip"
cat dist/SHA256SUMS
