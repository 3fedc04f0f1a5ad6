#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lm {

// Where a display tells of its movement ticks and job starts, for measurements
// (LMSIGN_TICK_TRACE). Times are µs of the real-time clock; head is the job's line 1, trimmed.
class TickTrace {
public:
    struct Tick {
        int display = 0;
        std::string_view head;
        std::int64_t k = 0; // the tick's number, counted from the item's start
        std::int64_t scheduledUs = 0;
        std::int64_t actualUs = 0;   // when its handler ran
        bool replayed = false;       // run to catch up, never painted
        std::string_view answer;     // "next", "end" or empty
        std::int64_t answeredUs = 0; // when its last answer was written whole; 0: none
    };
    struct Start {
        int display = 0;
        std::string_view head;
        std::optional<std::int64_t> instantUs; // none: it started on arrival
        std::int64_t actualUs = 0;
        std::string_view why;
    };

    virtual ~TickTrace() = default;
    virtual void tick(const Tick& tick) = 0;
    virtual void started(const Start& start) = 0;
    // After each handler: what it told may go to the file now.
    virtual void flush() = 0;
};

} // namespace lm
