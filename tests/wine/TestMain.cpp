// The entry point of the Windows test programs. They change what they test
// against: the add-in list in the Windows folder, the add-in's class
// registration, the colours and, under Wine, the display resolution. So they
// run only where that is safe, and anywhere else refuse before they change
// anything:
//  - under Wine, in a prefix that the project's scripts made, which carries
//    their mark (the test command's route);
//  - started by the test kit's runner, on Windows or under Wine, which saved
//    all of that first: its journal is on the disk and names this run.
// Under the kit, each test's outcome also goes, a line each, to the file the
// runner names.

#include "kit/Journal.h"
#include "kit/KitFailure.h"
#include "kit/Results.h"
#include "kit/WindowsMachine.h"
#include "tests/wine/WineTestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

using namespace quillane;

// Whether the kit's runner started this program, its journal in place.
bool StartedByTheKit() {
    const wchar_t* journal = _wgetenv(L"QUILLANE_KIT_JOURNAL");
    const wchar_t* run = _wgetenv(L"QUILLANE_KIT_RUN");
    if (!journal || !run || !*run) return false;
    std::ifstream file{wine::fs::path(journal), std::ios::binary};
    std::ostringstream text;
    text << file.rdbuf();
    try {
        return kit::ReadJournal(text.str()).run == driver::ToUtf8(run);
    } catch (const kit::KitFailure&) {
        return false;
    }
}

// Why this is no place for the tests, or nullptr when it is.
const char* WhyNotHere() {
    if (StartedByTheKit()) return nullptr;
    if (!wine::OnWine())
        return "this is Windows, and the test kit's runner, which saves and puts back what the "
               "tests change, did not start it (run RUN-TESTS.cmd)";
    if (!wine::RegistryString(HKEY_LOCAL_MACHINE, L"Software\\Quillane\\Test Prefix", L"MadeBy"))
        return "this Wine prefix was not made by the project's scripts "
               "(it has no HKLM\\Software\\Quillane\\Test Prefix), and the test kit's runner did not "
               "start it";
    return nullptr;
}

// Each test's outcome, as the kit's runner reads it.
class ResultsForTheKit : public testing::EmptyTestEventListener {
public:
    explicit ResultsForTheKit(const wchar_t* file)
        : file_(wine::fs::path(file), std::ios::binary | std::ios::app) {}

private:
    void OnTestEnd(const testing::TestInfo& test) override {
        const testing::TestResult& result = *test.result();
        kit::TestResult line{std::string(test.test_suite_name()) + "." + test.name(),
                             kit::Outcome::Passed, ""};
        if (result.Skipped()) line.outcome = kit::Outcome::Skipped;
        if (result.Failed()) line.outcome = kit::Outcome::Failed;
        // The first failure's message, or the skip's reason.
        for (int i = 0; i < result.total_part_count() && line.outcome != kit::Outcome::Passed; ++i) {
            const testing::TestPartResult& part = result.GetTestPartResult(i);
            if (part.failed() || part.skipped()) {
                line.detail = part.message();
                break;
            }
        }
        file_ << kit::ResultLine(line) << std::flush;
    }

    std::ofstream file_;
};

// A test program that crashes ends there, with the crash's code, instead of
// waiting on a crash dialog that nobody will close: Wine shows its own
// whatever the error mode.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* crash) {
    std::fprintf(stderr, "crashed: exception 0x%08lX\n", crash->ExceptionRecord->ExceptionCode);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), crash->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    if (const char* why = WhyNotHere()) {
        std::fprintf(stderr,
                     "%s refuses to run: %s; it would change the add-in list, class registrations "
                     "and display settings of the Windows it runs on.\n",
                     argv[0], why);
        return 2;
    }
    SetUnhandledExceptionFilter(EndOnCrash);
    kit::SeeTheDisplayAsItIs();
    testing::InitGoogleTest(&argc, argv);
    if (const wchar_t* results = _wgetenv(L"QUILLANE_KIT_RESULTS"))
        testing::UnitTest::GetInstance()->listeners().Append(new ResultsForTheKit(results));
    return RUN_ALL_TESTS();
}
