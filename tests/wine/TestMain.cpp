// The entry point of the tests that run under Wine. They change what they test
// against: the add-in list in the Windows folder, the add-in's class
// registration, the user's colours and display resolution. So they run only in
// a Wine prefix that the project's scripts made, which carries their mark, and
// anywhere else refuse before they change anything.

#include "tests/wine/WineTestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Why this is no place for the tests, or nullptr when it is.
const char* WhyNotATestPrefix() {
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        return "this is Windows, not Wine";
    if (!quillane::wine::RegistryString(HKEY_LOCAL_MACHINE, L"Software\\Quillane\\Test Prefix",
                                        L"MadeBy"))
        return "this Wine prefix was not made by the project's scripts "
               "(it has no HKLM\\Software\\Quillane\\Test Prefix)";
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (const char* why = WhyNotATestPrefix()) {
        std::fprintf(stderr,
                     "%s refuses to run: %s; it would change the add-in list, class registrations "
                     "and display settings of the Windows it runs on.\n",
                     argv[0], why);
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
