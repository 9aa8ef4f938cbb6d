#!/usr/bin/env bash
# The test programs refuse to run in a Wine prefix that lacks the mark of the
# project's scripts, in one line, and change nothing there: the add-in list
# they would otherwise delete is left as it was. Run inside the test command's
# Wine session; puts the mark back, whatever happens.
#   check_refusal.sh BIN-FOLDER
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$1
fail() { echo "FAIL $*" >&2; exit 1; }
# Only in a prefix of the scripts' own: elsewhere the add-in list is somebody's.
wine reg query 'HKLM\Software\Quillane\Test Prefix' >/dev/null 2>&1 || fail "$WINEPREFIX is not a test prefix"
list=$WINEPREFIX/drive_c/windows/VBADDIN.INI
printf '[Add-Ins32]\r\nSomeone.Else=1\r\n' >"$list"
settings=$(wine winepath -w "$root/scripts/wine-prefix.reg" 2>/dev/null | tr -d '\r')
work=$(mktemp -d)
trap 'wine reg import "$settings" >/dev/null 2>&1; rm -rf "$work"; rm -f "$list"' EXIT
wine reg delete 'HKLM\Software\Quillane\Test Prefix' /f >/dev/null 2>&1

for program in program_tests in_process_tests; do
  status=0
  wine "$bin/$program.exe" >"$work/out" 2>"$work/said" || status=$?
  [ "$status" = 2 ] || fail "$program ran without the mark: status $status, saying: $(cat "$work"/*)"
  [ "$(wc -l <"$work/said")" = 1 ] || fail "$program said more than one line: $(cat "$work/said")"
  grep -q 'refuses to run' "$work/said" || fail "$program did not say that it refuses: $(cat "$work/said")"
  [ "$(cat "$list")" = $'[Add-Ins32]\r\nSomeone.Else=1\r' ] || fail "$program changed the add-in list: $(cat "$list")"
done
echo "the test programs refuse to run outside a prefix of the project's scripts"
