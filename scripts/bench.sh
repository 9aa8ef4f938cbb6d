#!/usr/bin/env bash
# Start-up benchmark: the time from starting the program to its dialog being
# visible, median of repeated runs under Wine, beside the same figure for a
# minimal Win32 program that shows one window; and the program's size.
#   scripts/bench.sh [RUNS]   (default 21)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-21}
bash scripts/setup.sh
source scripts/wine-env.sh
quillane_choose_route || exit 1
cmake --preset "$quillane_preset" >/dev/null
cmake --build --preset "$quillane_preset" --target quillane_program Quillane vb6stkit startup_bench minimal_window >/dev/null

bin=build/$quillane_preset/bin
work=build/$quillane_preset/bench
rm -rf "$work" && mkdir -p "$work"
cp "$bin/QuillaneConfig.exe" "$bin/Quillane.dll" "$bin/vb6stkit.dll" "$bin/minimal_window.exe" "$work/"

trap quillane_stop_wine EXIT
quillane_start_virtual_display
quillane_start_wine "$PWD/build/$quillane_preset/wineprefix"
# The add-in is registered once, as after a first run; every measured run then
# finds it registered.
wine "$bin/startup_bench.exe" "$work/QuillaneConfig.exe" "Quillane Configuration" 1 >/dev/null

echo "QuillaneConfig.exe, $runs runs (ms):"
wine "$bin/startup_bench.exe" "$work/QuillaneConfig.exe" "Quillane Configuration" "$runs" | tr -d '\r' | sed 's/^/    /'
echo "minimal Win32 window, $runs runs (ms):"
wine "$bin/startup_bench.exe" "$work/minimal_window.exe" Minimal "$runs" | tr -d '\r' | sed 's/^/    /'
echo "sizes (bytes): QuillaneConfig.exe $(stat -c %s "$bin/QuillaneConfig.exe"), minimal_window.exe $(stat -c %s "$bin/minimal_window.exe")"
wine reg delete 'HKCR\CLSID\{F3FAB5F4-5689-11D5-816A-444553540000}' /f >/dev/null 2>&1 || true
