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
# A date before 1980 or after 2107 is an error: a zip cannot hold it.
#   scripts/source-date.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
# What a zip can hold: 1980-01-01 00:00:00 to 2107-12-31 23:59:59 UTC.
earliest=315532800
latest=4354819199

# check_date TEXT WHENCE: prints the date, or fails saying why in one line,
# whatever the text and however long.
check_date() {
  local shown=${1:0:40}
  shown=${shown//[^[:print:]]/?}
  if ! [[ $1 =~ ^0*([0-9]+)$ ]]; then
    echo "$2 is not a number of seconds: '$shown'" >&2
    exit 1
  fi
  local seconds=${BASH_REMATCH[1]}
  # Past the latest's count of digits, the number is not read as one at all.
  if [ ${#seconds} -gt ${#latest} ] || [ "$seconds" -gt $latest ]; then
    echo "$2 is $shown, after 2107-12-31 ($latest), the latest date a zip holds" >&2
    exit 1
  fi
  if [ "$seconds" -lt $earliest ]; then
    echo "$2 is $shown, before 1980-01-01 ($earliest), the earliest date a zip holds" >&2
    exit 1
  fi
  echo "$seconds"
}

if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  check_date "$SOURCE_DATE_EPOCH" SOURCE_DATE_EPOCH
  exit 0
fi
if [ -e "$root/.git" ]; then
  git() { command git -c safe.directory="$root" -C "$root" "$@"; }
  # A checkout whose history git cannot read is an error, not a reason to guess.
  # Whatever the user's settings add to a commit's lines (its signature), only its time.
  if ! time=$(git log -1 --no-show-signature --format=%ct 2>&1) || [ -z "$time" ]; then
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
