#!/usr/bin/env bash
# Checks that the release's date comes from the sources in every kind of
# checkout: a git checkout owned by another user (git's ownership rule), one
# with changes not committed, unstaged or staged (said in a line), an archive
# made by "git archive", a plain copy with no history, and a date given by
# SOURCE_DATE_EPOCH; and that only dates a zip can hold, 1980 to 2107, are
# taken, from each of these. Each is a small repository or folder made here.
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

# A repository of source-date.sh alone, its one commit at $2.
repository() {
  mkdir -p "$1/scripts"
  cp "$source_dir/scripts/source-date.sh" "$1/scripts/"
  cp "$source_dir/.gitattributes" "$1/"
  # The stamp as it is committed, whether or not these sources are an archive.
  echo '$Format:%ct$' >"$1/scripts/source-stamp"
  (cd "$1" && mine init -q && mine add -A &&
    GIT_COMMITTER_DATE="@$2 +0000" mine -c user.name=t -c user.email=t@t commit -q -m t)
}
repository "$work/repo" $committed
chown -R nobody "$work/repo"
mkdir "$work/archive" && mine -c safe.directory="$work/repo" -C "$work/repo" archive HEAD | tar -x -C "$work/archive"
cp -r "$work/repo" "$work/copy" && rm -rf "$work/copy/.git"

# gives WHAT FOLDER DATE [SAYING]: source-date.sh in FOLDER prints DATE, and
# says a line holding SAYING, or with none given, nothing.
gives() {
  local printed
  printed=$(env -u SOURCE_DATE_EPOCH bash "$2/scripts/source-date.sh" 2>"$work/said") ||
    fail "$1 is refused, saying: $(cat "$work/said")"
  [ "$printed" = "$3" ] || fail "$1 gives $printed, not $3"
  [ -n "${4:-}" ] || [ ! -s "$work/said" ] || fail "$1 says: $(cat "$work/said")"
  [ -z "${4:-}" ] || grep -q "$4" "$work/said" || fail "$1 does not say '$4', but: $(cat "$work/said")"
}
# refused WHAT SAYING COMMAND...: COMMAND prints no date, and says why in one
# line holding SAYING.
refused() {
  local what=$1 saying=$2
  shift 2
  ! "$@" >"$work/printed" 2>"$work/said" || fail "$what is taken as $(cat "$work/printed")"
  [ "$(wc -l <"$work/said")" = 1 ] || fail "$what is refused in other than one line: $(cat "$work/said")"
  grep -q "$saying" "$work/said" || fail "$what is refused without saying '$saying': $(cat "$work/said")"
}
in_archive() { SOURCE_DATE_EPOCH=$1 bash "$work/archive/scripts/source-date.sh"; }

gives "a checkout owned by another user" "$work/repo" $committed
gives "an archive" "$work/archive" $committed
gives "a copy without history" "$work/copy" 315532800 1980-01-01
echo "# changed" >>"$work/repo/.gitattributes"
gives "a checkout with a change" "$work/repo" $committed 'not committed'
mine -c safe.directory="$work/repo" -C "$work/repo" add .gitattributes
gives "a checkout with a change that is only staged" "$work/repo" $committed 'not committed'

[ "$(in_archive 1234567890)" = 1234567890 ] || fail "SOURCE_DATE_EPOCH is not taken"
[ "$(in_archive 4354819199)" = 4354819199 ] || fail "the last second of 2107 is not taken"
# Dates a zip cannot hold, from each place a date comes from, and texts that
# are no date at all.
refused "SOURCE_DATE_EPOCH=315532799" 1980 in_archive 315532799
refused "SOURCE_DATE_EPOCH=4354819200" 2107 in_archive 4354819200
refused "SOURCE_DATE_EPOCH=99999999999999999999" 2107 in_archive 99999999999999999999
refused "SOURCE_DATE_EPOCH of 5000 nines" 2107 in_archive "$(printf '9%.0s' {1..5000})"
refused "SOURCE_DATE_EPOCH of two lines" "not a number" in_archive $'17000\n00000'
for when in 315532799 4354819200; do
  repository "$work/commit-$when" $when
  refused "a last commit at $when" "last commit's time" env -u SOURCE_DATE_EPOCH bash "$work/commit-$when/scripts/source-date.sh"
done
echo 4354819200 >"$work/archive/scripts/source-stamp"
refused "an archive stamped 4354819200" "source-stamp" env -u SOURCE_DATE_EPOCH bash "$work/archive/scripts/source-date.sh"
echo "the sources' date is found in every kind of checkout, and only a date a zip can hold"
