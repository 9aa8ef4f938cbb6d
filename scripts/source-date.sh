#!/usr/bin/env bash
# Prints the sources' date, in seconds since 1970, which dates the release's
# entries and signature: the same sources always give the same release. Taken
# from, in this order:
#   SOURCE_DATE_EPOCH, when it is set;
#   the last commit's time, in a git checkout, whoever owns it (git refuses to
#     read another user's checkout unless told it is safe, here for this command
#     alone); a line on standard error says so when the checkout has changes
#     that are not committed, since the date is then that of other sources;
#   scripts/source-stamp, into which "git archive" writes the commit's time;
#   else 315532800, 1980-01-01 00:00 UTC, the earliest time a zip holds, and
#     a line on standard error saying so.
# A date before 1980 is an error: a zip cannot hold it.
#   scripts/source-date.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
earliest=315532800

# check_date SECONDS WHENCE: prints the date, or fails saying why.
check_date() {
  if ! [[ $1 =~ ^[0-9]+$ ]]; then
    echo "$2 is not a number of seconds: '$1'" >&2
    exit 1
  fi
  if [ "$1" -lt $earliest ]; then
    echo "$2 is $1, before 1980-01-01 ($earliest), the earliest date a zip holds" >&2
    exit 1
  fi
  echo "$1"
}

if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  check_date "$SOURCE_DATE_EPOCH" SOURCE_DATE_EPOCH
  exit 0
fi
if [ -e "$root/.git" ]; then
  git() { command git -c safe.directory="$root" -C "$root" "$@"; }
  # A checkout whose history git cannot read is an error, not a reason to guess.
  if ! time=$(git log -1 --format=%ct 2>&1) || [ -z "$time" ]; then
    echo "Cannot read the last commit's time in $root: ${time:-no commits}" >&2
    exit 1
  fi
  if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "The sources have changes that are not committed: what is made from them is dated by the last commit, but its bytes are those of no commit." >&2
  fi
  check_date "$time" "The last commit's time"
  exit 0
fi
stamp=$(tr -d '[:space:]' <"$root/scripts/source-stamp")
if [[ $stamp =~ ^[0-9]+$ ]]; then
  check_date "$stamp" "scripts/source-stamp"
  exit 0
fi
echo "No git history and no archive stamp: the release is dated 1980-01-01 00:00 UTC" >&2
echo $earliest
