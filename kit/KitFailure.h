#pragma once

#include <stdexcept>
#include <string>

namespace quillane::kit {

// The one way the kit's core says that it cannot go on: a message of one line,
// in words a publisher understands, saying what was found and what was expected.
class KitFailure : public std::runtime_error {
public:
    explicit KitFailure(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quillane::kit
