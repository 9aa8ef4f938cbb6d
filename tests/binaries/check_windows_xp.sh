#!/usr/bin/env bash
# Checks that 32-bit Windows binaries start on Windows XP SP3: each one's header
# asks for Windows 5.1, and every function it imports, from every DLL, is
# exported by XP SP3's version of that DLL (the lists in xp-exports/). Given a
# folder, checks every .exe and .dll in it and in the folders below it. Each
# failure names the file and what it lacks.
#   check_windows_xp.sh OBJDUMP FILE|FOLDER XP-EXPORTS-FOLDER
set -euo pipefail
# objdump's words as they are read here, whatever the caller's language.
export LC_ALL=C
objdump=$1
lists=$3
failures=0
fail() { echo "FAIL $name: $*" >&2; failures=$((failures + 1)); }

if [ -d "$2" ]; then
  mapfile -t files < <(find "$2" -type f \( -iname '*.exe' -o -iname '*.dll' \) | sort)
  [ ${#files[@]} -gt 0 ] || { echo "FAIL $2 holds no .exe or .dll" >&2; exit 1; }
else
  files=("$2")
fi

for file in "${files[@]}"; do
  name=${file#"$2"/}
  [ -d "$2" ] || name=$file
  failed_before=$failures
  headers=$($objdump -p "$file")
  versions=$(awk '/^M(ajor|inor)(OSystem|Subsystem)Version/ { printf "%s ", $2 }' <<<"$headers")
  [ "$versions" = "5 1 5 1 " ] || fail "OS and subsystem versions are $versions, not 5.1 and 5.1"
  # "DLL Name: KERNEL32.dll", then a line per function: address, hint, name.
  imports=$(awk '/DLL Name:/ { dll = tolower($3); sub(/\.dll$/, "", dll); next }
                 !NF { dll = "" }
                 dll && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, (NF == 3 ? $3 : "(by ordinal)") }' <<<"$headers")
  # The import table was read: it names at least one DLL (every program here
  # imports KERNEL32), and functions were read for every DLL it names.
  named=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr '[:upper:]' '[:lower:]' | sed 's/\.dll$//' | sort -u)
  [ -n "$named" ] || fail "no DLL read from its import table"
  unread=$(comm -23 <(echo "$named") <(cut -d ' ' -f 1 <<<"$imports" | sort -u) | sed 's/$/.dll/' | tr '\n' ' ')
  [ -z "$unread" ] || fail "the import table was not read: no function read for $unread"
  while read -r dll function; do
    [ -n "$dll" ] || continue
    grep -qxF "$function" "$lists/$dll.txt" 2>/dev/null ||
      fail "$dll.dll: $function is not on Windows XP SP3"
  done <<<"$imports"
  [ "$failures" -gt "$failed_before" ] || echo "$name: $(grep -c . <<<"$imports") imported functions, all on Windows XP SP3"
done
[ "$failures" -eq 0 ] || exit 1
