#include "InstantCheck.h"

#include "ClockWatch.h"

namespace lm {

InstantCheck::Verdict InstantCheck::check(const std::optional<Instant>& record, int display,
                                          const std::string& head, const ClockWatch& watch,
                                          std::int64_t nowRealUs) {
    if (!m_used) {
        return {std::nullopt, "instants off"};
    }
    if (!record) {
        return {std::nullopt, "no record"};
    }
    if (!record->atUs) {
        return {std::nullopt, "no instant"};
    }
    if (record->display != display || record->head != head) {
        return {std::nullopt, "another job"};
    }
    if (record->sequence == m_lastSequence) {
        return {std::nullopt, "used before"};
    }
    // A step of this clock shifts every instant against the ticks; the other computer's records
    // may not have seen it yet either.
    if (!watch.isSettled()) {
        return {std::nullopt, "own clock stepped"};
    }
    const bool sameClock = record->host == m_host && record->bootId == m_bootId;
    if (!sameClock && !(record->clock.isTrusted() && watch.state().isTrusted())) {
        return {std::nullopt, "clocks not synchronised"};
    }
    if (*record->atUs < nowRealUs - reachUs) {
        return {std::nullopt, "too old"};
    }
    if (*record->atUs > nowRealUs + reachUs) {
        return {std::nullopt, "too far ahead"};
    }
    m_lastSequence = record->sequence;
    return {record->atUs, "instant"};
}

} // namespace lm
