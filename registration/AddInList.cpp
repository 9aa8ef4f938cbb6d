#include "registration/AddInList.h"

#include <cstdint>
#include <limits>

namespace quillane {
namespace {

std::int16_t ToInt16Checked(std::int32_t value) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        throw Failure("profile write result out of 16-bit range", 0);
    return static_cast<std::int16_t>(value);
}

}  // namespace

void RegisterAddIn(PlatformServices& platform) {
    const std::int16_t written = ToInt16Checked(platform.WritePrivateProfileStringA(
        kAddInListSection, kAddInKey, kAddInEnabled, kAddInListFile));

    if (written != 0)
        platform.ShowMessage(kRegisteredMessage, MessageKind::Information, platform.GetProductName());
    else
        platform.ShowMessage(kNotRegisteredMessage, MessageKind::Critical, platform.GetProductName());
}

}  // namespace quillane
