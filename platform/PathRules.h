#pragma once

// Rules for Windows paths that need no Windows call: plain C++, built and
// tested on any system.

#include "platform/Text.h"

namespace quillane {

// The folder part of a module's full path: no trailing "\" except at a drive
// root ("C:\", "\\?\C:\"). Empty when the path names no folder.
Text FolderOfModulePath(const Text& modulePath);

// Past MAX_PATH (260) characters Windows takes only the extended form of a
// path: "\\?\C:\..." or "\\?\UNC\server\...". The extended form of a path of
// that length, unless it already is one; shorter paths as they are.
Text ExtendedFormIfLong(const Text& path);
// A path in the plain form: "C:\..." or "\\server\...".
Text PlainForm(const Text& path);

}  // namespace quillane
