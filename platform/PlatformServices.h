#pragma once

// Everything the registration logic needs from the outside world. The logic
// calls nothing else, so it runs unchanged against Windows or a test fake.

#include "platform/Failure.h"
#include "platform/Text.h"

#include <cstdint>

namespace quillane {

// A COM class or interface identifier, kept free of Windows headers.
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

inline bool operator==(const Guid& a, const Guid& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.data4[i] != b.data4[i]) return false;
    return true;
}

// Message box style: the icon kind alone; every box shows only an OK button.
enum class MessageKind : std::uint32_t { Critical = 16, Information = 64 };

// An interface pointer handed out by CreateInstance, opaque to the logic.
struct InstanceRef {
    void* pointer = nullptr;
    explicit operator bool() const { return pointer != nullptr; }
};

// The window that the logic may close. Opaque to the logic.
using DialogHandle = void*;

class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // Modal; returns once the user has dismissed the box.
    virtual void ShowMessage(const Text& prompt, MessageKind kind, const Text& title) = 0;
    // ProductName from the executable's version record.
    virtual Text GetProductName() = 0;
    // Folder of the running executable, without a trailing "\" except at a drive root.
    virtual Text GetAppFolder() = 0;
    // Destroys the dialog; with no window left the program ends.
    virtual void CloseDialog(DialogHandle dialog) = 0;
    virtual InstanceRef CreateInstance(const Guid& clsid, const Guid& iid) = 0;
    // Releases the instance and empties the reference.
    virtual void ReleaseInstance(InstanceRef& instance) = 0;
    // The setup toolkit's self-registration of a library: 0 means registered.
    virtual std::int16_t DLLSelfRegister(const Text& libraryPath) = 0;
    // The profile service's write: non-zero on success, 0 on failure. The texts
    // are in the system's ANSI code page.
    virtual std::int32_t WritePrivateProfileStringA(const char* section, const char* key,
                                                    const char* value, const char* fileName) = 0;
};

}  // namespace quillane
