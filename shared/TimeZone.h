#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lm {

// A time zone as the plan reads it: the offset from UTC in force at each instant, and the
// instants it changes. Everything is in whole seconds: instants count from 1970 in UTC, local
// times count from 1970-01-01 00:00 as the zone's wall clock reads it. The windows give the
// system's zone; the logic never reads a zone database itself.
class TimeZone {
public:
    virtual ~TimeZone() = default;

    // The zone's name, e.g. "Europe/Berlin".
    virtual std::string name() const = 0;
    // Seconds east of UTC in force at the instant.
    virtual int offsetAt(std::int64_t utcSeconds) const = 0;
    // The first change of offset after the instant; none when the zone changes no more.
    virtual std::optional<std::int64_t> nextTransition(std::int64_t utcSeconds) const = 0;

    // What the wall clock reads at the instant.
    std::int64_t toLocal(std::int64_t utcSeconds) const;
    // The first instant at which the wall clock reads `localSeconds` or later: a time the clock
    // skips (spring forward) gives the change itself, a time it reads twice (autumn) its first
    // pass.
    std::int64_t toUtc(std::int64_t localSeconds) const;
};

} // namespace lm
