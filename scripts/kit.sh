#!/usr/bin/env bash
# Makes the test kit, with which a publisher proves the program of a release
# on their own Windows machines: QuillaneConfig-<version>-test-kit.zip, in
# FOLDER (dist/ unless another is named), beside the release it is made from,
# which this script first makes with scripts/release.sh, signed if the
# signing settings are given. Unpacked into a folder, the kit holds:
#   RUN-TESTS.cmd            the one command (kit/RUN-TESTS.cmd)
#   README-KIT.txt           its guide (docs/kit-guide.txt), with Windows line ends
#   QuillaneConfig-<version>.zip and SHA256SUMS, byte for byte as release.sh made them
#   tests/                   the runner, the Windows test programs and the
#                            stand-ins they need, all built to start on Windows XP SP3
# The program is never in the kit but in the release: the runner takes it
# out of the zip, checked against SHA256SUMS and its guide. Every entry is
# dated as the release is, so the same sources give the same kit.
#   [SIGNING SETTINGS] scripts/kit.sh [--] [FOLDER]
# FOLDER follows release.sh's rules: new, empty, or holding nothing but an
# earlier release, with or without its kit, which are replaced.
set -euo pipefail

usage() {
  echo "usage: scripts/kit.sh [--] [FOLDER]   (FOLDER: dist/ in the project unless named; it must be"
  echo "       new, empty, or hold only an earlier release of QuillaneConfig, with or without its kit)"
}
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/release-folder.sh"
quillane_read_folder_argument kit.sh "$@"

quillane_prepare_folder kit.sh

# The release, as release.sh makes it, in a new folder of the kit's own; what
# it says, but for where it put the release, which is not where it stays.
if ! bash "$root/scripts/release.sh" "$staging/release" >"$staging/release.said" 2>&1; then
  cat "$staging/release.said" >&2
  exit 1
fi
grep -v '^Release: \|^[0-9a-f]\{64\}  ' "$staging/release.said" || true
zip=$($python "$root/scripts/release_folder.py" verify "$staging/release")
version=${zip#QuillaneConfig-}
version=${version%.zip}
SOURCE_DATE_EPOCH=$(bash "$root/scripts/source-date.sh" 2>/dev/null)
export SOURCE_DATE_EPOCH

# The runner, the test programs and the stand-ins, from the build the tests ran.
(cd "$root" && cmake --preset windows >/dev/null && cmake --build --preset windows --target kit_files >/dev/null)
bin=$root/build/windows/bin
tests=(kit_runner.exe program_tests.exe in_process_tests.exe Quillane.dll vb6stkit.dll noentry/vb6stkit.dll
  planted/uxtheme.dll local_server_standin.exe)
kit=QuillaneConfig-$version-test-kit.zip
$python - "$root" "$staging/release" "$zip" "$version" "$bin" "$staging/new/$kit" "${tests[@]}" <<'PY'
import os, sys
root, release, zip_name, version, bin, kit = sys.argv[1:7]
sys.path.insert(0, os.path.join(root, "scripts"))
from release_folder import windows_text, write_zip

def read(*path):
    with open(os.path.join(*path), "rb") as file:
        return file.read()

write_zip(kit, [
    ("RUN-TESTS.cmd", windows_text(read(root, "kit", "RUN-TESTS.cmd"))),
    ("README-KIT.txt", windows_text(read(root, "docs", "kit-guide.txt"),
                                    b"QuillaneConfig " + version.encode() + b" test kit")),
    (zip_name, read(release, zip_name)),
    ("SHA256SUMS", read(release, "SHA256SUMS")),
] + [("tests/" + name, read(bin, name)) for name in sys.argv[7:]])
PY
mv "$staging/release/$zip" "$staging/release/SHA256SUMS" "$staging/new/"
quillane_put_folder kit.sh
echo "Release: $folder/$zip"
echo "Test kit: $folder/$kit"
cat "$folder/SHA256SUMS"
