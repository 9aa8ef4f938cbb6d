#!/usr/bin/env bash
# Prints a Windows program's file version from its version record: 1.0.0.2.
#   scripts/exe-version.sh PROGRAM.exe
set -euo pipefail
wrestool -x --raw --type=16 "$1" | python3 -c 'import struct, sys
data = sys.stdin.buffer.read()
at = data.find(b"\xbd\x04\xef\xfe")
if at < 0: sys.exit("no version record in " + sys.argv[1])
ms, ls = struct.unpack_from("<2I", data, at + 8)
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")' "$1"
