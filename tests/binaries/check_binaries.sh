#!/usr/bin/env bash
# Checks every Windows binary the build made: PE files for the build's
# processor (x86 for the product) with no link timestamp and no application
# manifest, importing only DLLs that Windows always loads from the system
# folder (any other could be planted beside the program). The program itself:
# a GUI program, within 160 KB for x86, with its version record (for the
# project's version) and icon.
#   check_binaries.sh BIN-FOLDER OBJDUMP x86|AMD64 VERSION
set -euo pipefail
shopt -s extglob
# objdump's words as they are read here, whatever the caller's language.
export LC_ALL=C
bin=$1
objdump=$2
format=$([ "$3" = x86 ] && echo pei-i386 || echo pei-x86-64)
IFS=. read -r major minor patch revision <<<"$4"
known=' advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll user32.dll '
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
    [[ $known == *" ${dll,,} "* ]] || fail "$name: imports $dll, which is not a known DLL"
  done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
  ! wrestool -l "$file" 2>/dev/null | grep -q -- '--type=24' || fail "$name: carries an application manifest"
done

program="$bin/QuillaneConfig.exe"
grep -qE "^Subsystem\s+00000002" <<<"$($objdump -p "$program")" || fail "QuillaneConfig.exe: not a GUI program"
# No dead weight: the program stays within 160 KB, so that a change that pulls
# in a heavy part of a library is seen when it is made.
size=$(stat -c %s "$program")
[ "$3" != x86 ] || [ "$size" -le 163840 ] || fail "QuillaneConfig.exe: $size bytes, over 160 KB (163840)"
# The version record: exactly the seven keys, in one U.S. English, Unicode block;
# the version twice as text ("1.00.0002") and twice as numbers, no flags,
# 32-bit Windows, an application.
text=$(printf '%d.%02d.%04d' "$major" "$minor" "$revision")
record=$(wrestool -x --raw --type=16 "$program" | strings -el | tr '\n' '|')
[[ $record == "VS_VERSION_INFO|StringFileInfo|040904B0|CompanyName|"+([!|])"|LegalCopyright|"+([!|])"|ProductName|Quillane Add-In Configuration|FileVersion|$text|ProductVersion|$text|InternalName|QuillaneConfig|OriginalFilename|QuillaneConfig.exe|VarFileInfo|Translation|" ]] ||
  fail "QuillaneConfig.exe: version record holds $record"
fixed=$(wrestool -x --raw --type=16 "$program" | python3 -c 'import struct, sys
data = sys.stdin.buffer.read()
print(*struct.unpack_from("<10I", data, data.find(b"\xbd\x04\xef\xfe") + 4), data[-4:].hex())')
numbers="$((major << 16 | minor)) $((patch << 16 | revision))"
[ "$fixed" = "65536 $numbers $numbers 63 0 4 1 0 0904b004" ] || fail "QuillaneConfig.exe: fixed version record $fixed"
# The icon: one 16 x 16 image in 24 bits with a mask, in black, white, grey and navy.
icon=$(wrestool -x --type=14 "$program" | icotool -l -)
[ "$icon" = "--icon --index=1 --width=16 --height=16 --bit-depth=24 --palette-size=0" ] || fail "icon: $icon"
colours=$(wrestool -x --type=14 "$program" | icotool -x -o - - | convert png:- -format %c histogram:info:- |
  grep -o '#[0-9A-F]*' | sort | tr '\n' ' ')
[ "$colours" = "#00000000 #000000FF #00007FFF #BFBFBFFF #FFFFFFFF " ] || fail "icon colours: $colours"

[ "$failures" -eq 0 ] || exit 1
echo "${#binaries[@]} binaries checked"
