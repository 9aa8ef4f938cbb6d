// Measures start-up: the time from starting a program to its window being
// shown and the program first waiting for input. The program and the others
// it is compared with are launched in turn, one of each a round, so that a
// drift of the host falls on all of them alike; each round gives a ratio of
// the program's time to each other's.
//   startup_bench ROUNDS PROGRAM.exe CAPTION [OTHER.exe CAPTION]...
// Prints the median of each one's times, and for each other the median, and
// the quartiles, of the program's time over its in the same round. A first
// round, not counted, warms the caches.

#include "tools/ProgramDriver.h"

#include <algorithm>
#include <cstdio>

using namespace quillane::driver;

namespace {

struct Launched {
    const wchar_t* exe;
    const wchar_t* caption;
    std::vector<double> times;  // ms
};

// The time in ms until the program waited for input with its window shown;
// closes the window and waits for the program to end. Negative on failure.
double TimeStartUp(const Launched& what) {
    LARGE_INTEGER frequency, start, ready;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Program program(what.exe);
    const bool idle = program.WaitForInputIdle();
    QueryPerformanceCounter(&ready);
    HWND window = program.VisibleWindow(what.caption);
    if (!idle || !window) {
        std::printf("%ls: no window \"%ls\" when it first waited for input\n", what.exe, what.caption);
        return -1;
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    program.WaitForExit();
    return 1000.0 * static_cast<double>(ready.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// The value at fraction `at` (0 to 1) of the sorted values.
double Quantile(std::vector<double> values, double at) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(at * static_cast<double>(values.size() - 1) + 0.5)];
}

int Bench(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? _wtoi(argv[1]) : 0;
    if (argc < 6 || argc % 2 != 0 || rounds < 1) {
        std::printf(
            "usage: startup_bench ROUNDS PROGRAM.exe CAPTION OTHER.exe CAPTION [...]"
            " (ROUNDS at least 1)\n");
        return 1;
    }
    std::vector<Launched> launched;
    for (int i = 2; i + 1 < argc; i += 2) launched.push_back({argv[i], argv[i + 1], {}});
    for (int round = -1; round < rounds; ++round) {
        for (Launched& what : launched) {
            const double time = TimeStartUp(what);
            if (time < 0) return 1;
            if (round >= 0) what.times.push_back(time);
        }
    }

    std::printf("%d rounds; ms from start to the window shown and waiting for input.\n", rounds);
    std::printf("%10s %12s  %s\n", "median ms", "ratio", "");
    std::printf("%10.1f %12s  %ls\n", Quantile(launched[0].times, 0.5), "", launched[0].exe);
    for (size_t other = 1; other < launched.size(); ++other) {
        std::vector<double> ratios;
        for (int round = 0; round < rounds; ++round)
            ratios.push_back(launched[0].times[round] / launched[other].times[round]);
        std::printf("%10.1f %6.3f %5s  %ls (quartiles of the ratio %.3f-%.3f)\n",
                    Quantile(launched[other].times, 0.5), Quantile(ratios, 0.5), "", launched[other].exe,
                    Quantile(ratios, 0.25), Quantile(ratios, 0.75));
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return RunTool("startup_bench", Bench, argc, argv); }
