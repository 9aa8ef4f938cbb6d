#!/usr/bin/env bash
# Makes what a Windows user downloads: dist/QuillaneConfig-<version>.zip, with
# the 32-bit program and its guide (README.txt, with Windows line ends and the
# version in its title), and dist/SHA256SUMS beside it. The program is the one
# the tests ran: built by the same preset, it is not rebuilt unless its sources
# changed since. The version is the program's own, from its version record.
# Every entry carries the sources' date (scripts/source-date.sh), so the same
# sources always give the same bytes.
#   scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# Before anything is built: a date that cannot be had is an error now.
SOURCE_DATE_EPOCH=$(bash scripts/source-date.sh)
export SOURCE_DATE_EPOCH
cmake --preset windows >/dev/null
cmake --build --preset windows --target quillane_program >/dev/null

program=build/windows/bin/QuillaneConfig.exe
version=$(bash scripts/exe-version.sh "$program")
zip=QuillaneConfig-$version.zip
rm -rf dist && mkdir dist
python3 - "$program" docs/windows-guide.txt "$version" "dist/$zip" <<'PY'
import os, sys, time, zipfile
program, guide, version, archive = sys.argv[1:]
when = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
with open(program, "rb") as exe, open(guide, "rb") as text:
    lines = text.read().replace(b"\r\n", b"\n").split(b"\n")
    title = b"QuillaneConfig " + version.encode()
    lines[0:2] = [title, b"=" * len(title)]
    entries = [("QuillaneConfig.exe", exe.read()), ("README.txt", b"\r\n".join(lines))]
with zipfile.ZipFile(archive, "w") as zip:
    for name, data in entries:
        entry = zipfile.ZipInfo(name, date_time=when)
        entry.create_system, entry.external_attr = 0, 0x20  # made on Windows; attribute "archive"
        zip.writestr(entry, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
PY
{ (cd dist && sha256sum "$zip"); (cd "$(dirname "$program")" && sha256sum QuillaneConfig.exe); } >dist/SHA256SUMS
echo "Release: dist/$zip"
cat dist/SHA256SUMS
