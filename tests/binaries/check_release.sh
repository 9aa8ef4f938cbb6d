#!/usr/bin/env bash
# Checks the release a Windows user downloads: the zip, named for the tested
# program's version, holds exactly that program and its guide, in Windows line
# ends and with the version in its title, each dated by the sources
# (SOURCE_DATE_EPOCH) rather than by the run; SHA256SUMS gives both hashes.
# Given the authority that issued the signing certificate: the program in the
# zip is the tested one signed, in SHA-1 with SHA-256 nested, both dated by the
# sources and verified against that authority, and still starts on XP SP3.
#   check_release.sh DIST-FOLDER TESTED-PROGRAM.exe [AUTHORITY.pem]
set -euo pipefail
dist=$1
tested=$2
authority=${3:-}
here=$(dirname "$0")
version=$(bash "$here/../../scripts/exe-version.sh" "$tested")
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
program=$unpacked/QuillaneConfig.exe
if [ -n "$authority" ]; then
  osslsigncode remove-signature -in "$program" -out "$unpacked/unsigned.exe" >/dev/null ||
    fail "the zip's program is not signed"
  cmp "$unpacked/unsigned.exe" "$tested" || fail "the zip's program, unsigned, is not the one the tests ran"
  verified=$(osslsigncode verify -CAfile "$authority" -in "$program" 2>&1) || fail "the signatures do not verify: $verified"
  signatures=$(grep -E '^(Signature Index|Message digest algorithm  :|Number of verified)|Signing time|Text description' <<<"$verified" |
    sed 's/^\s*//' | tr -s ' ' | tr '\n' '|')
  signed=$(TZ=UTC date -d "@$commit" '+%b %e %T %Y GMT' | tr -s ' ')
  expected="Signature Index: 0 (Primary Signature)|Message digest algorithm : SHA1|Signing time: $signed|Text description: Quillane Add-In Configuration|"
  expected+="Signature Index: 1 |Message digest algorithm : SHA256|Signing time: $signed|Text description: Quillane Add-In Configuration|Number of verified signatures: 2|"
  [ "$signatures" = "$expected" ] || fail "the signatures are $signatures, not $expected"
  bash "$here/check_windows_xp.sh" i686-w64-mingw32-objdump "$program" "$here/xp-exports" >/dev/null ||
    fail "the signed program does not start on Windows XP SP3"
  ! wrestool -l "$program" 2>/dev/null | grep -q -- '--type=24' || fail "the signed program carries a manifest"
else
  cmp "$program" "$tested" || fail "the zip's program is not the one the tests ran"
fi
guide=$unpacked/README.txt
[ "$(grep -c $'\r$' "$guide")" = "$(wc -l <"$guide")" ] && [ "$(wc -l <"$guide")" -gt 20 ] &&
  ! LC_ALL=C grep -q '[^[:print:][:space:]]' "$guide" || fail "README.txt is not plain text with Windows line ends"
title="QuillaneConfig $version"
[ "$(head -n 2 "$guide" | tr -d '\r' | tr '\n' '|')" = "$title|${title//?/=}|" ] || fail "README.txt's title is $(head -n 1 "$guide")"
sums="$(cd "$dist" && sha256sum "$zip")"$'\n'"$(cd "$unpacked" && sha256sum QuillaneConfig.exe)"
[ "$(cat "$dist/SHA256SUMS")" = "$sums" ] || fail "SHA256SUMS holds $(cat "$dist/SHA256SUMS"), not $sums"
echo "$zip: the tested program${authority:+, signed,} and its guide, with their hashes"
