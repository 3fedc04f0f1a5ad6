#pragma once

#include <cstdint>

namespace lm {

// The deadlines of one item's movement ticks: tick k falls due at anchor + k × interval. The
// anchor is taken once per item on both clocks, the steady one the ticks run on and the
// real-time one that instants travel on, so the ticks never drift from the instant they count
// from, however late a timer fires.
class TickSchedule {
public:
    void start(std::int64_t steadyUs, std::int64_t realUs, int intervalMs);

    int intervalMs() const { return static_cast<int>(m_intervalUs / 1000); }
    // Ticks run since the start; tick 0 is the start itself.
    std::int64_t done() const { return m_done; }
    std::int64_t steadyAt(std::int64_t k) const { return m_steadyUs + k * m_intervalUs; }
    std::int64_t realAt(std::int64_t k) const { return m_realUs + k * m_intervalUs; }
    bool nextIsDue(std::int64_t nowSteadyUs) const { return steadyAt(m_done + 1) <= nowSteadyUs; }
    // Counts the next tick as run and returns its number.
    std::int64_t take() { return ++m_done; }
    // Whole ms until the next tick, rounded up so that a timer never fires before it.
    int msUntilNext(std::int64_t nowSteadyUs) const;

private:
    std::int64_t m_steadyUs = 0;
    std::int64_t m_realUs = 0;
    std::int64_t m_intervalUs = 0;
    std::int64_t m_done = 0;
};

} // namespace lm
