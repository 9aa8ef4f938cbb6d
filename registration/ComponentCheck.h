#pragma once

#include "platform/PlatformServices.h"

namespace quillane {

// The add-in's connection class and the interface asked for when probing it.
inline constexpr Guid kConnectClassId{
    0xF3FAB5F4, 0x5689, 0x11D5, {0x81, 0x6A, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr Guid kConnectInterfaceId{
    0xF3FAB5F3, 0x5689, 0x11D5, {0x81, 0x6A, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

inline constexpr wchar_t kAddInLibraryName[] = L"Quillane.dll";
inline constexpr wchar_t kComponentMissingMessage[] =
    L"Could not reference Quillane Add-In. Try registering Quillane.dll first";

// The add-in library's path in `folder`, with exactly one separator between
// the two. Gives an empty text when there is no folder to put it in.
Text AddInLibraryPath(const Text& folder);

// Makes sure the add-in's connection class can be created, self-registering the
// add-in library from the program's folder when it cannot. When it still cannot,
// tells the user and closes `dialog`. Never throws: every failing action is
// recorded and the next one runs.
void RunComponentCheck(PlatformServices& platform, DialogHandle dialog);

}  // namespace quillane
