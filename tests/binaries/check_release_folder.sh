#!/usr/bin/env bash
# What release.sh does with the folder it is given, run as a user would run it
# from a folder of their own: a relative FOLDER is made where the user stands;
# an earlier release there is replaced, named as "." from inside it or through
# a link; an empty folder takes the release and keeps its own mode and group;
# "--" ends the options; a release killed on the way is cleared by the next;
# a folder that holds anything else, a file in its place, or an option the
# script does not know, changes nothing. The rules
# behind it are tested one by one in release_folder_test.py; this is the
# script as it is used. Leaves the release, unsigned, in
# RELEASES-FOLDER/unsigned.
#   check_release_folder.sh RELEASES-FOLDER
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$1" && cd "$1"
fail() { echo "FAIL $*" >&2; exit 1; }
release() { bash "$root/scripts/release.sh" "$@" >said 2>&1; }
# Every name, kind, size and content hash under the folder the user is in.
state() { find . -path ./said -prune -o -printf '%p %y %s\n' | LC_ALL=C sort; find . -type f ! -name said -exec sha256sum {} + | LC_ALL=C sort; }
# The release's files in a folder, with their hashes.
held() { (cd "$1" && sha256sum -- * | LC_ALL=C sort); }

release unsigned || fail "a new relative folder: $(cat said)"
[ -f unsigned/SHA256SUMS ] || fail "the relative folder 'unsigned' was not made in $PWD"
[ ! -e "$root/unsigned" ] || fail "the relative folder 'unsigned' was made in the project"
made=$(held unsigned)
release unsigned/ || fail "a folder holding an earlier release is not replaced: $(cat said)"
(cd unsigned && bash "$root/scripts/release.sh" . >../said 2>&1) || fail "release.sh . in an earlier release: $(cat said)"
ln -sfn unsigned link
release link/. || fail "release.sh link/. to an earlier release: $(cat said)"
[ -L link ] || fail "the link to the earlier release was replaced"
[ "$(held unsigned)" = "$made" ] || fail "the same sources made another release: $(held unsigned)"

# Killed on the way: the next run clears what it left and replaces the earlier release.
bash "$root/scripts/release.sh" unsigned >said 2>&1 &
killed=$!
for _ in $(seq 200); do compgen -G 'unsigned/.QuillaneConfig-staging-*' >/dev/null && break; sleep 0.05; done
kill -9 $killed
wait $killed 2>/dev/null || true
compgen -G 'unsigned/.QuillaneConfig-staging-*' >/dev/null || fail "the killed release.sh left no staging folder to clear"
# What it had started (the build) holds its lock until it ends.
for _ in $(seq 600); do flock -n unsigned/.QuillaneConfig-staging-*/lock true && break; sleep 0.1; done
release unsigned || fail "the release after a killed one: $(cat said)"
grep -q 'a release script ended on the way' said || fail "the release after a killed one did not say it cleared what was left: $(cat said)"
[ "$(held unsigned)" = "$made" ] || fail "after a killed release, the folder holds $(held unsigned)"
! compgen -G 'unsigned/.QuillaneConfig-*' >/dev/null || fail "what the killed release.sh left is still there: $(ls -a unsigned)"

mkdir shared && chgrp users shared && chmod 2770 shared
(cd shared && bash "$root/scripts/release.sh" . >../said 2>&1) || fail "release.sh . in an empty folder: $(cat said)"
[ "$(held shared)" = "$made" ] || fail "the empty folder holds $(held shared)"
[ "$(stat -c '%a %G' shared)" = "2770 users" ] || fail "the empty folder is now $(stat -c '%a %G' shared), not 2770 users"
release -- -dashed || fail "release.sh -- -dashed: $(cat said)"
[ "$(held ./-dashed)" = "$made" ] || fail "release.sh -- -dashed made $(held ./-dashed)"

mkdir mine && echo "the user's own" >mine/notes.txt
cp unsigned/* mine/
echo "the user's own" >file
before=$(state)
for folder in mine file nothere/..; do
  ! release "$folder" || fail "release.sh $folder was accepted"
  [ "$(wc -l <said)" = 1 ] || fail "release.sh $folder said more than one line: $(cat said)"
done
! release --frob || fail "release.sh --frob was accepted: $(cat said)"
grep -q '^usage:' said || fail "release.sh --frob did not print the usage: $(cat said)"
release --help || fail "release.sh --help failed: $(cat said)"
grep -q '^usage:' said || fail "release.sh --help did not print the usage: $(cat said)"
[ "$(state)" = "$before" ] || fail "the folder the user is in changed: $(diff <(echo "$before") <(state))"
rm -rf shared ./-dashed link mine file
echo "release.sh makes a relative folder where the user stands and touches nothing of the user's"
