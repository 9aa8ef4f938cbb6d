#pragma once

// Runs one of the kit's test programs: with the environment the kit gives it,
// its output in a file, and a time limit past which it is ended with all the
// processes it started.

#include <chrono>
#include <string>

namespace quillane::kit {

struct ChildEnd {
    bool timedOut = false;
    unsigned long status = 0;  // the exit status, when it ended by itself
};

// Runs `commandLine` in `folder` and waits for it, at most `limit`. Its
// standard output and error go to the file `log`. Throws a KitFailure when it
// cannot be started.
ChildEnd RunChild(const std::wstring& commandLine, const std::wstring& folder, const std::wstring& log,
                  std::chrono::seconds limit);

}  // namespace quillane::kit
