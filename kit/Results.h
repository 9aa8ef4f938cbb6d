#pragma once

// The outcome of each test, as a test program started by the kit writes it
// for the runner, a line per test; and as the report gives it.

#include <string>
#include <vector>

namespace quillane::kit {

enum class Outcome { Passed, Failed, Skipped };

struct TestResult {
    std::string name;  // Suite.Test
    Outcome outcome = Outcome::Failed;
    std::string detail;  // why it failed or was skipped, on one line
    bool operator==(const TestResult& other) const {
        return name == other.name && outcome == other.outcome && detail == other.detail;
    }
};

// The line a test program writes for a test: its outcome, its name and, after
// a tab, the detail, every line end and tab in it made a space.
std::string ResultLine(const TestResult& result);
// The results in a test program's lines. A line that is not one is a failed
// result of its own, which says so: what cannot be read never passes.
std::vector<TestResult> ReadResults(const std::string& text);

// The report's line for a test: "passed", "FAILED" or "skipped", the name,
// and for the latter two the detail.
std::string ReportLine(const TestResult& result);

struct Counts {
    int passed = 0, failed = 0, skipped = 0;
};
Counts Count(const std::vector<TestResult>& results);
// "N passed, N failed, N skipped": the report's last line.
std::string CountsLine(const Counts& counts);

}  // namespace quillane::kit
