#include "kit/Results.h"

#include <sstream>

namespace quillane::kit {
namespace {

constexpr const char* kWords[] = {"PASS", "FAIL", "SKIP"};

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

std::string ResultLine(const TestResult& result) {
    return std::string(kWords[static_cast<int>(result.outcome)]) + ' ' + OneLine(result.name) + '\t' +
           OneLine(result.detail) + '\n';
}

std::vector<TestResult> ReadResults(const std::string& text) {
    std::vector<TestResult> results;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const std::size_t space = line.find(' '), tab = line.find('\t');
        int kind = -1;
        for (int i = 0; i < 3; ++i)
            if (line.compare(0, space, kWords[i]) == 0 && space == 4) kind = i;
        if (kind < 0 || tab == std::string::npos || tab < space + 2) {
            results.push_back(
                {"(unreadable result)", Outcome::Failed, "the line \"" + OneLine(line) + "\""});
            continue;
        }
        results.push_back(
            {line.substr(space + 1, tab - space - 1), static_cast<Outcome>(kind), line.substr(tab + 1)});
    }
    return results;
}

std::string ReportLine(const TestResult& result) {
    switch (result.outcome) {
    case Outcome::Passed:
        return "passed   " + result.name;
    case Outcome::Failed:
        return "FAILED   " + result.name + (result.detail.empty() ? "" : ": " + result.detail);
    case Outcome::Skipped:
        return "skipped  " + result.name + (result.detail.empty() ? "" : ": " + result.detail);
    }
    return {};
}

Counts Count(const std::vector<TestResult>& results) {
    Counts counts;
    for (const TestResult& result : results) {
        if (result.outcome == Outcome::Passed) ++counts.passed;
        if (result.outcome == Outcome::Failed) ++counts.failed;
        if (result.outcome == Outcome::Skipped) ++counts.skipped;
    }
    return counts;
}

std::string CountsLine(const Counts& counts) {
    return std::to_string(counts.passed) + " passed, " + std::to_string(counts.failed) + " failed, " +
           std::to_string(counts.skipped) + " skipped";
}

}  // namespace quillane::kit
