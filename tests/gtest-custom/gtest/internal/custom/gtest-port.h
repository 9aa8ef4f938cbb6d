#pragma once

// GoogleTest's own place for a build's changes to its port layer, found before
// the empty one that ships with it. mingw-w64's win32 thread flavour, whose
// runtime calls nothing Windows XP lacks, has no std::mutex or
// std::condition_variable, on which GoogleTest 1.12 builds its Notification
// (a gate that holds new threads until their creator opens it): this one is a
// Win32 event, which every Windows has. GoogleTest's other locks are Win32
// critical sections already.

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
public:
    // Manual reset: once open, the gate stays open for every waiter.
    Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace testing::internal
