#!/usr/bin/env bash
# Builds the program and runs it under Wine, in a Wine prefix of this project's
# own (.run/wineprefix-win32), with the stand-in add-in library and setup
# toolkit beside it (.run/app). Where this host cannot run 32-bit programs, the
# 64-bit build of the same sources runs instead, in .run/wineprefix-win64;
# QUILLANE_WINE_ARCH=win32|win64 forces either.
#
# With a display (DISPLAY set), the dialog appears and waits for you; OK writes
# the add-in list of that prefix. Without one, the program runs on a virtual
# display: a picture of the dialog is saved to .run/dialog.png, OK is pressed,
# and the message shown and the entry written are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/wine-env.sh
quillane_choose_route || exit 1

cmake --preset "$quillane_preset" >/dev/null
cmake --build --preset "$quillane_preset" --target quillane_program Quillane vb6stkit demo_driver

bin=build/$quillane_preset/bin
app=.run/app
mkdir -p "$app"
cp "$bin/QuillaneConfig.exe" "$bin/Quillane.dll" "$bin/vb6stkit.dll" "$app/"

trap quillane_stop_wine EXIT
interactive=0
if [ -n "${DISPLAY:-}" ] && xset q >/dev/null 2>&1; then interactive=1; else quillane_start_virtual_display; fi
quillane_start_wine "$PWD/.run/wineprefix-$quillane_route"

if [ "$interactive" -eq 1 ]; then
  echo "Running the program: the dialog is on your display."
  wine "$app/QuillaneConfig.exe" || true
else
  wine "$bin/demo_driver.exe" "$app/QuillaneConfig.exe" "$(wine winepath -w .run/dialog.bmp)"
  if [ -f .run/dialog.bmp ]; then
    convert .run/dialog.bmp -strip .run/dialog.png && rm .run/dialog.bmp
    echo "Picture of the dialog: .run/dialog.png"
  fi
fi

list="$WINEPREFIX/drive_c/windows/VBADDIN.INI"
if [ -f "$list" ]; then
  echo "The add-in list ($list) now holds:"
  tr -d '\r' <"$list" | sed 's/^/    /'
else
  echo "No add-in list was written."
fi
