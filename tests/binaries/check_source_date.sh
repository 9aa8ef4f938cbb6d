#!/usr/bin/env bash
# Checks that the release's date comes from the sources in every kind of
# checkout: a git checkout owned by another user (git's ownership rule), an
# archive made by "git archive", a plain copy with no history, and a date given
# by SOURCE_DATE_EPOCH. Each is a small repository or folder made here.
#   check_source_date.sh SOURCE-FOLDER
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL $*" >&2; exit 1; }
committed=1700000000

mkdir -p "$work/repo/scripts"
cp "$source_dir/scripts/source-date.sh" "$source_dir/scripts/source-stamp" "$work/repo/scripts/"
cp "$source_dir/.gitattributes" "$work/repo/"
(cd "$work/repo" && git init -q && git add -A &&
  GIT_COMMITTER_DATE="@$committed +0000" git -c user.name=t -c user.email=t@t commit -q -m t)
chown -R nobody "$work/repo"
mkdir "$work/archive" && git -c safe.directory="$work/repo" -C "$work/repo" archive HEAD | tar -x -C "$work/archive"
cp -r "$work/archive" "$work/copy" && cp "$source_dir/scripts/source-stamp" "$work/copy/scripts/"

date_in() { env -u SOURCE_DATE_EPOCH bash "$1/scripts/source-date.sh" 2>"$work/said"; }
[ "$(date_in "$work/repo")" = $committed ] || fail "a checkout owned by another user gives $(date_in "$work/repo")"
[ "$(date_in "$work/archive")" = $committed ] || fail "an archive gives $(date_in "$work/archive")"
[ "$(date_in "$work/copy")" = 315532800 ] && grep -q 1980-01-01 "$work/said" ||
  fail "a copy without history gives $(date_in "$work/copy"), saying: $(cat "$work/said")"
[ "$(SOURCE_DATE_EPOCH=1234 bash "$work/repo/scripts/source-date.sh")" = 1234 ] || fail "SOURCE_DATE_EPOCH is not taken"
echo "the sources' date is found in every kind of checkout"
