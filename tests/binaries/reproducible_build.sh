#!/usr/bin/env bash
# Builds the program and the stand-ins a second time, in another folder, and
# compares them byte for byte with the first build.
#   reproducible_build.sh SOURCE-FOLDER BIN-FOLDER TOOLCHAIN-FILE
set -euo pipefail
source_dir=$1
first_bin=$2
toolchain=$3
second=$(mktemp -d)
trap 'rm -rf "$second"' EXIT

cmake -S "$source_dir" -B "$second" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  --toolchain "$toolchain" >/dev/null
cmake --build "$second" --target QuillaneConfig Quillane vb6stkit >/dev/null

status=0
for file in QuillaneConfig.exe Quillane.dll vb6stkit.dll; do
  cmp "$first_bin/$file" "$second/bin/$file" || status=1
done
exit $status
