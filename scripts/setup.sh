#!/usr/bin/env bash
# Installs every tool the build and the tests need, from Debian's packages.
# With "win64", also what the 64-bit test build needs, for hosts that cannot
# run 32-bit programs. Safe to run again: it does nothing when everything is
# already there.
#   scripts/setup.sh [win64]
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest clang-format clang cppcheck git
  g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 binutils-mingw-w64-i686
  python3 python3-asn1crypto osslsigncode openssl libengine-pkcs11-openssl softhsm2
  wine wine32:i386
  fonts-wine fonts-liberation fonts-dejavu-extra xvfb x11-xserver-utils imagemagick icoutils
  zlib1g-dev
)
if [ "${1:-}" = win64 ]; then
  packages+=(wine64 g++-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages (${missing[*]}); run this script as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
echo "setup: installing ${missing[*]}" >&2
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
