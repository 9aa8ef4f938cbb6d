#!/usr/bin/env bash
# The program's folder as seen by a program started from a folder deeper than
# MAX_PATH (260 characters). Started through Wine's own loader: a Windows
# parent cannot start it there under Wine 8.
set -euo pipefail
probe=$1
root=$(mktemp -d "$WINEPREFIX/drive_c/deep.XXXXXX")
trap 'rm -rf "$root"' EXIT

folder=$root
while [ ${#folder} -lt 400 ]; do folder="$folder/a-rather-long-folder-name"; done
mkdir -p "$folder"
cp "$probe" "$folder/"

windows_folder="C:${folder#"$WINEPREFIX/drive_c"}"
windows_folder=${windows_folder//\//\\}
expected="folder $windows_folder"
actual=$(wine "$folder/$(basename "$probe")" folder | tr -d '\r')
if [ "$actual" != "$expected" ]; then
  printf 'expected: %s\nactual:   %s\n' "$expected" "$actual" >&2
  exit 1
fi
echo "a folder of ${#windows_folder} characters is reported whole"
