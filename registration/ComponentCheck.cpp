#include "registration/ComponentCheck.h"

namespace quillane {
namespace {

// Runs one action of the check. A failing action leaves whatever it would have
// set untouched and marks the record; the caller goes on with the next action.
// Whatever the action threw, the check itself never does.
template <typename Action>
void Attempt(bool& failed, Action&& action) {
    try {
        action();
    } catch (...) {
        failed = true;
    }
}

void ReportFailureAndClose(PlatformServices& platform, DialogHandle dialog, bool& failed) {
    Attempt(failed, [&] {
        platform.ShowMessage(kComponentMissingMessage, MessageKind::Critical, platform.GetProductName());
    });
    Attempt(failed, [&] { platform.CloseDialog(dialog); });
}

}  // namespace

Text AddInLibraryPath(const Text& folder) {
    if (folder.empty()) return {};
    if (folder.back() == L'\\') return folder + kAddInLibraryName;
    return folder + L"\\" + kAddInLibraryName;
}

void RunComponentCheck(PlatformServices& platform, DialogHandle dialog) {
    InstanceRef probe;
    bool failed = false;

    Attempt(failed, [&] { probe = platform.CreateInstance(kConnectClassId, kConnectInterfaceId); });
    if (!failed) {
        Attempt(failed, [&] { platform.ReleaseInstance(probe); });
        return;
    }

    Text folder;
    Attempt(failed, [&] { folder = platform.GetAppFolder(); });
    const Text path = AddInLibraryPath(folder);

    std::int16_t result = 0;
    // Without a folder the path would be relative to the current drive and could
    // register whatever library lies there: count that as a failed call instead.
    if (path.empty())
        failed = true;
    else
        Attempt(failed, [&] { result = platform.DLLSelfRegister(path); });

    if (result != 0) {
        ReportFailureAndClose(platform, dialog, failed);
        return;
    }

    // Clear the record so the test below sees only the second instantiation, not
    // a failed self-registration call whose result stayed 0.
    failed = false;
    Attempt(failed, [&] { probe = platform.CreateInstance(kConnectClassId, kConnectInterfaceId); });
    if (failed) {
        ReportFailureAndClose(platform, dialog, failed);
        return;
    }
    Attempt(failed, [&] { platform.ReleaseInstance(probe); });
}

}  // namespace quillane
