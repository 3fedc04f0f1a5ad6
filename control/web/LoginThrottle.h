#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <string>

namespace lm {

// Failed log-ins per address: five within a minute, and that address gets 429 for five
// minutes, whatever password it sends. Time is given by the caller.
class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    struct Rules {
        int failures = 5;
        std::chrono::seconds window{60};
        std::chrono::seconds lockout{300};
        // Addresses remembered at most; past that the quietest are forgotten first.
        std::size_t addresses = 4096;
    };

    LoginThrottle() = default;
    explicit LoginThrottle(Rules rules) : m_rules(rules) {}

    // How long the address must still wait; zero when it may try.
    std::chrono::seconds wait(const std::string& address, Clock::time_point now);
    void failed(const std::string& address, Clock::time_point now);
    void succeeded(const std::string& address);

private:
    struct Record {
        std::deque<Clock::time_point> failures;
        Clock::time_point lockedUntil{};
        Clock::time_point last{};
    };
    void forgetQuietest();

    Rules m_rules;
    std::map<std::string, Record> m_records;
};

} // namespace lm
