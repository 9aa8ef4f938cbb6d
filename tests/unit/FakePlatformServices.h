#pragma once

// A scripted stand-in for the platform: each operation gives its configured
// result or fails, and what happens is traced in order.

#include "platform/PlatformServices.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quillane::testing {

class FakePlatformServices : public PlatformServices {
public:
    // Each CreateInstance in turn: true creates, false fails; beyond the list it fails.
    std::deque<bool> creations;
    // A value is the operation's result; none makes it fail.
    std::optional<std::int16_t> selfRegisterResult = 0;
    std::optional<std::wstring> appFolder = L"C:\\Tools";
    std::optional<std::int32_t> profileWriteResult = 1;
    // Other operations that fail, by their letters in the trace.
    std::string failing;

    // A letter per operation called: C CreateInstance, R ReleaseInstance,
    // F GetAppFolder, S DLLSelfRegister, W WritePrivateProfileStringA,
    // N GetProductName, M ShowMessage, X CloseDialog.
    std::string trace;
    struct Message {
        std::wstring text, title;
        MessageKind kind;
    };
    std::vector<Message> shown;
    std::wstring libraryPath;
    std::vector<std::string> profileArgs;
    std::vector<std::pair<Guid, Guid>> created;  // class and interface asked for at each creation
    int liveInstances = 0;
    DialogHandle closedDialog = nullptr;

    void ShowMessage(const Text& text, MessageKind kind, const Text& title) override {
        shown.push_back(Step('M', Message{text.c_str(), title.c_str(), kind}));
    }
    Text GetProductName() override {
        return Step('N', std::wstring(L"Quillane Add-In Configuration")).c_str();
    }
    Text GetAppFolder() override { return Step('F', appFolder).c_str(); }
    void CloseDialog(DialogHandle dialog) override { closedDialog = Step('X', dialog); }
    InstanceRef CreateInstance(const Guid& clsid, const Guid& iid) override {
        created.emplace_back(clsid, iid);
        const bool creates = !creations.empty() && creations.front();
        if (!creations.empty()) creations.pop_front();
        return {Step('C', creates ? std::optional<void*>(&++liveInstances) : std::nullopt)};
    }
    void ReleaseInstance(InstanceRef& instance) override {
        liveInstances -= Step('R', instance ? 1 : 0);
        instance = {};
    }
    std::int16_t DLLSelfRegister(const Text& path) override {
        libraryPath = path.c_str();
        return Step('S', selfRegisterResult);
    }
    std::int32_t WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                            const char* fileName) override {
        profileArgs = {section, key, value, fileName};
        return Step('W', profileWriteResult);
    }

private:
    // Traces the operation and gives its result, or fails as configured.
    template <typename T>
    T Step(char letter, const std::optional<T>& result) {
        trace += letter;
        if (!result || failing.find(letter) != std::string::npos)
            throw Failure("simulated failure", 0x80004005u);
        return *result;
    }
    template <typename T>
    T Step(char letter, const T& result) {
        return Step(letter, std::optional<T>(result));
    }
};

}  // namespace quillane::testing
