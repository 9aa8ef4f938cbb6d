#!/usr/bin/env bash
# Checks that the release's date comes from the sources in every kind of
# checkout: a git checkout owned by another user (git's ownership rule), one
# with changes not committed (said in a line), an archive made by
# "git archive", a plain copy with no history, and a date given by
# SOURCE_DATE_EPOCH; and that a date before 1980 is refused. Each is a small
# repository or folder made here.
#   check_source_date.sh SOURCE-FOLDER
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL $*" >&2; exit 1; }
committed=1700000000
# The repositories made here follow none of the user's git settings (signed
# commits, another default branch, ...); source-date.sh reads them with those.
mine() { GIT_CONFIG_GLOBAL=/dev/null GIT_CONFIG_NOSYSTEM=1 git "$@"; }

mkdir -p "$work/repo/scripts"
cp "$source_dir/scripts/source-date.sh" "$source_dir/.gitattributes" "$work/repo/scripts/"
mv "$work/repo/scripts/.gitattributes" "$work/repo/"
# The stamp as it is committed, whether or not these sources are an archive.
echo '$Format:%ct$' >"$work/repo/scripts/source-stamp"
(cd "$work/repo" && mine init -q && mine add -A &&
  GIT_COMMITTER_DATE="@$committed +0000" mine -c user.name=t -c user.email=t@t commit -q -m t)
chown -R nobody "$work/repo"
mkdir "$work/archive" && mine -c safe.directory="$work/repo" -C "$work/repo" archive HEAD | tar -x -C "$work/archive"
cp -r "$work/repo" "$work/copy" && rm -rf "$work/copy/.git"

date_in() { env -u SOURCE_DATE_EPOCH bash "$1/scripts/source-date.sh" 2>"$work/said"; }
[ "$(date_in "$work/repo")" = $committed ] && [ ! -s "$work/said" ] ||
  fail "a checkout owned by another user gives $(date_in "$work/repo"), saying: $(cat "$work/said")"
[ "$(date_in "$work/archive")" = $committed ] || fail "an archive gives $(date_in "$work/archive")"
[ "$(date_in "$work/copy")" = 315532800 ] && grep -q 1980-01-01 "$work/said" ||
  fail "a copy without history gives $(date_in "$work/copy"), saying: $(cat "$work/said")"
echo "# changed" >>"$work/repo/.gitattributes"
[ "$(date_in "$work/repo")" = $committed ] && grep -q 'not committed' "$work/said" ||
  fail "a checkout with changes gives $(date_in "$work/repo"), saying: $(cat "$work/said")"
[ "$(SOURCE_DATE_EPOCH=1234567890 bash "$work/archive/scripts/source-date.sh")" = 1234567890 ] ||
  fail "SOURCE_DATE_EPOCH is not taken"
[ "$(SOURCE_DATE_EPOCH=4354819199 bash "$work/archive/scripts/source-date.sh")" = 4354819199 ] ||
  fail "the last second of 2107 is not taken"
# Dates a zip cannot hold, and texts that are no date at all, each refused in one line.
refused() {
  ! SOURCE_DATE_EPOCH=$1 bash "$work/archive/scripts/source-date.sh" >"$work/printed" 2>"$work/said" ||
    fail "SOURCE_DATE_EPOCH=${1:0:40} is taken as $(cat "$work/printed")"
  [ "$(wc -l <"$work/said")" = 1 ] || fail "SOURCE_DATE_EPOCH=${1:0:40} is refused in more than one line: $(cat "$work/said")"
  grep -q "$2" "$work/said" || fail "SOURCE_DATE_EPOCH=${1:0:40} is refused without saying '$2': $(cat "$work/said")"
}
refused 315532799 1980
refused 4354819200 2107
refused 99999999999999999999 2107
refused "$(printf '9%.0s' {1..5000})" 2107
refused $'17000\n00000' "not a number"
refused -1700000000 "not a number"
echo "the sources' date is found in every kind of checkout"
