#pragma once

#include "platform/Text.h"

namespace quillane {

// A library path as the setup toolkit takes it: in the system's ANSI code page,
// naming the same file, and short enough for an ANSI call (under MAX_PATH)
// wherever that can be had. Throws Failure when the path has no exact ANSI
// form: a best-fit look-alike ("Bad" for "Bād") could name another file.
AnsiText AnsiLibraryPath(const Text& path);

}  // namespace quillane
