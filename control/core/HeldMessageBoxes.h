#pragma once

#include "MessageBoxes.h"

#include <string>
#include <vector>

namespace lm {

// Message boxes that can be held back: while held, a warning is kept instead of shown, so that
// a request from another program is answered with its words before any box opens. Questions
// are always asked at once.
class HeldMessageBoxes : public MessageBoxes {
public:
    struct Warning {
        std::string text;
        std::string title;
    };

    explicit HeldMessageBoxes(MessageBoxes& shown) : m_shown(shown) {}

    void hold() { m_holding = true; }
    // Ends the hold: the warnings kept since, in order, for the caller to show.
    std::vector<Warning> release();

    void warn(const std::string& text, const std::string& title) override;
    bool askYesNo(const std::string& text, const std::string& title) override;

private:
    MessageBoxes& m_shown;
    bool m_holding = false;
    std::vector<Warning> m_held;
};

} // namespace lm
