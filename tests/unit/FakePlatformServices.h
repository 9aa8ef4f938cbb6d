#pragma once

// A scripted stand-in for the platform: each operation either gives its
// configured result or fails, and every call is logged in order.

#include "platform/PlatformServices.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quillane::testing {

struct Call {
    std::string operation;  // "CreateInstance", "ShowMessage", ...
    std::wstring text;      // the prompt, the library path
    std::wstring title;
    MessageKind kind{};
    std::vector<std::string> profileArgs;
};

inline PlatformFailure SimulatedFailure(const std::string& operation) {
    return PlatformFailure("simulated failure of " + operation, 0x80004005u);
}

class FakePlatformServices : public PlatformServices {
public:
    // Outcome of each CreateInstance call in turn: true creates, false fails.
    // Calls beyond the list fail.
    std::deque<bool> creations;
    // A value is DLLSelfRegister's result; none makes the call fail.
    std::optional<std::int16_t> selfRegisterResult = std::int16_t{0};
    std::optional<std::wstring> appFolder = std::wstring(L"C:\\Tools");
    std::optional<std::int32_t> profileWriteResult = 1;
    bool productNameFails = false;
    bool showMessageFails = false;
    bool closeFails = false;
    bool releaseFails = false;

    std::vector<Call> calls;
    int liveInstances = 0;

    void ShowMessage(const std::wstring& prompt, MessageKind kind, const std::wstring& title) override {
        Call call{"ShowMessage", prompt, title, kind, {}};
        calls.push_back(call);
        if (showMessageFails) throw SimulatedFailure("ShowMessage");
    }

    std::wstring GetProductName() override {
        calls.push_back({"GetProductName"});
        if (productNameFails) throw SimulatedFailure("GetProductName");
        return L"Quillane Add-In Configuration";
    }

    std::wstring GetAppFolder() override {
        calls.push_back({"GetAppFolder"});
        if (!appFolder) throw SimulatedFailure("GetAppFolder");
        return *appFolder;
    }

    void CloseDialog(DialogHandle dialog) override {
        calls.push_back({"CloseDialog"});
        if (closeFails) throw SimulatedFailure("CloseDialog");
        closedDialog = dialog;
    }

    InstanceRef CreateInstance(const Guid& clsid, const Guid& iid) override {
        calls.push_back({"CreateInstance"});
        lastClassId = clsid;
        lastInterfaceId = iid;
        const bool creates = !creations.empty() && creations.front();
        if (!creations.empty()) creations.pop_front();
        if (!creates) throw SimulatedFailure("CreateInstance");
        ++liveInstances;
        return InstanceRef{&instanceToken};
    }

    void ReleaseInstance(InstanceRef& instance) override {
        calls.push_back({"ReleaseInstance"});
        if (releaseFails) throw SimulatedFailure("ReleaseInstance");
        if (instance) --liveInstances;
        instance = {};
    }

    std::int16_t DLLSelfRegister(const std::wstring& libraryPath) override {
        calls.push_back({"DLLSelfRegister", libraryPath});
        if (!selfRegisterResult) throw SimulatedFailure("DLLSelfRegister");
        return *selfRegisterResult;
    }

    std::int32_t WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                            const std::string& value,
                                            const std::string& fileName) override {
        calls.push_back({"WritePrivateProfileStringA", {}, {}, {}, {section, key, value, fileName}});
        if (!profileWriteResult) throw SimulatedFailure("WritePrivateProfileStringA");
        return *profileWriteResult;
    }

    // The names of the operations called, in order.
    std::vector<std::string> Operations() const {
        std::vector<std::string> names;
        for (const Call& call : calls) names.push_back(call.operation);
        return names;
    }

    std::vector<Call> Messages() const {
        std::vector<Call> shown;
        for (const Call& call : calls)
            if (call.operation == "ShowMessage") shown.push_back(call);
        return shown;
    }

    DialogHandle closedDialog = nullptr;
    std::optional<Guid> lastClassId;
    std::optional<Guid> lastInterfaceId;

private:
    int instanceToken = 0;
};

}  // namespace quillane::testing
