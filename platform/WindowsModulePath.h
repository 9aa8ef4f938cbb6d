#pragma once

#include "platform/Text.h"

#include <windows.h>

namespace quillane {

// The full path of `module` (nullptr: the running executable), at any length.
Text GetModulePath(HMODULE module);

}  // namespace quillane
