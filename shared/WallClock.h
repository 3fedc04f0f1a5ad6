#pragma once

#include "ClockState.h"

#include <cstdint>

namespace lm {

// The clocks a program reads, in µs. Timers count on the steady clock; instants that travel
// between programs are on the real-time clock (UTC), the one clock all computers of a wall keep
// in step. The window binds the system's clocks, tests a virtual one.
class WallClock {
public:
    virtual ~WallClock() = default;
    // Never steps; stops while the computer sleeps.
    virtual std::int64_t steadyUs() const = 0;
    // UTC, µs since 1970; may be stepped by the time service or by hand.
    virtual std::int64_t realUs() const = 0;
    // Like steadyUs(), but it goes on while the computer sleeps.
    virtual std::int64_t bootUs() const = 0;
    // What the kernel says of the real-time clock.
    virtual ClockState state() const = 0;
};

// The system's clocks: CLOCK_MONOTONIC, CLOCK_REALTIME, CLOCK_BOOTTIME and adjtimex().
class SystemClock : public WallClock {
public:
    std::int64_t steadyUs() const override;
    std::int64_t realUs() const override;
    std::int64_t bootUs() const override;
    ClockState state() const override;

    // The one every program uses unless a test gives another.
    static SystemClock& instance();
};

} // namespace lm
