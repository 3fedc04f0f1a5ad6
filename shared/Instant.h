#pragma once

#include "ClockState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// The moment at which an item passed from one screen to the next, so that the next display
// runs it in step: the scheduled time of display n's movement tick that wrote its next answer,
// in µs of the real-time clock (UTC).
//
// Two files carry it, beside the job and answer files and matched by no wildcard set of them:
// display n writes LMNextAt<n>.dat just before its next answer; the control program, handing
// that item on to display m, writes LMStartAt<m>.dat before m's job. A record names the
// display and the job's line 1, so a display uses only the one that fits the job it has just
// read. Older programs neither write nor read them.
struct Instant {
    int display = 0;
    std::string head; // line 1 of the job, exactly
    // The control program's: new at each of its starts, then counted up, so a display never
    // takes one record twice.
    std::string sequence;
    // None: the item starts when its job arrives.
    std::optional<std::int64_t> atUs;
    // The computer whose clock gave atUs, and that clock as its kernel reported it then.
    std::string host;
    std::string bootId;
    ClockState clock;

    // "key=value" lines of ASCII between a header and an end line, CR LF.
    std::string encode() const;
    // Nothing for an empty, cut or foreign file, or a value that breaks a line.
    static std::optional<Instant> parse(std::string_view bytes);

    friend bool operator==(const Instant&, const Instant&) = default;
};

} // namespace lm
