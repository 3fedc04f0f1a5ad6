#pragma once

#include <string>

namespace lm {

// The operator is told things only through message boxes. The window shows real ones;
// tests answer them.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A warning with an OK button only.
    virtual void warn(const std::string& text, const std::string& title) = 0;
    // A question with Yes and No, Yes the default button; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& title) = 0;
};

} // namespace lm
