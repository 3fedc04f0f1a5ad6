#include "Glide.h"

#include "NumberText.h"
#include "ScrollEngine.h"

#include <algorithm>

namespace lm {

namespace {
// The stop and end jobs carry this item number; their blank stands still.
constexpr double blankJobNumber = -1.0;
} // namespace

void Glide::plan(const ScrollEngine& engine, const JobLines& job) {
    clear();
    // A stopped item keeps its last frame; the stop job is started anew at every poll.
    if (!engine.isTicking() || numericValue(job[jobLine::itemNumber]) == blankJobNumber) {
        return;
    }
    switch (ScrollEngine::tickMode(job)) {
    case ScrollEngine::TickMode::Text: {
        const int next = engine.LMX() - engine.LMMoveStep();
        // The tick that finds the text gone stops the timer and leaves the label standing.
        if (-static_cast<std::int64_t>(next) >= engine.LMTextWidth()) {
            return;
        }
        m_part = Part::Label;
        m_from = engine.LMX();
        m_to = next;
        break;
    }
    case ScrollEngine::TickMode::MovingPicture: {
        const int step = engine.LMPMoveStep();
        // Before the first tick both controls wait beyond the right edge; the tick that finds
        // the picture gone shows nothing new.
        if (engine.LMXP() >= engine.LMPictureWidth() ||
            -(static_cast<std::int64_t>(engine.LMXP()) - step) >= engine.LMPictureWidth()) {
            return;
        }
        // The control on show stands one step behind LMXP; the next tick shows the other one
        // at LMXP.
        m_part = engine.LMImageDisplay() == 1 ? Part::Image1 : Part::Image2;
        m_from = engine.LMXP() + step;
        m_to = engine.LMXP();
        break;
    }
    case ScrollEngine::TickMode::StillPicture:
    case ScrollEngine::TickMode::OtherPicture:
    case ScrollEngine::TickMode::None:
        return;
    }
    const TickSchedule& ticks = engine.schedule();
    m_startUs = ticks.steadyAt(ticks.done());
    m_durationUs = ticks.steadyAt(ticks.done() + 1) - m_startUs;
}

std::optional<int> Glide::leftAt(std::int64_t nowUs) const {
    if (m_part == Part::None) {
        return std::nullopt;
    }
    const std::int64_t elapsed = std::clamp<std::int64_t>(nowUs - m_startUs, 0, m_durationUs);
    const std::int64_t distance = static_cast<std::int64_t>(m_to) - m_from;
    return static_cast<int>(m_from + distance * elapsed / m_durationUs);
}

bool Glide::isUnderWay(std::int64_t nowUs) const {
    return m_part != Part::None && nowUs - m_startUs < m_durationUs;
}

} // namespace lm
