#include "TimeZone.h"

namespace lm {

std::int64_t TimeZone::toLocal(std::int64_t utcSeconds) const {
    return utcSeconds + offsetAt(utcSeconds);
}

std::int64_t TimeZone::toUtc(std::int64_t localSeconds) const {
    // No zone is a day away from UTC, so two days before, the clock still reads less. From there,
    // stretch by stretch of one offset, find where the clock first reaches the local time.
    constexpr std::int64_t twoDays = 2 * 86'400;
    std::int64_t from = localSeconds - twoDays;
    int offset = offsetAt(from);
    for (;;) {
        if (localSeconds < from + offset) {
            return from; // the clock jumped over it at the start of this stretch
        }
        const std::optional<std::int64_t> next = nextTransition(from);
        if (!next || localSeconds < *next + offset) {
            return localSeconds - offset;
        }
        from = *next;
        offset = offsetAt(from);
    }
}

} // namespace lm
