#pragma once

#include <cstdint>
#include <exception>

namespace quillane {

// The one way an operation reports that it could not do its work. A failure is
// never encoded as a result value; `code` carries the system's error code
// (an HRESULT or a GetLastError value) where there is one.
class Failure : public std::exception {
public:
    // `what` names the operation; it is a text that lasts, such as a literal.
    Failure(const char* what, std::uint32_t code) : what_(what), code_(code) {}
    const char* what() const noexcept override { return what_; }
    std::uint32_t code() const { return code_; }

private:
    const char* what_;
    std::uint32_t code_;
};

}  // namespace quillane
