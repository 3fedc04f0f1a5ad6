#include "SessionStore.h"

#include "Secrets.h"

#include <algorithm>
#include <sstream>

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

std::string SessionStore::saved(Clock::time_point now,
                                std::chrono::system_clock::time_point wallNow) const {
    using std::chrono::milliseconds;
    const auto wallMs = [&](Clock::time_point at) {
        return std::chrono::duration_cast<milliseconds>((wallNow - (now - at)).time_since_epoch())
            .count();
    };
    std::ostringstream text;
    for (const auto& [key, entry] : m_sessions) {
        text << key << ' ' << wallMs(entry.opened) << ' ' << wallMs(entry.used) << ' '
             << entry.session.address << ' ' << entry.passwordHash << '\n';
    }
    return text.str();
}

void SessionStore::restore(std::string_view text, Clock::time_point now,
                           std::chrono::system_clock::time_point wallNow) {
    const auto wallNowMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(wallNow.time_since_epoch()).count();
    // A time after now (the clock was set back since) counts as now.
    const auto steady = [&](long long ms) {
        return now - std::chrono::milliseconds(std::max(0LL, wallNowMs - ms));
    };
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line) && m_sessions.size() < m_rules.sessions) {
        std::istringstream words(line);
        std::string key;
        long long opened = 0;
        long long used = 0;
        std::string address;
        std::string passwordHash;
        words >> key >> opened >> used >> address >> passwordHash;
        const bool hexKey =
            key.size() == 64 && key.find_first_not_of("0123456789abcdef") == std::string::npos;
        if (!words.fail() && hexKey && !passwordHash.empty() && opened <= used) {
            m_sessions[key] = Entry{Session{key.substr(0, 8), address}, passwordHash,
                                    steady(opened), steady(used)};
        }
    }
    dropExpired(now);
}

void SessionStore::dropExpired(Clock::time_point now) {
    std::erase_if(m_sessions, [&](const auto& item) {
        return now - item.second.used >= m_rules.idle ||
               now - item.second.opened >= m_rules.longest;
    });
}

} // namespace lm
