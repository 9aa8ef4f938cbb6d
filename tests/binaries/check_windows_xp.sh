#!/usr/bin/env bash
# Checks that the 32-bit program starts on Windows XP SP3: its header asks for
# Windows 5.1, and every function it imports, from every DLL, is exported by XP
# SP3's version of that DLL (the lists in xp-exports/).
#   check_windows_xp.sh OBJDUMP PROGRAM.exe XP-EXPORTS-FOLDER
set -euo pipefail
# objdump's words as they are read here, whatever the caller's language.
export LC_ALL=C
headers=$($1 -p "$2")
lists=$3
failures=0
fail() { echo "FAIL $*" >&2; failures=$((failures + 1)); }

versions=$(awk '/^M(ajor|inor)(OSystem|Subsystem)Version/ { printf "%s ", $2 }' <<<"$headers")
[ "$versions" = "5 1 5 1 " ] || fail "OS and subsystem versions are $versions, not 5.1 and 5.1"
# "DLL Name: KERNEL32.dll", then a line per function: address, hint, name.
imports=$(awk '/DLL Name:/ { dll = tolower($3); sub(/\.dll$/, "", dll); next }
               !NF { dll = "" }
               dll && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, (NF == 3 ? $3 : "(by ordinal)") }' <<<"$headers")
[ "$(wc -l <<<"$imports")" -gt 50 ] || fail "the import table was not read: $imports"
while read -r dll name; do
  grep -qxF "$name" "$lists/$dll.txt" 2>/dev/null ||
    fail "$dll.dll: $name is not on Windows XP SP3"
done <<<"$imports"
[ "$failures" -eq 0 ] || exit 1
echo "$(wc -l <<<"$imports") imported functions are all on Windows XP SP3"
