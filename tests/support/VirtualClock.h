#pragma once

#include "Timer.h"

#include <cstdint>
#include <functional>
#include <map>

namespace lm::test {

// Drives logic Timers on simulated time, so a whole show runs in milliseconds.
// Timers whose countdowns run out at the same moment fire in the order they were armed.
class VirtualClock : private TimerDriver {
public:
    VirtualClock() = default;
    ~VirtualClock() override;
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    void attach(Timer& timer);

    std::int64_t now() const { return m_now; }
    // Runs every timer that falls due up to now + ms, then sets the clock to that moment.
    void advance(std::int64_t ms);
    void advanceTo(std::int64_t time);
    // Advances until the condition holds (checked after every fired timer); false when it
    // does not hold within ms.
    bool advanceUntil(const std::function<bool()>& condition, std::int64_t ms);

private:
    struct Schedule {
        std::int64_t due = 0;
        std::uint64_t order = 0;
        bool armed = false;
    };

    void scheduleChanged(Timer& timer) override;
    void timerDestroyed(Timer& timer) override;
    // The next timer due at or before `limit`, or nullptr.
    Timer* nextDue(std::int64_t limit);
    // Fires the next timer due at or before `limit`; false when none is.
    bool fireNext(std::int64_t limit);

    std::map<Timer*, Schedule> m_timers;
    std::int64_t m_now = 0;
    std::uint64_t m_order = 0;
};

} // namespace lm::test
