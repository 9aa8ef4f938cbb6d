// A COM server of a process of its own, as a class could be registered
// (LocalServer32) where the add-in's belongs in the IDE's process. Started, it
// leaves a trace, a file named after itself with ".started" added, beside it,
// and ends.

#include "tests/standins/Trace.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    LeaveTrace(nullptr, L".started");
    return 0;
}
