#!/usr/bin/env bash
# Prints the sources' date, in seconds since 1970, which dates the release's
# entries and signature: the same sources always give the same release. Taken
# from, in this order:
#   SOURCE_DATE_EPOCH, when it is set;
#   the last commit's time, in a git checkout, whoever owns it (git refuses to
#     read another user's checkout unless told it is safe, here for this command
#     alone);
#   scripts/source-stamp, into which "git archive" writes the commit's time;
#   else 315532800, 1980-01-01 00:00 UTC, the earliest time a zip holds, and
#     a line on standard error saying so.
#   scripts/source-date.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
number='^[0-9]+$'
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  [[ $SOURCE_DATE_EPOCH =~ $number ]] || { echo "SOURCE_DATE_EPOCH is not a number of seconds: '$SOURCE_DATE_EPOCH'" >&2; exit 1; }
  echo "$SOURCE_DATE_EPOCH"
  exit 0
fi
if [ -e "$root/.git" ]; then
  # A checkout whose history git cannot read is an error, not a reason to guess.
  if ! time=$(git -c safe.directory="$root" -C "$root" log -1 --format=%ct 2>&1) || ! [[ $time =~ $number ]]; then
    echo "Cannot read the last commit's time in $root: ${time:-no commits}" >&2
    exit 1
  fi
  echo "$time"
  exit 0
fi
stamp=$(tr -d '[:space:]' <"$root/scripts/source-stamp")
if [[ $stamp =~ $number ]]; then
  echo "$stamp"
  exit 0
fi
echo "No git history and no archive stamp: the release is dated 1980-01-01 00:00 UTC" >&2
echo 315532800
