#!/usr/bin/env bash
# Checks the release a Windows user downloads: the zip, named for the tested
# program's version, holds exactly that program and its guide, in Windows line
# ends and with the version in its title, each dated by the sources
# (SOURCE_DATE_EPOCH) rather than by the run; SHA256SUMS gives both hashes.
#   check_release.sh DIST-FOLDER TESTED-PROGRAM.exe
set -euo pipefail
dist=$1
tested=$2
version=$(bash "$(dirname "$0")/../../scripts/exe-version.sh" "$tested")
zip=QuillaneConfig-$version.zip
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
fail() { echo "FAIL $*" >&2; exit 1; }

[ "$(ls "$dist" | tr '\n' ' ')" = "$zip SHA256SUMS " ] || fail "$dist holds $(ls "$dist")"
# A zip keeps times in steps of two seconds.
commit=${SOURCE_DATE_EPOCH:?the date of the sources}
date=$(TZ=UTC date -d "@$((commit - commit % 2))" '+%F %T')
entries=$(python3 -m zipfile -l "$dist/$zip" | awk 'NR > 1 { print $1, $2, $3 }' | tr '\n' '|')
[ "$entries" = "QuillaneConfig.exe $date|README.txt $date|" ] || fail "the zip holds $entries"
python3 -m zipfile -e "$dist/$zip" "$unpacked"
cmp "$unpacked/QuillaneConfig.exe" "$tested" || fail "the zip's program is not the one the tests ran"
guide=$unpacked/README.txt
[ "$(grep -c $'\r$' "$guide")" = "$(wc -l <"$guide")" ] && [ "$(wc -l <"$guide")" -gt 20 ] &&
  ! LC_ALL=C grep -q '[^[:print:][:space:]]' "$guide" || fail "README.txt is not plain text with Windows line ends"
title="QuillaneConfig $version"
[ "$(head -n 2 "$guide" | tr -d '\r' | tr '\n' '|')" = "$title|${title//?/=}|" ] || fail "README.txt's title is $(head -n 1 "$guide")"
sums="$(cd "$dist" && sha256sum "$zip")"$'\n'"$(cd "$unpacked" && sha256sum QuillaneConfig.exe)"
[ "$(cat "$dist/SHA256SUMS")" = "$sums" ] || fail "SHA256SUMS holds $(cat "$dist/SHA256SUMS"), not $sums"
echo "$zip: the tested program and its guide, with their hashes"
