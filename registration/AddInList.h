#pragma once

#include "platform/PlatformServices.h"

namespace quillane {

// The IDE's add-in list: a profile file given by bare name, which the Windows
// profile service looks for in the Windows folder.
inline constexpr char kAddInListFile[] = "VBADDIN.INI";
inline constexpr char kAddInListSection[] = "Add-Ins32";
inline constexpr char kAddInKey[] = "Quillane.Connect";
inline constexpr char kAddInEnabled[] = "1";

inline constexpr wchar_t kRegisteredMessage[] = L"Quillane Add-In successfully registered";
inline constexpr wchar_t kNotRegisteredMessage[] = L"Failed to register Quillane Add-In";

// Writes the add-in's entry into the add-in list and tells the user whether the
// write worked. Returns once the message has been dismissed. Catches nothing: a
// failing operation, or a write result outside the signed 16-bit range, leaves
// as a Failure.
void RegisterAddIn(PlatformServices& platform);

}  // namespace quillane
