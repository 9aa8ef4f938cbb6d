#!/usr/bin/env bash
# Checks every Windows binary the build made: PE files for the build's
# processor (x86 for the product) that import only DLLs Windows itself ships,
# with no link timestamp and no application manifest; the program itself is a
# GUI program.
#   check_binaries.sh BIN-FOLDER OBJDUMP x86|AMD64
set -euo pipefail
bin=$1
objdump=$2
case $3 in
  x86) format=pei-i386 ;;
  AMD64) format=pei-x86-64 ;;
  *) echo "unknown processor $3" >&2; exit 2 ;;
esac
allowed=' advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll version.dll shell32.dll '
failures=0
fail() { echo "FAIL $*" >&2; failures=$((failures + 1)); }

mapfile -t binaries < <(find "$bin" -type f \( -name '*.exe' -o -name '*.dll' \) | sort)
[ ${#binaries[@]} -ge 5 ] || fail "expected the program, the stand-ins and the tests in $bin"

for file in "${binaries[@]}"; do
  name=${file#"$bin"/}
  headers=$($objdump -p "$file")
  grep -q "file format $format\$" <<<"$headers" || fail "$name: not a $format file"
  grep -qE '^Time/Date\s+Thu Jan  1 00:00:00 1970' <<<"$headers" || fail "$name: has a link timestamp"
  while read -r dll; do
    lower=${dll,,}
    [[ $allowed == *" $lower "* ]] || fail "$name: imports $dll, which Windows does not ship"
  done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
  resources=$(wrestool -l "$file" 2>/dev/null || true)
  ! grep -q -- '--type=24' <<<"$resources" || fail "$name: carries an application manifest"
done

program="$bin/QuillaneConfig.exe"
if [ -f "$program" ]; then
  # Proves the resource listing works at all: the program has a version record.
  grep -q -- '--type=16' <<<"$(wrestool -l "$program")" || fail "QuillaneConfig.exe: no version record listed"
  headers=$($objdump -p "$program")
  grep -qE "^Subsystem\s+00000002" <<<"$headers" || fail "QuillaneConfig.exe: not a Windows GUI program"
  # Windows loads these only from the system folder, whatever lies beside the
  # program; any other import could be planted in the program's folder.
  known=' advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll user32.dll '
  while read -r dll; do
    [[ $known == *" ${dll,,} "* ]] || fail "QuillaneConfig.exe: imports $dll, which is not a known DLL"
  done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
else
  fail "QuillaneConfig.exe was not built"
fi

[ "$failures" -eq 0 ] || exit 1
echo "${#binaries[@]} binaries checked"
