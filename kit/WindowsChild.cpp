#include "kit/WindowsChild.h"

#include "kit/KitFailure.h"
#include "kit/WindowsKitText.h"

#include <windows.h>

namespace quillane::kit {
namespace {

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace

ChildEnd RunChild(const std::wstring& commandLine, const std::wstring& folder, const std::wstring& log,
                  std::chrono::seconds limit) {
    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    Handle output(CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (output.get() == INVALID_HANDLE_VALUE)
        throw KitFailure("cannot make " + Utf8(log) + ": " + SystemError(GetLastError()));
    // The program and all it starts, to be ended together: a job that ends
    // them when its last handle closes, which is also when the kit's runner
    // ends, however it ends. Windows 7 and earlier put no process in two jobs:
    // where the kit itself runs in one, the program is ended alone.
    Handle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    const bool jobReady =
        job.get() &&
        SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    PROCESS_INFORMATION process{};
    std::wstring command = commandLine;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        folder.c_str(), &startup, &process))
        throw KitFailure("cannot start " + Utf8(commandLine) + ": " + SystemError(GetLastError()));
    Handle processHandle(process.hProcess), thread(process.hThread);
    const bool inJob = jobReady && AssignProcessToJobObject(job.get(), process.hProcess);
    ResumeThread(process.hThread);

    ChildEnd end;
    const DWORD waited = WaitForSingleObject(process.hProcess, static_cast<DWORD>(limit.count() * 1000));
    if (waited != WAIT_OBJECT_0) {
        end.timedOut = true;
        if (inJob) TerminateJobObject(job.get(), 1);
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
        return end;
    }
    GetExitCodeProcess(process.hProcess, &end.status);
    // What it left running goes with it.
    if (inJob) TerminateJobObject(job.get(), 0);
    return end;
}

}  // namespace quillane::kit
