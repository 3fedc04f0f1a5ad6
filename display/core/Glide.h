#pragma once

#include "JobLines.h"

#include <cstdint>
#include <optional>

namespace lm {

class ScrollEngine;

// Smooth motion between movement ticks: where the moving part of the sign is painted at a
// given moment. After every job start and movement tick the window plans the glide from the
// engine's state. Until the next tick the part then moves from where this tick put it towards
// where the next tick will put it, at the item's own speed; at every tick it stands exactly
// where the tick put it. The engine's state, answers and ticks are not touched.
//
// The glide runs from this tick's deadline to the next one, not from when the handler ran, so
// gliding screens move together as their ticks do. Times are microseconds on the steady clock
// the engine's ticks run on; positions are twips from the window's left edge.
class Glide {
public:
    enum class Part { None, Label, Image1, Image2 };

    // After a job start or a movement tick.
    void plan(const ScrollEngine& engine, const JobLines& job);
    // Nothing glides: every part stands where the engine put it.
    void clear() { m_part = Part::None; }

    Part part() const { return m_part; }
    // Where the gliding part is painted at nowUs; nothing when no part glides.
    std::optional<int> leftAt(std::int64_t nowUs) const;
    // True while the part has not yet reached where the next tick will put it.
    bool isUnderWay(std::int64_t nowUs) const;

private:
    Part m_part = Part::None;
    int m_from = 0;
    int m_to = 0;
    std::int64_t m_startUs = 0;
    std::int64_t m_durationUs = 0;
};

} // namespace lm
