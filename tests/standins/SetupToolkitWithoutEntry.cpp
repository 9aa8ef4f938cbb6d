// A setup toolkit library of the right name that lacks the self-registration
// entry point.

#include <windows.h>

extern "C" __declspec(dllexport) short WINAPI SomethingElse(const char*) { return 0; }
