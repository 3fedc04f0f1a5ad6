#pragma once

#include "Instant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace lm {

class ClockWatch;

// Which moment a job's ticks count from: the instant in the record beside the job (written by
// the control program with the job) when the record is for this job, new, recent, and from a
// clock this display can set against its own; otherwise the job's arrival, as with a control
// program that writes no records.
class InstantCheck {
public:
    // Further off than this, an instant is not used: a replay of more ticks would show as a
    // jump, and an instant that far ahead is a clock gone wrong.
    static constexpr std::int64_t reachUs = 1'000'000;

    struct Verdict {
        std::optional<std::int64_t> atUs; // none: from the arrival
        std::string_view why;             // for the trace
    };

    // This computer: a record from it is on this very clock.
    InstantCheck(std::string host, std::string bootId)
        : m_host(std::move(host)), m_bootId(std::move(bootId)) {}

    // Off, every item starts as its job arrives, as before records came with the jobs
    // (LMSIGN_INSTANTS=off, for a measurement or a wall whose clocks are not to be believed).
    void setUsed(bool used) { m_used = used; }

    // The record read just after the job; a record used here is never used again.
    Verdict check(const std::optional<Instant>& record, int display, const std::string& head,
                  const ClockWatch& watch, std::int64_t nowRealUs);

private:
    std::string m_host;
    std::string m_bootId;
    std::optional<std::string> m_lastSequence;
    bool m_used = true;
};

} // namespace lm
