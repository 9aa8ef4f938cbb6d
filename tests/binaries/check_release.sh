#!/usr/bin/env bash
# Checks a release as a Windows user downloads it. Its folder holds the zip,
# named for the tested program's version, and SHA256SUMS, which sha256sum -c
# accepts there. The zip holds exactly that program and its guide, in Windows
# line ends, with the version in its title and the program's SHA-256, each
# dated by the sources (SOURCE_DATE_EPOCH) rather than by the run. What a
# release is, and how it is signed, are the release scripts' own rules
# (release_folder.py, signatures.py), asked here, not written again.
# Given the authority that issued the signing and time-stamping certificates:
# the zip's program is the tested one signed, byte for byte once the
# signature is removed, in SHA-1 with SHA-256 nested, both dated by the sources
# and verified against that authority, the first time-stamped in Authenticode's
# protocol and the second in RFC 3161's, as their structure shows.
#   check_release.sh RELEASE-FOLDER TESTED-PROGRAM.exe [AUTHORITY.pem]
set -euo pipefail
# Dates in the words expected here, whatever the caller's locale.
export LC_ALL=C
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
released=$(/usr/bin/python3 "$here/../../scripts/release_folder.py" verify "$dist" 2>&1) || fail "$released"
[ "$released" = "$zip" ] || fail "the release is $released, not $zip"
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
  verified=$(osslsigncode verify -CAfile "$authority" -TSA-CAfile "$authority" -in "$program" 2>&1) ||
    fail "the signatures do not verify: $verified"
  # From their structure: what a release is signed with, time-stamped both ways.
  signatures=$(/usr/bin/python3 "$here/../../scripts/signatures.py" "$program" --expect "$commit" --stamped 2>&1) ||
    fail "the signatures: $signatures"
else
  cmp "$program" "$tested" || fail "the zip's program is not the one the tests ran"
fi
guide=$unpacked/README.txt
[ "$(grep -c $'\r$' "$guide")" = "$(wc -l <"$guide")" ] || fail "README.txt has lines without a Windows line end"
[ "$(wc -l <"$guide")" -gt 20 ] || fail "README.txt is only $(wc -l <"$guide") lines"
! grep -q '[^[:print:][:space:]]' "$guide" || fail "README.txt is not plain text"
title="QuillaneConfig $version"
[ "$(head -n 2 "$guide" | tr -d '\r' | tr '\n' '|')" = "$title|${title//?/=}|" ] || fail "README.txt's title is $(head -n 1 "$guide")"
grep -qx "    $(sha256sum "$program" | cut -d ' ' -f 1)"$'\r' "$guide" || fail "README.txt does not give the program's SHA-256"
echo "$zip: the tested program${authority:+, signed and time-stamped,} and its guide, with their hashes"
