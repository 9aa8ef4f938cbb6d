#pragma once

// What the kit saves of a machine, read from it and put back into it: files,
// registry keys with all they hold, single registry values, the session's
// colours and the high-contrast setting. Each reader gives what the journal
// keeps; each PutBack makes the machine hold it again, and a reader called
// afterwards gives the same. Failures are KitFailures that name the item.

#include "kit/Journal.h"

#include <windows.h>

#include <string>
#include <vector>

namespace quillane::kit {

// A file's bytes, or its absence. A folder where the file should be is a
// failure: the kit does not save folders.
SavedFile ReadFileState(const std::string& path);
// Writes the bytes, or removes the file; a folder the tests left in its place
// goes first.
void PutBack(const SavedFile& file);

// A key ("HKLM\..." or "HKCU\...", in the registry view of this 32-bit
// program) with its subkeys and values, in order; or its absence.
SavedKey ReadKeyState(const std::string& path);
// Removes the key with all it holds, then makes it again as saved.
void PutBack(const SavedKey& key);

SavedSetting ReadSettingState(const std::string& key, const std::string& name);
void PutBack(const SavedSetting& setting);

std::vector<SavedColour> ReadColours(const std::vector<int>& indices);
// For this session only, as the tests change them.
void PutBack(const std::vector<SavedColour>& colours);

SavedHighContrast ReadHighContrast();
void PutBack(const SavedHighContrast& highContrast);

// Removes key `path` under `root` and every key below it, as Windows XP's
// RegDeleteKeyW removes only keys without subkeys; ERROR_SUCCESS also when it
// was not there.
LONG DeleteRegistryTree(HKEY root, const std::wstring& path);

}  // namespace quillane::kit
