#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// The browsers' sessions. A session's cookie is 256 random bits; only its SHA-256 is kept
// here. A session ends when it has been idle too long, at the latest after a day, at log-out,
// and when the password changes. Time is given by the caller.
class SessionStore {
public:
    using Clock = std::chrono::steady_clock;

    struct Rules {
        std::chrono::minutes idle{30};
        std::chrono::hours longest{24};
        // Sessions at most; a new one past that ends the one idle longest.
        std::size_t sessions = 256;
    };

    struct Session {
        std::string label;   // a short name for the log: the first 8 hex digits of the hash
        std::string address; // where it logged in from
    };

    SessionStore() = default;
    explicit SessionStore(Rules rules) : m_rules(rules) {}

    struct Opened {
        std::string cookie; // the value to send, once
        Session session;
    };

    // A new session for someone who logged in with the password that has this hash.
    Opened open(const std::string& address, const std::string& passwordHash, Clock::time_point now);
    // The session of a cookie's value, when it is still open and the password is still the one
    // it logged in with; it counts as used now.
    std::optional<Session> use(const std::string& cookie, const std::string& passwordHash,
                               Clock::time_point now);
    void close(const std::string& cookie);
    std::size_t size() const { return m_sessions.size(); }

    // The open sessions as the text of a file kept between runs of the program, so that a
    // browser stays logged in across a restart: one line per session with the SHA-256 of its
    // cookie (never the cookie), its times on the wall clock, its address and the hash of the
    // password it logged in with.
    std::string saved(Clock::time_point now, std::chrono::system_clock::time_point wallNow) const;
    // Takes the sessions of saved() back, beside those open; a line that cannot be read is
    // passed over, and a session that has expired since is dropped.
    void restore(std::string_view text, Clock::time_point now,
                 std::chrono::system_clock::time_point wallNow);

private:
    struct Entry {
        Session session;
        std::string passwordHash;
        Clock::time_point opened{};
        Clock::time_point used{};
    };
    void dropExpired(Clock::time_point now);

    Rules m_rules;
    std::map<std::string, Entry> m_sessions; // by the SHA-256 of the cookie
};

} // namespace lm
