#!/usr/bin/env bash
# Builds the program a second time, in another folder, and compares it byte for
# byte with the first build.
#   reproducible_build.sh SOURCE-FOLDER BIN-FOLDER TOOLCHAIN-FILE
set -euo pipefail
source_dir=$1
first_bin=$2
toolchain=$3
second=$(mktemp -d)
trap 'rm -rf "$second"' EXIT

cmake -S "$source_dir" -B "$second" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DQUILLANE_TEST_BUILD=OFF \
  --toolchain "$toolchain" >/dev/null
cmake --build "$second" --target QuillaneConfig >/dev/null
cmp "$first_bin/QuillaneConfig.exe" "$second/bin/QuillaneConfig.exe"
