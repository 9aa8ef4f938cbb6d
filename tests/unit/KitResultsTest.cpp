// Each test's outcome as a test program writes it and the runner reads it:
// nothing that cannot be read is ever counted as passed.

#include "kit/Results.h"

#include <gtest/gtest.h>

namespace quillane::kit {
namespace {

TEST(KitResults, ReadsBackEachOutcomeOnALineOfItsOwn) {
    const std::vector<TestResult> written = {
        {"ProgramRun.EveryWayOut_EndsAsDesigned", Outcome::Passed, ""},
        {"Dpi/ProgramRunAtDpi.DialogLayoutAndColours/1", Outcome::Skipped,
         "the display is at 96 dpi; to test at 144 dpi, set the scaling to 150 %, sign out and in"},
        {"Dialog.Accessible", Outcome::Failed, "Expected: ROLE_SYSTEM_DIALOG"},
    };
    std::string text;
    for (const TestResult& result : written) text += ResultLine(result);
    EXPECT_EQ(ReadResults(text), written);
    // Windows line ends, as a file written in text mode has them.
    std::string crlf;
    for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(ReadResults(crlf), written);

    // A detail of several lines, with tabs, stays on its line.
    const TestResult messy{"Suite.Messy", Outcome::Failed, "first line\nsecond\tline\r\n"};
    EXPECT_EQ(ReadResults(ResultLine(messy)),
              (std::vector<TestResult>{{"Suite.Messy", Outcome::Failed, "first line second line"}}));
}

TEST(KitResults, WhatCannotBeReadFails) {
    const char* const lines[] = {
        "PASS Suite.Cut short",  // no tab: the program ended while it wrote
        "PASSED Suite.Name\t",   // another word
        "pass Suite.Name\t",     // another case
        "PASS \t",               // no name
        "Suite.Name\t",          // no outcome
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        const std::vector<TestResult> results = ReadResults(line);
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].outcome, Outcome::Failed);
        EXPECT_EQ(results[0].name, "(unreadable result)");
    }
}

TEST(KitResults, TheReportSaysEachOutcomeAndCountsThemLast) {
    const std::vector<TestResult> results = {
        {"A.One", Outcome::Passed, "ignored"},
        {"A.Two", Outcome::Failed, "why"},
        {"A.Three", Outcome::Skipped, "the reason"},
        {"A.Four", Outcome::Passed, ""},
        {"A.Five", Outcome::Failed, ""},
    };
    const char* const expected[] = {"passed   A.One", "FAILED   A.Two: why",
                                    "skipped  A.Three: the reason", "passed   A.Four",
                                    "FAILED   A.Five"};
    for (std::size_t i = 0; i < results.size(); ++i) EXPECT_EQ(ReportLine(results[i]), expected[i]);
    EXPECT_EQ(CountsLine(Count(results)), "2 passed, 2 failed, 1 skipped");
    EXPECT_EQ(CountsLine(Count({})), "0 passed, 0 failed, 0 skipped");
}

}  // namespace
}  // namespace quillane::kit
