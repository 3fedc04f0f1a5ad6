#include "ChangeNotices.h"

namespace lm {

ChangeNotices::ChangeNotices(int keys) : m_pending(static_cast<std::size_t>(keys), false) {
    m_timer.setInterval(delayMs);
    m_timer.setHandler([this] { run(); });
}

void ChangeNotices::report(int key) {
    if (key < 0 || key >= static_cast<int>(m_pending.size())) {
        return;
    }
    m_pending[static_cast<std::size_t>(key)] = true;
    m_timer.setEnabled(true);
}

bool ChangeNotices::isPending(int key) const {
    return key >= 0 && key < static_cast<int>(m_pending.size()) &&
           m_pending[static_cast<std::size_t>(key)];
}

void ChangeNotices::run() {
    // Reports made by the handlers below arm the timer again and wait for its next run.
    m_timer.setEnabled(false);
    std::vector<bool> due(m_pending.size(), false);
    due.swap(m_pending);
    for (std::size_t key = 0; key < due.size(); ++key) {
        if (due[key] && m_handler) {
            m_handler(static_cast<int>(key));
        }
    }
}

} // namespace lm
