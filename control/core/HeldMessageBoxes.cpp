#include "HeldMessageBoxes.h"

#include <utility>

namespace lm {

std::vector<HeldMessageBoxes::Warning> HeldMessageBoxes::release() {
    m_holding = false;
    return std::exchange(m_held, {});
}

void HeldMessageBoxes::warn(const std::string& text, const std::string& title) {
    if (m_holding) {
        m_held.push_back({text, title});
        return;
    }
    m_shown.warn(text, title);
}

bool HeldMessageBoxes::askYesNo(const std::string& text, const std::string& title) {
    return m_shown.askYesNo(text, title);
}

} // namespace lm
