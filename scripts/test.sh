#!/usr/bin/env bash
# Builds everything and runs every test: the logic's unit tests natively, then
# the Windows program, stand-ins and tests under Wine on a virtual display, and
# last makes the release and checks it.
# The Windows tests run on the 32-bit build, or where this host cannot run
# 32-bit programs on the 64-bit build of the same sources; the 32-bit build is
# made and its binaries checked either way. QUILLANE_WINE_ARCH=win32|win64
# forces a route.
set -euo pipefail
cd "$(dirname "$0")/.."
# The publisher's signing settings are not the tests': releases made here are
# signed, if at all, with a throwaway certificate and no network.
unset "${!QUILLANE_SIGN_@}"
bash scripts/setup.sh
source scripts/wine-env.sh
quillane_choose_route || exit 1
# The release at the end is dated by the sources: a date that cannot be had
# stops the run now, not after every test.
SOURCE_DATE_EPOCH=$(bash scripts/source-date.sh)
export SOURCE_DATE_EPOCH

# The sources' layout, and what a second compiler and a static analyser see in them.
bash scripts/lint.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

# The product. Its tests run under Wine only when this host can run it.
wine_tests=$([ "$quillane_route" = win32 ] && echo ON || echo OFF)
cmake --preset windows -DQUILLANE_WINE_TESTS=$wine_tests >/dev/null
cmake --build --preset windows
if [ "$quillane_route" = win64 ]; then
  ctest --preset windows
  cmake --preset windows64 >/dev/null
  cmake --build --preset windows64
fi

trap quillane_stop_wine EXIT
# Tests always get a display of their own, of a known size and depth.
quillane_start_virtual_display
quillane_start_wine "$PWD/build/$quillane_preset/wineprefix"

# What earlier runs left in the temporary folder, too deep for the tests to remove.
rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/quillane-*
# A spare drive letter whose root is an empty folder, for programs run from a drive root.
spare_root="$PWD/build/$quillane_preset/spare-drive"
rm -rf "$spare_root" && mkdir -p "$spare_root"
ln -sfn "$spare_root" "$WINEPREFIX/dosdevices/q:"
export QUILLANE_TEST_SPARE_DRIVE="Q:"

ctest --preset "$quillane_preset"

# The release holds the 32-bit program these tests checked: signed, with a
# throwaway certificate, then as it ships without one. Made here, not in dist/,
# which only scripts/release.sh writes.
releases=build/releases
rm -rf "$releases"
bash tests/binaries/check_signing.sh "build/$quillane_preset/bin" "$releases"
bash tests/binaries/check_release_folder.sh "$releases"
bash tests/binaries/check_release.sh "$releases/unsigned" build/windows/bin/QuillaneConfig.exe
bash tests/binaries/check_kit.sh "$releases" "$quillane_route"

python3 scripts/test_share.py
echo "Every test passed; the Windows tests ran on the $([ "$quillane_route" = win32 ] && echo 32-bit build || echo 64-bit test build)."
