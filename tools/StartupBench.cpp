// Measures the time from starting a program to its first visible window.
//   startup_bench PROGRAM.exe WINDOW-CAPTION RUNS
// Prints each run's time in milliseconds and the median. Every run's window is
// closed with WM_CLOSE and the process waited for before the next starts.

#include "tools/ProgramDriver.h"

#include <algorithm>
#include <cstdio>

using namespace quillane::driver;

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::printf("usage: startup_bench PROGRAM.exe WINDOW-CAPTION RUNS\n");
        return 1;
    }
    const int runs = _wtoi(argv[3]);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        LARGE_INTEGER start, shown;
        QueryPerformanceCounter(&start);
        Program program(argv[1]);
        HWND window = nullptr;
        // Poll without sleeping: the figure should be the program's, not the poll's.
        while (!window && !program.WaitForExit(0ms)) {
            window = FindWindowW(nullptr, argv[2]);
            if (window && !IsWindowVisible(window)) window = nullptr;
        }
        QueryPerformanceCounter(&shown);
        if (!window) {
            std::printf("run %d: no window\n", run);
            return 1;
        }
        times.push_back(1000.0 * static_cast<double>(shown.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
        PostMessageW(window, WM_CLOSE, 0, 0);
        program.WaitForExit();
    }
    std::printf("runs:");
    for (double t : times) std::printf(" %.1f", t);
    std::sort(times.begin(), times.end());
    std::printf("\nmedian: %.1f ms\n", times[times.size() / 2]);
    return 0;
}
