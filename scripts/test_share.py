"""Prints the share of the project's code lines that are tests (everything under
tests/). Roughly a quarter to a third is the aim: above a third it warns, and
above 40 % it fails. Code lines are the non-blank lines that are not
only a comment, in .cpp, .h, .rc, .cmake, .sh and .py files, CMakeLists.txt and
CI's script (.ci/run); the build folders are not counted."""

import os
import sys

HASH_COMMENTS = (".sh", ".py", ".cmake", "CMakeLists.txt", "/.ci/run")
SLASH_COMMENTS = (".cpp", ".h", ".rc")
AIM = 100.0 / 3
LIMIT = 40.0


def code_lines(path):
    marker = "#" if path.endswith(HASH_COMMENTS) else "//"
    with open(path, encoding="utf-8", errors="replace") as source:
        return sum(1 for line in source if line.strip() and not line.strip().startswith(marker))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    tests = total = 0
    for folder, subfolders, files in os.walk(root):
        subfolders[:] = [name for name in subfolders if name not in (".git", "build", ".run")]
        for name in files:
            path = os.path.join(folder, name)
            if path.endswith(HASH_COMMENTS + SLASH_COMMENTS):
                lines = code_lines(path)
                total += lines
                if os.path.relpath(path, root).startswith("tests" + os.sep):
                    tests += lines
    share = 100.0 * tests / total
    print(f"Tests are {share:.1f} % of the code: {tests} of {total} lines "
          f"(the aim: a quarter to a third; at most {LIMIT:.0f} %).")
    if AIM < share <= LIMIT:
        print("Warning: tests are more than a third of the code.")
    return 0 if share <= LIMIT else 1


if __name__ == "__main__":
    sys.exit(main())
