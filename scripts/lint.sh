#!/usr/bin/env bash
# Checks the sources without building them: every C++ file is laid out as
# .clang-format says, and the program's code passes a second compiler and a
# static analyser, both watching for references, pointers and views that
# outlive what they point at (GCC, which builds it, misses some of those).
#   scripts/lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."

unformatted=$(find app kit platform registration resources tests tools \( -name '*.cpp' -o -name '*.h' \) |
  sort | while read -r file; do clang-format --dry-run --Werror "$file" 2>/dev/null || echo "$file"; done)
if [ -n "$unformatted" ]; then
  echo "Not formatted as .clang-format says (clang-format -i fixes them):" $unformatted >&2
  exit 1
fi

# Clang, for 32-bit Windows, with the headers the build uses: its -Wall holds
# -Wdangling-gsl (c_str() or a view of a temporary kept past its statement)
# and -Wreturn-stack-address.
mapfile -t sources < <(find app platform registration -name '*.cpp' | sort)
mapfile -t system_includes < <(LC_ALL=C i686-w64-mingw32-g++-win32 -x c++ -E -v - </dev/null 2>&1 |
  sed -n '/^#include <...> search starts here:/,/^End of search list/{/^ /s/^ /-isystem\n/p}')
for file in "${sources[@]}"; do
  clang++ --target=i686-w64-mingw32 -std=c++17 -fsyntax-only -Wall -Wextra -Werror -nostdinc++ \
    "${system_includes[@]}" -I. -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX \
    -D_WIN32_WINNT=0x0501 -DWINVER=0x0501 "$file"
done
# cppcheck's lifetime rules: a lambda, pointer or view that outlives the
# object it refers to.
cppcheck --std=c++17 --language=c++ --quiet --error-exitcode=1 -I. "${sources[@]}"
