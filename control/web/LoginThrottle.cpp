#include "LoginThrottle.h"

#include <algorithm>

namespace lm {

std::chrono::seconds LoginThrottle::wait(const std::string& address, Clock::time_point now) {
    const auto it = m_records.find(address);
    if (it == m_records.end() || now >= it->second.lockedUntil) {
        return std::chrono::seconds::zero();
    }
    // Rounded up: "Retry-After: 0" would invite a retry that is still refused.
    return std::chrono::ceil<std::chrono::seconds>(it->second.lockedUntil - now);
}

void LoginThrottle::failed(const std::string& address, Clock::time_point now) {
    if (!m_records.contains(address) && m_records.size() >= m_rules.addresses) {
        forgetQuietest();
    }
    Record& record = m_records[address];
    record.last = now;
    record.failures.push_back(now);
    while (!record.failures.empty() && now - record.failures.front() >= m_rules.window) {
        record.failures.pop_front();
    }
    if (static_cast<int>(record.failures.size()) >= m_rules.failures) {
        record.lockedUntil = now + m_rules.lockout;
        record.failures.clear();
    }
}

void LoginThrottle::succeeded(const std::string& address) {
    m_records.erase(address);
}

void LoginThrottle::forgetQuietest() {
    const auto quietest =
        std::min_element(m_records.begin(), m_records.end(), [](const auto& a, const auto& b) {
            return a.second.last < b.second.last;
        });
    if (quietest != m_records.end()) {
        m_records.erase(quietest);
    }
}

} // namespace lm
