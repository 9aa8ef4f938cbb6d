#!/usr/bin/env bash
# Builds everything and runs every test: the logic's unit tests natively, then
# the Windows program, stand-ins and tests under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset windows >/dev/null
cmake --build --preset windows

source scripts/wine-env.sh
trap quillane_stop_wine EXIT
# Tests always get a display of their own, of a known size and depth.
quillane_start_virtual_display
quillane_start_wine "$PWD/build/windows/wineprefix"

# A spare drive letter whose root is an empty folder, for programs run from a drive root.
spare_root="$PWD/build/windows/spare-drive"
rm -rf "$spare_root" && mkdir -p "$spare_root"
ln -sfn "$spare_root" "$WINEPREFIX/dosdevices/q:"
export QUILLANE_TEST_SPARE_DRIVE="Q:"

ctest --preset windows
