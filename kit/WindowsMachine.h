#pragma once

// The machine the kit runs on, as its report describes it, and what decides
// where the kit may run: the Windows version, Wine, elevation.

#include <string>
#include <vector>

namespace quillane::kit {

struct Machine {
    unsigned major = 0, minor = 0, build = 0;
    std::string servicePack;  // "Service Pack 3", or empty
    bool wow64 = false;       // a 32-bit program on 64-bit Windows
    std::string wine;         // Wine's version, or empty on Windows
    bool administrator = false;
    bool elevated = false;  // on Windows XP, as an administrator is
    int width = 0, height = 0, dpi = 0;
    bool highContrast = false;
    unsigned codePage = 0;
    // The computer's name, the user's SID and the Windows folder: a journal
    // is put back only where these are its own.
    std::string identity;

    bool VistaOrLater() const { return major >= 6; }
};

// The Windows the kit runs on, read from the system itself: Windows 8.1 and
// later tell a program without a manifest that they are 8.
Machine ReadMachine();

// Asks Windows (Vista and later) for the display as it is: a program that
// does not say it knows the display's resolution is given 96 dpi and scaled
// rectangles above 100 % scaling. The kit's programs see what the program
// they test sees, which says it knows.
void SeeTheDisplayAsItIs();

// The report's lines describing it.
std::vector<std::string> Describe(const Machine& machine);

}  // namespace quillane::kit
