#include "SessionStore.h"

#include "Secrets.h"

#include <algorithm>

namespace lm {

SessionStore::Opened SessionStore::open(const std::string& address, const std::string& passwordHash,
                                        Clock::time_point now) {
    dropExpired(now);
    if (m_sessions.size() >= m_rules.sessions) {
        const auto idlest = std::min_element(
            m_sessions.begin(), m_sessions.end(),
            [](const auto& a, const auto& b) { return a.second.used < b.second.used; });
        m_sessions.erase(idlest);
    }
    const std::string cookie = secrets::newSessionId();
    const std::string key = secrets::sha256Hex(cookie);
    const Session session{key.substr(0, 8), address};
    m_sessions[key] = Entry{session, passwordHash, now, now};
    return {cookie, session};
}

std::optional<SessionStore::Session> SessionStore::use(const std::string& cookie,
                                                       const std::string& passwordHash,
                                                       Clock::time_point now) {
    const auto it = m_sessions.find(secrets::sha256Hex(cookie));
    if (it == m_sessions.end()) {
        return std::nullopt;
    }
    Entry& entry = it->second;
    if (now - entry.used >= m_rules.idle || now - entry.opened >= m_rules.longest ||
        entry.passwordHash != passwordHash) {
        m_sessions.erase(it);
        return std::nullopt;
    }
    entry.used = now;
    return entry.session;
}

void SessionStore::close(const std::string& cookie) {
    m_sessions.erase(secrets::sha256Hex(cookie));
}

void SessionStore::dropExpired(Clock::time_point now) {
    std::erase_if(m_sessions, [&](const auto& item) {
        return now - item.second.used >= m_rules.idle ||
               now - item.second.opened >= m_rules.longest;
    });
}

} // namespace lm
