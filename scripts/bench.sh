#!/usr/bin/env bash
# Start-up benchmark under Wine, on the 32-bit build where this host runs it
# (else on the 64-bit test build, and it says so). The program and its
# yardsticks are launched in turn, a round at a time, and each is timed from
# its start to its window shown and waiting for input:
#   - the protected floor: a minimal window after the program's own start-up
#     protection (error mode, search order, DPI awareness, preloads);
#   - the floor: a minimal window with no protection;
#   - each other build of the program named, the previous commit's say.
# Printed: each one's median, and the median of the program's time over each
# other's in the same round (1.05: the program takes 5 % longer), with its
# quartiles; then what each preload takes (the median of as many fresh
# processes as rounds), and the sizes.
#   scripts/bench.sh [ROUNDS] [OTHER-BUILD.exe...]   (41 rounds unless given)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=41
if [[ ${1:-} =~ ^[0-9]+$ ]]; then rounds=$1 && shift; fi
if ! [[ $rounds =~ ^0*[1-9][0-9]{0,3}$ ]]; then
  echo "bench.sh: ROUNDS must be a number from 1 to 9999, not $rounds" >&2
  exit 2
fi
rounds=$((10#$rounds))
others=()
for other in "$@"; do others+=("$(realpath "$other")"); done
bash scripts/setup.sh
source scripts/wine-env.sh
quillane_choose_route || exit 1
cmake --preset "$quillane_preset" >/dev/null
cmake --build --preset "$quillane_preset" --target quillane_program Quillane vb6stkit startup_bench >/dev/null

bin=build/$quillane_preset/bin
work=build/$quillane_preset/bench
rm -rf "$work" && mkdir -p "$work"
cp "$bin"/{QuillaneConfig.exe,Quillane.dll,vb6stkit.dll,minimal_window.exe,protected_window.exe} "$work/"
trap quillane_stop_wine EXIT
quillane_start_virtual_display
quillane_start_wine "$PWD/build/$quillane_preset/wineprefix"
windows() { wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }

launched=("$(windows "$work/QuillaneConfig.exe")" "Quillane Configuration"
  "$(windows "$work/protected_window.exe")" Minimal "$(windows "$work/minimal_window.exe")" Minimal)
for i in "${!others[@]}"; do
  mkdir "$work/other-$i" && cp "${others[$i]}" "$work/other-$i/QuillaneConfig.exe"
  launched+=("$(windows "$work/other-$i/QuillaneConfig.exe")" "Quillane Configuration")
  echo "other-$i: ${others[$i]}"
done
# The first round, not counted, registers the add-in, as a first run does.
wine "$bin/startup_bench.exe" "$rounds" "${launched[@]}" | tr -d '\r'
echo
echo "Preloads, in the order made: median ms of $rounds fresh processes"
for _ in $(seq "$rounds"); do wine "$bin/preload_times.exe"; done | tr -d '\r' | python3 -c '
import collections, statistics, sys
times = collections.OrderedDict()
for line in sys.stdin:
    name, took = line.split()
    times.setdefault(name, []).append(took)
for name, took in times.items():
    print("%16s" % name, "absent" if "absent" in took else "%7.2f" % statistics.median(map(float, took)))
total = sum(statistics.median(map(float, t)) for t in times.values() if "absent" not in t)
print("%16s %7.2f" % ("all", total))'
echo
echo "Sizes (bytes): QuillaneConfig.exe $(stat -c %s "$bin/QuillaneConfig.exe"), minimal_window.exe $(stat -c %s "$bin/minimal_window.exe")"
wine reg delete 'HKCR\CLSID\{F3FAB5F4-5689-11D5-816A-444553540000}' /f >/dev/null 2>&1 || true
