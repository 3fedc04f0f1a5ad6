#include "WallClock.h"

#include <ctime>
#include <sys/timex.h>

namespace lm {

namespace {

std::int64_t microseconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

} // namespace

std::int64_t SystemClock::steadyUs() const {
    return microseconds(CLOCK_MONOTONIC);
}

std::int64_t SystemClock::realUs() const {
    return microseconds(CLOCK_REALTIME);
}

std::int64_t SystemClock::bootUs() const {
    return microseconds(CLOCK_BOOTTIME);
}

ClockState SystemClock::state() const {
    timex status{};
    // Reading only: modes 0 changes nothing and needs no privilege.
    const int result = ::adjtimex(&status);
    ClockState state;
    state.synchronised = result >= 0 && result != TIME_ERROR && (status.status & STA_UNSYNC) == 0;
    state.errorUs = status.esterror;
    return state;
}

SystemClock& SystemClock::instance() {
    static SystemClock clock;
    return clock;
}

} // namespace lm
