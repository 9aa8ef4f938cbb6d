// The test kit's runner, which RUN-TESTS.cmd starts on a Windows machine (XP
// SP3 to 11) or under Wine. In this order, it:
//  1. refuses to run beside another run of the kit, and on Windows Vista and
//     later, unless run as administrator;
//  2. puts back what a run that died left changed, if its journal is there;
//  3. checks the release zip beside it against SHA256SUMS and takes out the
//     program, checked against the SHA-256 its guide gives: the kit tests the
//     program that ships, or nothing, and refuses before it changes anything;
//  4. saves what the tests change, in a journal flushed to the disk;
//  5. runs each test program, with a time limit, and reports each test;
//  6. puts everything back, checks each item is as it was, and says so.
// The report goes to the console and to report.txt beside RUN-TESTS.cmd; its
// last line counts the tests. Exit status: 0 when every test passed or was
// skipped and everything is back, 1 otherwise, 2 when it refused to run.
//   kit_runner.exe [/highcontrast]

#include "kit/Journal.h"
#include "kit/KitFailure.h"
#include "kit/ReleaseCheck.h"
#include "kit/Results.h"
#include "kit/WindowsChild.h"
#include "kit/WindowsKitText.h"
#include "kit/WindowsMachine.h"
#include "kit/WindowsMachineState.h"
#include "platform/WindowsModulePath.h"

#include <windows.h>

#include <cstdio>
#include <functional>

namespace quillane::kit {
namespace {

constexpr wchar_t kAddInClass[] = L"Software\\Classes\\CLSID\\{F3FAB5F4-5689-11D5-816A-444553540000}";
// Every colour of the session, COLOR_SCROLLBAR to COLOR_MENUBAR: whichever the
// tests set, it is put back.
constexpr int kColourCount = 31;
constexpr std::chrono::seconds kTimeLimit{300};
constexpr const wchar_t* kTestPrograms[] = {L"program_tests.exe", L"in_process_tests.exe"};

// What the kit sets under Wine for its run, a DWORD or a string each. Wine's
// crash dialog would hold a test that crashes until someone closed it
// (Windows' is off through the error mode the tests inherit); and a window
// that Wine leaves to a window manager has no title bar where none runs.
struct WineSetting {
    const char* key;
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
};
const WineSetting kWineSettings[] = {
    {"HKCU\\Software\\Wine\\WineDbg", "ShowCrashDialog", REG_DWORD, {0, 0, 0, 0}},
    {"HKCU\\Software\\Wine\\X11 Driver", "Managed", REG_SZ, {'N', 0, 0, 0}},
};

// Ends the runner at once, whatever fails inside it, without a crash box: the
// journal on the disk still says what to put back.
LONG WINAPI EndQuietly(EXCEPTION_POINTERS*) {
    std::fputs("The kit's runner failed; run RUN-TESTS.cmd again to put back what it saved.\n", stderr);
    TerminateProcess(GetCurrentProcess(), 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring WindowsFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    return folder;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[32768] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length && length < 32768 ? value : L"";
}

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
    const std::optional<std::vector<std::uint8_t>> bytes = ReadFileState(Utf8(path)).bytes;
    if (!bytes) throw KitFailure(Utf8(path) + " is not there");
    return *bytes;
}

// Writes a file whole or not at all: beside it first, flushed to the disk,
// then renamed over it.
void WriteWhole(const std::wstring& path, const std::string& text) {
    const std::wstring beside = path + L".new";
    PutBack(SavedFile{Utf8(beside), std::vector<std::uint8_t>(text.begin(), text.end())});
    if (!MoveFileExW(beside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw KitFailure("cannot put " + Utf8(path) + " in place: " + SystemError(GetLastError()));
}

// The report, on the console as it goes and in report.txt.
class Report {
public:
    explicit Report(std::wstring path) : path_(std::move(path)) {}
    void operator()(const std::string& line) {
        text_ += line + "\r\n";
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
        // Written again at each line: what a run that dies has said stays.
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        WriteFile(file, text_.data(), static_cast<DWORD>(text_.size()), &written, nullptr);
        CloseHandle(file);
    }

private:
    std::wstring path_;
    std::string text_;
};

// What the tests change, which the kit saves and puts back: on every Windows,
// the add-in list (and on Vista and later the per-user copy that an
// unelevated program's writes go to), the add-in's class registration, for
// the machine and for the user, and the session's colours; under Wine alone,
// the Wine settings that the tests and the kit itself take.
Journal WhatTheTestsChange(const Machine& machine, bool highContrast) {
    Journal plan;
    plan.files.push_back({Utf8(WindowsFolder() + L"\\VBADDIN.INI"), std::nullopt});
    const std::wstring localAppData = Environment(L"LOCALAPPDATA");
    if (machine.VistaOrLater() && !localAppData.empty())
        plan.files.push_back(
            {Utf8(localAppData + L"\\VirtualStore\\Windows\\VBADDIN.INI"), std::nullopt});
    plan.keys.push_back({"HKLM\\" + Utf8(kAddInClass), false, {}, {}});
    plan.keys.push_back({"HKCU\\" + Utf8(kAddInClass), false, {}, {}});
    for (int index = 0; index < kColourCount; ++index) plan.colours.push_back({index, 0});
    if (highContrast) plan.highContrast = SavedHighContrast{};
    if (!machine.wine.empty()) {
        for (const WineSetting& setting : kWineSettings)
            plan.keys.push_back({setting.key, false, {}, {}});
        plan.keys.push_back({"HKCU\\Software\\Wine\\AppDefaults\\QuillaneConfig.exe", false, {}, {}});
        plan.settings.push_back({"HKCU\\Control Panel\\Desktop", "LogPixels", std::nullopt});
    }
    return plan;
}

// The journal's items as they stand on the machine now.
Journal ReadNow(const Journal& plan) {
    Journal now;
    now.run = plan.run;
    now.machine = plan.machine;
    for (const SavedFile& file : plan.files) now.files.push_back(ReadFileState(file.path));
    for (const SavedKey& key : plan.keys) now.keys.push_back(ReadKeyState(key.path));
    for (const SavedSetting& setting : plan.settings)
        now.settings.push_back(ReadSettingState(setting.key, setting.name));
    std::vector<int> indices;
    for (const SavedColour& colour : plan.colours) indices.push_back(colour.index);
    now.colours = ReadColours(indices);
    if (plan.highContrast) now.highContrast = ReadHighContrast();
    now.drives = plan.drives;
    return now;
}

// What the drive letter names now, as Windows keeps it ("\??\C:\..."), if it
// names the folder the kit defined it for; else nothing.
std::wstring KitsDefinition(const SavedDrive& drive) {
    wchar_t target[1024] = {};
    if (!QueryDosDeviceW(Wide(drive.letter).c_str(), target, 1024)) return {};
    const std::wstring named = target;
    return named == Wide(drive.target) || named == L"\\??\\" + Wide(drive.target) ? named
                                                                                  : std::wstring();
}

// Puts back each item of the journal and reads it again: a line per item.
// Gives whether all of it is as it was.
bool PutBackAll(const Journal& journal, Report& report) {
    bool all = true;
    const auto item = [&](const std::string& what, const std::function<bool()>& putBack) {
        try {
            const bool same = putBack();
            report((same ? "  put back:     " : "  NOT put back: ") + what +
                   (same ? "" : ": it differs still"));
            all = all && same;
        } catch (const KitFailure& failure) {
            report("  NOT put back: " + what + ": " + failure.what());
            all = false;
        }
    };
    // A letter that names something else now, after a restart, is left alone.
    for (const SavedDrive& drive : journal.drives) {
        item("the drive " + drive.letter + " defined for the tests", [&] {
            // Removed by the very text Windows keeps for it, so that it matches.
            const std::wstring definition = KitsDefinition(drive);
            if (!definition.empty())
                DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE | DDD_RAW_TARGET_PATH,
                                 Wide(drive.letter).c_str(), definition.c_str());
            return KitsDefinition(drive).empty();
        });
    }
    for (const SavedFile& file : journal.files) {
        item(file.path +
                 (file.bytes ? " (" + std::to_string(file.bytes->size()) + " bytes)" : " (not there)"),
             [&] {
                 PutBack(file);
                 return ReadFileState(file.path) == file;
             });
    }
    for (const SavedKey& key : journal.keys) {
        item(key.path + (key.exists ? "" : " (not there)"), [&] {
            PutBack(key);
            return ReadKeyState(key.path) == key;
        });
    }
    for (const SavedSetting& setting : journal.settings) {
        item(setting.key + "\\" + setting.name + (setting.value ? "" : " (not there)"), [&] {
            PutBack(setting);
            return ReadSettingState(setting.key, setting.name) == setting;
        });
    }
    if (!journal.colours.empty()) {
        item("the session's colours", [&] {
            PutBack(journal.colours);
            std::vector<int> indices;
            for (const SavedColour& colour : journal.colours) indices.push_back(colour.index);
            return ReadColours(indices) == journal.colours;
        });
    }
    if (journal.highContrast) {
        item("the high-contrast setting and scheme", [&] {
            PutBack(*journal.highContrast);
            return ReadHighContrast() == *journal.highContrast;
        });
    }
    return all;
}

std::string NewRun() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    char run[64];
    std::snprintf(run, sizeof(run), "%lx-%lx-%llx", GetCurrentProcessId(), GetTickCount(),
                  static_cast<unsigned long long>(counter.QuadPart));
    return run;
}

// The release zip beside the kit's folder: the one QuillaneConfig zip that is
// not a kit.
std::wstring ReleaseZip(const std::wstring& kit) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((kit + L"\\QuillaneConfig-*.zip").c_str(), &found);
    std::vector<std::wstring> zips;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name.size() < 13 || name.compare(name.size() - 13, 13, L"-test-kit.zip") != 0)
                zips.push_back(name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    if (zips.size() != 1)
        throw KitFailure(
            "the kit's folder holds " + std::to_string(zips.size()) +
            " release zips (QuillaneConfig-<version>.zip); it should hold the one it came with");
    return zips[0];
}

// The tests of one program, from the lines it wrote; if it did not end by
// itself with a status that says what its lines say, a failure that says so.
std::vector<TestResult> ResultsOf(const std::wstring& program, const ChildEnd& end,
                                  const std::wstring& resultsFile) {
    std::vector<TestResult> results;
    const SavedFile written = ReadFileState(Utf8(resultsFile));
    if (written.bytes) results = ReadResults(std::string(written.bytes->begin(), written.bytes->end()));
    const Counts counts = Count(results);
    const std::string name = Utf8(program);
    if (end.timedOut) {
        results.push_back({name, Outcome::Failed,
                           "still running after " + std::to_string(kTimeLimit.count()) +
                               " s: ended, with what it had started"});
    } else if (results.empty() || end.status > 1 || (end.status == 1) != (counts.failed > 0)) {
        char status[16];
        std::snprintf(status, sizeof(status), "0x%lX", end.status);
        results.push_back({name, Outcome::Failed,
                           "ended with status " + std::string(status) + " after " +
                               std::to_string(results.size()) + " tests; see report-details"});
    }
    return results;
}

int Run(int argc, wchar_t** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SeeTheDisplayAsItIs();
    SetUnhandledExceptionFilter(EndQuietly);
    bool highContrast = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (lstrcmpiW(option.c_str(), L"/highcontrast") == 0) {
            highContrast = true;
        } else {
            std::fputs(
                "usage: RUN-TESTS.cmd [/highcontrast]\n"
                "  /highcontrast  also switch high contrast on for the test that needs it; it is put\n"
                "                 back as it was, flags and scheme\n",
                stderr);
            return 2;
        }
    }
    const std::wstring tests = FolderOf(GetModulePath(nullptr).c_str());
    const std::wstring kit = FolderOf(tests);
    const std::wstring details = kit + L"\\report-details";
    const std::wstring journalPath = kit + L"\\journal.txt";
    Report report(kit + L"\\report.txt");
    const auto refuse = [&](const std::string& why) {
        report("The kit does not run: " + why);
        return 2;
    };

    // One run at a time: a second would take the first one's changes for the
    // machine's own.
    HANDLE alone = CreateMutexW(nullptr, FALSE, L"Local\\QuillaneConfigTestKit");
    if (!alone || GetLastError() == ERROR_ALREADY_EXISTS)
        return refuse("another run of the kit is under way");
    const Machine machine = ReadMachine();
    report("QuillaneConfig test kit, in " + Utf8(kit));
    for (const std::string& line : Describe(machine)) report(line);
    if (machine.VistaOrLater() && !machine.elevated)
        return refuse(
            "on Windows Vista and later it runs only as administrator: right-click RUN-TESTS.cmd and "
            "choose \"Run as administrator\", or run it from a command prompt started that way");
    if (!AnsiCodePageHolds(kit))
        return refuse("its folder, " + Utf8(kit) + ", has letters that this Windows' ANSI code page (" +
                      std::to_string(machine.codePage) +
                      ") lacks, and the test programs could not name it: "
                      "unpack the kit into a folder such as C:\\QuillaneKit");
    if (!machine.administrator)
        return refuse(
            "on Windows XP it runs only from an administrator's account: the tests write to the "
            "Windows folder and to the machine's class registrations");

    Journal journal;
    try {
        const SavedFile earlier = ReadFileState(Utf8(journalPath));
        if (earlier.bytes) {
            const Journal died = ReadJournal(std::string(earlier.bytes->begin(), earlier.bytes->end()));
            if (died.machine != machine.identity)
                return refuse(Utf8(journalPath) +
                              " was written on another machine, by another user or for "
                              "another Windows (" +
                              died.machine +
                              "), and is not put back here: run the kit "
                              "where it was written, or, if that machine is gone, delete the file");
            report("An earlier run ended before it put everything back; putting it back now:");
            if (!PutBackAll(died, report))
                return refuse("what an earlier run changed could not all be put back; " +
                              Utf8(journalPath) + " says what it was");
            PutBack(SavedFile{Utf8(journalPath), std::nullopt});
            report("Everything an earlier run changed is back as it was.");
        }

        // The program that ships, or nothing.
        const std::wstring zipName = ReleaseZip(kit);
        const CheckedRelease release = CheckRelease(ReadBytes(kit + L"\\SHA256SUMS"), Utf8(zipName),
                                                    ReadBytes(kit + L"\\" + zipName));
        report("Release:         " + Utf8(zipName) + ", SHA-256 " + release.zipHash +
               ", checked against SHA256SUMS");
        report("Program:         QuillaneConfig.exe, SHA-256 " + release.programHash +
               ", as its guide gives");
        WriteWhole(tests + L"\\QuillaneConfig.exe",
                   std::string(release.program.begin(), release.program.end()));

        journal = WhatTheTestsChange(machine, highContrast);
        journal.run = NewRun();
        journal.machine = machine.identity;
        // A drive letter for the tests that run the program from a drive's
        // root: the first free one from Z: down, on Windows; Wine cannot run a
        // program from a drive defined this way.
        const DWORD used = GetLogicalDrives();
        for (wchar_t letter = L'Z'; machine.wine.empty() && letter > L'D' && journal.drives.empty();
             --letter)
            if (!(used & (1u << (letter - L'A'))))
                journal.drives.push_back(
                    {Utf8(std::wstring{letter, L':'}), Utf8(details + L"\\drive-root")});
        journal = ReadNow(journal);
    } catch (const KitFailure& failure) {
        return refuse(failure.what());
    }
    std::wstring driveRoot;
    try {
        CreateDirectoryW(details.c_str(), nullptr);
        WriteWhole(journalPath, WriteJournal(journal));
    } catch (const KitFailure& failure) {
        return refuse("its journal cannot be written: " + std::string(failure.what()));
    }
    report("Saved, in " + Utf8(journalPath) + ", before any test:");
    for (const SavedFile& file : journal.files) report("  " + file.path);
    for (const SavedKey& key : journal.keys) report("  " + key.path);
    for (const SavedSetting& setting : journal.settings)
        report("  " + setting.key + "\\" + setting.name);
    report("  the session's colours" +
           std::string(journal.highContrast ? ", the high-contrast setting" : ""));

    SetEnvironmentVariableW(L"QUILLANE_KIT_JOURNAL", journalPath.c_str());
    SetEnvironmentVariableW(L"QUILLANE_KIT_RUN", Wide(journal.run).c_str());
    SetEnvironmentVariableW(L"QUILLANE_KIT_HIGH_CONTRAST", highContrast ? L"1" : nullptr);
    SetEnvironmentVariableW(L"QUILLANE_TEST_SPARE_DRIVE", nullptr);
    std::vector<TestResult> results;
    try {
        for (const WineSetting& setting : kWineSettings)
            if (!machine.wine.empty())
                PutBack(SavedSetting{setting.key, setting.name,
                                     SavedValue{"", "", setting.type, setting.data}});
        for (const SavedDrive& drive : journal.drives) {
            driveRoot = Wide(drive.target);
            CreateDirectoryW(driveRoot.c_str(), nullptr);
            if (DefineDosDeviceW(0, Wide(drive.letter).c_str(), driveRoot.c_str()))
                SetEnvironmentVariableW(L"QUILLANE_TEST_SPARE_DRIVE", Wide(drive.letter).c_str());
        }
    } catch (const KitFailure& failure) {
        results.push_back({"(setting up)", Outcome::Failed, failure.what()});
    }

    report("Tests:");
    for (const wchar_t* program : kTestPrograms) {
        const std::wstring name = std::wstring(program).substr(0, std::wstring(program).size() - 4);
        const std::wstring resultsFile = details + L"\\" + name + L".results";
        DeleteFileW(resultsFile.c_str());
        SetEnvironmentVariableW(L"QUILLANE_KIT_RESULTS", resultsFile.c_str());
        try {
            const ChildEnd end = RunChild(L"\"" + tests + L"\\" + program + L"\" --gtest_output=xml:\"" +
                                              details + L"\\" + name + L".xml\"",
                                          tests, details + L"\\" + name + L".log", kTimeLimit);
            for (const TestResult& result : ResultsOf(program, end, resultsFile)) {
                report(ReportLine(result));
                results.push_back(result);
            }
        } catch (const KitFailure& failure) {
            results.push_back({Utf8(program), Outcome::Failed, failure.what()});
            report(ReportLine(results.back()));
        }
    }

    report("Putting back what was saved:");
    const bool back = PutBackAll(journal, report);
    if (back) {
        DeleteFileW(journalPath.c_str());
        if (!driveRoot.empty()) RemoveDirectoryW(driveRoot.c_str());
        report("Everything the tests changed is back as it was.");
    } else {
        report("Not everything is back: " + Utf8(journalPath) +
               " keeps what was saved; run RUN-TESTS.cmd again "
               "to try once more.");
    }
    const Counts counts = Count(results);
    report(CountsLine(counts));
    return counts.failed == 0 && back ? 0 : 1;
}

}  // namespace
}  // namespace quillane::kit

int wmain(int argc, wchar_t** argv) {
    try {
        return quillane::kit::Run(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "The kit's runner failed: %s\n", failure.what());
        return 1;
    }
}
