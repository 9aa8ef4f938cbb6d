#!/usr/bin/env bash
# The test kit as a publisher gets it and runs it. scripts/kit.sh, run from a
# folder of the check's own, makes the release and the kit beside it; the kit
# holds exactly its files, the release byte for byte, Windows line ends in its
# texts, and programs and libraries that all start on Windows XP SP3; made
# again, it has the same bytes. Where this host runs 32-bit programs, the kit
# then runs under Wine in a fresh prefix, without the test mark, that stands
# in for a user's machine, with the user's own add-in list, class
# registration, colours and Wine settings:
#  - RUN-TESTS.cmd runs every test, ends "N passed, 0 failed, N skipped", and
#    leaves the add-in list, the registry keys and the colours exactly as
#    they were (their bytes and their exported keys);
#  - killed while its tests run, with the add-in list and the colours
#    changed, the next start puts everything back first and says so, and the
#    machine is then exactly as it was;
#  - a journal that another machine's run left is not put back here;
#  - in a folder the ANSI code page cannot name, it refuses and changes nothing;
#  - its test programs, started by hand, refuse and change nothing;
#  - a kit whose release zip was changed by one byte refuses to run, in one
#    line, and changes nothing.
# Elsewhere it says in one line that the kit was not run. Run inside the test
# command's Wine session (its display); the kit's prefix is its own.
#   check_kit.sh RELEASES-FOLDER ROUTE   (ROUTE: win32 or win64, the route of the test command)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$1" && cd "$1"
route=$2
fail() { echo "FAIL $*" >&2; exit 1; }
version=$(bash "$root/scripts/exe-version.sh" "$root/build/windows/bin/QuillaneConfig.exe")
kit=QuillaneConfig-$version-test-kit.zip
zip=QuillaneConfig-$version.zip

bash "$root/scripts/kit.sh" kit >said 2>&1 || fail "kit.sh: $(cat said)"
[ "$(ls kit | tr '\n' ' ')" = "$kit $zip SHA256SUMS " ] || fail "the kit's folder holds $(ls kit)"
/usr/bin/python3 "$root/scripts/release_folder.py" verify kit >/dev/null || fail "the kit's folder holds no release"
rm -rf unpacked && mkdir unpacked
/usr/bin/python3 -m zipfile -e "kit/$kit" unpacked
listed=$(cd unpacked && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
expected="$zip README-KIT.txt RUN-TESTS.cmd SHA256SUMS tests/Quillane.dll tests/in_process_tests.exe "
expected+="tests/kit_runner.exe tests/local_server_standin.exe tests/noentry/vb6stkit.dll "
expected+="tests/planted/uxtheme.dll tests/program_tests.exe tests/vb6stkit.dll "
[ "$listed" = "$expected" ] || fail "the kit holds $listed"
# RUN-TESTS.cmd comes first, at the top of the zip.
[ "$(/usr/bin/python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).namelist()[0])' "kit/$kit")" = RUN-TESTS.cmd ] ||
  fail "RUN-TESTS.cmd is not the kit's first entry"
for file in "$zip" SHA256SUMS; do
  cmp "unpacked/$file" "kit/$file" || fail "the kit's $file is not the release's"
done
for text in RUN-TESTS.cmd README-KIT.txt; do
  [ "$(grep -c $'\r$' "unpacked/$text")" = "$(wc -l <"unpacked/$text")" ] || fail "$text has lines without a Windows line end"
  ! grep -q '[^[:print:][:space:]]' "unpacked/$text" || fail "$text is not plain text"
done
[ "$(head -n 1 unpacked/README-KIT.txt | tr -d '\r')" = "QuillaneConfig $version test kit" ] ||
  fail "README-KIT.txt's title is $(head -n 1 unpacked/README-KIT.txt)"
# Every program and library in the kit, and the program in its release.
/usr/bin/python3 -m zipfile -e "unpacked/$zip" unpacked/release
bash "$root/tests/binaries/check_windows_xp.sh" i686-w64-mingw32-objdump unpacked/tests "$root/tests/binaries/xp-exports" >said ||
  fail "the kit's files do not all start on Windows XP SP3: $(cat said)"
bash "$root/tests/binaries/check_windows_xp.sh" i686-w64-mingw32-objdump unpacked/release/QuillaneConfig.exe \
  "$root/tests/binaries/xp-exports" >said || fail "the release's program does not start on Windows XP SP3: $(cat said)"
cp "kit/$kit" made-before.zip
bash "$root/scripts/kit.sh" kit >said 2>&1 || fail "kit.sh over its earlier kit: $(cat said)"
cmp made-before.zip "kit/$kit" || fail "the same sources made another kit"

if [ "$route" != win32 ]; then
  echo "The test kit was made and checked, but not run: it is 32-bit, and the Windows programs run here on the 64-bit test build."
  exit 0
fi

# A user's machine: a prefix of its own, with no test mark, and the user's own
# add-in list (other add-ins, another section, line ends of both kinds, bytes
# of no text encoding, no last line end), class registration, colours and
# Wine settings.
export WINEPREFIX=$PWD/prefix
rm -rf "$WINEPREFIX"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine wineboot -i >/dev/null 2>&1 || fail "Wine could not make the user's prefix"
! wine reg query 'HKLM\Software\Quillane\Test Prefix' >/dev/null 2>&1 || fail "the user's prefix carries the test mark"
class='{F3FAB5F4-5689-11D5-816A-444553540000}'
list=$WINEPREFIX/drive_c/windows/VBADDIN.INI
printf '[Add-Ins32]\r\nOther.Connect=1\r\nQuillane.Connect=0\n; caf\xe9 \xff\xfe\r\n[Another Section]\nKey=Value' >"$list"
wine reg add "HKLM\\Software\\Classes\\CLSID\\$class\\InprocServer32" /ve /d 'C:\users\Public\UserAddIn.dll' /f >/dev/null
wine reg add "HKLM\\Software\\Classes\\CLSID\\$class\\InprocServer32" /v ThreadingModel /d Both /f >/dev/null
wine reg add 'HKCU\Control Panel\Colors' /v ButtonFace /d '10 20 30' /f >/dev/null
wine reg add 'HKCU\Control Panel\Colors' /v ButtonText /d '200 210 220' /f >/dev/null
wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseTakeFocus /d N /f >/dev/null
# The session these colours start, kept up to the end: it holds the colours that
# the tests set for the session alone.
wineserver -w
wineserver -p
keys=("HKLM\\Software\\Classes\\CLSID\\$class" "HKCU\\Software\\Classes\\CLSID\\$class" 'HKCU\Control Panel\Colors'
  'HKCU\Control Panel\Desktop' 'HKCU\Software\Wine\WineDbg' 'HKCU\Software\Wine\X11 Driver'
  'HKCU\Software\Wine\AppDefaults')
# The machine as a user's own: the add-in list's bytes, the session's colours,
# each key as exported.
machine() {
  sha256sum "$list" 2>&1 | cut -d ' ' -f 1
  wine "$root/build/windows/bin/session_colours.exe" | tr -d '\r'
  local key
  for key in "${keys[@]}"; do
    echo "$key"
    wine reg export "$key" 'C:\key.reg' /y >/dev/null 2>&1 && iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/key.reg" ||
      echo "(not there)"
    rm -f "$WINEPREFIX/drive_c/key.reg"
  done
}
before=$(machine)
same() {
  local now
  now=$(machine)
  [ "$now" = "$before" ] || fail "$1: the machine is not as it was: $(diff <(echo "$before") <(echo "$now") | head -n 20)"
}
kitfolder=$WINEPREFIX/drive_c/kit
mkdir "$kitfolder" && /usr/bin/python3 -m zipfile -e "kit/$kit" "$kitfolder"
# run FOLDER: RUN-TESTS.cmd in C:\FOLDER, as a publisher starts it, its
# report in `ran` and its status in `status`.
run() {
  status=0
  wine cmd /c "C:\\$1\\RUN-TESTS.cmd" >ran 2>&1 || status=$?
  tr -d '\r' <ran >ran.text && mv ran.text ran
}

run kit
[ "$status" = 0 ] || fail "RUN-TESTS.cmd ended with status $status: $(tail -n 30 ran)"
grep -qxE '[0-9]+ passed, 0 failed, [0-9]+ skipped' <(tail -n 1 ran) || fail "RUN-TESTS.cmd ended: $(tail -n 1 ran)"
grep -q '^passed ' ran || fail "no test passed: $(cat ran)"
[ "$(tr -d '\r' <"$kitfolder/report.txt")" = "$(cat ran)" ] || fail "report.txt is not what RUN-TESTS.cmd said"
same "after a run"

# Killed while its tests run, once they have changed the add-in list and then
# the session's colours, which a test puts back itself unless it is killed.
( wine cmd /c 'C:\kit\RUN-TESTS.cmd' >killed 2>&1 || true ) &
wine "$root/build/windows/bin/session_colours.exe" --until-changed || fail "the run changed no colour: $(tr -d '\r' <killed)"
! cmp -s <(echo "${before%%$'\n'*}") <(sha256sum "$list" 2>&1 | cut -d ' ' -f 1) ||
  fail "the colours changed before the add-in list did"
# The runner of this prefix: others may run at the same time, for other checks.
runner=$(for pid in $(pgrep -f 'tests.kit_runner.exe'); do
  grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null && echo "$pid"
done || true)
[ -n "$runner" ] || fail "the kit's runner was not found running: $(tr -d '\r' <killed)"
kill -9 $runner
wait
colours=$(wine "$root/build/windows/bin/session_colours.exe" | tr -d '\r')
[ "$colours" != "$(sed -n '/^colour /p' <<<"$before")" ] || fail "the run was killed after its test had put the colours back"
[ -f "$kitfolder/journal.txt" ] || fail "the killed run left no journal"
run kit
[ "$status" = 0 ] || fail "the run after the killed one ended with status $status: $(tail -n 30 ran)"
grep -q '^An earlier run ended before it put everything back' ran || fail "the next run did not say it put back what the killed one changed: $(head -n 30 ran)"
same "after a run was killed and the next one ran"

# A journal that another machine's run left, in a kit folder copied from
# there: not put back here, where it would remove the user's add-in list.
cp -r "$kitfolder" "$WINEPREFIX/drive_c/foreign"
printf '%s\n' "QuillaneConfig test kit journal 1" "run 1" "machine ELSEWHERE%20S-1-5-21-1-2-3-500%20C:\\windows" \
  'file C:\windows\VBADDIN.INI absent' end >"$WINEPREFIX/drive_c/foreign/journal.txt"
run foreign
[ "$status" = 2 ] || fail "the kit put back another machine's journal: status $status: $(tail -n 5 ran)"
grep -q "^The kit does not run: C:.foreign.journal.txt was written on another machine" ran ||
  fail "the kit did not say why it left another machine's journal alone: $(tail -n 3 ran)"
same "after a kit with another machine's journal"

# A kit unpacked where the test programs could not name their folder.
cp -r "$kitfolder" "$WINEPREFIX/drive_c/Дмитрий"
rm -f "$WINEPREFIX/drive_c/Дмитрий/journal.txt"
run Дмитрий
[ "$status" = 2 ] || fail "the kit ran from a folder the code page cannot name: status $status: $(tail -n 5 ran)"
grep -q "^The kit does not run: its folder, C:.Дмитрий, has letters that this Windows' ANSI code page" ran ||
  fail "the kit did not say why it does not run from C:\Дмитрий: $(tail -n 3 ran)"
same "after a kit in a folder the code page cannot name"

# A test program started by hand, with no journal of the runner's.
for program in program_tests in_process_tests; do
  status=0
  wine "C:\\kit\\tests\\$program.exe" >ran 2>&1 || status=$?
  [ "$status" = 2 ] || fail "$program started by hand ran: status $status: $(tail -n 5 ran)"
  grep -q 'refuses to run' ran || fail "$program started by hand did not say it refuses: $(cat ran)"
done
same "after the test programs were started by hand"

# A release zip changed by one byte.
cp -r "$kitfolder" "$WINEPREFIX/drive_c/altered"
printf '\x01' | dd of="$WINEPREFIX/drive_c/altered/$zip" bs=1 seek=1000 conv=notrunc status=none
run altered
[ "$status" = 2 ] || fail "the altered kit ran: status $status: $(tail -n 5 ran)"
grep -q "^The kit does not run: the release zip's SHA-256 is [0-9a-f]*, not the [0-9a-f]* that SHA256SUMS gives$" ran ||
  fail "the altered kit did not say why it refused: $(cat ran)"
[ ! -e "$WINEPREFIX/drive_c/altered/journal.txt" ] || fail "the altered kit wrote a journal"
same "after the altered kit"
echo "the kit holds the release and starts on XP; under Wine it passes, puts the user's machine back after a run and after a killed one, and refuses an altered release"
