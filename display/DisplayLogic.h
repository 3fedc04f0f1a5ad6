#pragma once

#include "Timer.h"

#include <cstdint>

namespace lm {

// The display program's logic behind its window: the display number, the window width the
// movement derives from, and the three timers the window binds to real timers.
class DisplayLogic {
public:
    DisplayLogic() = default;
    DisplayLogic(const DisplayLogic&) = delete;
    DisplayLogic& operator=(const DisplayLogic&) = delete;

    // "OK": the number is taken, the one-shot start timer and the job poller are armed.
    void start(std::int16_t number);
    // Ending the program stops every timer at once.
    void stopAll();

    std::int16_t LMNumber() const { return m_LMNumber; }
    // Width of the window in twips; every step of the movement derives from it.
    int LMScreenWidth() const { return m_LMScreenWidth; }
    void setLMScreenWidth(int twips) { m_LMScreenWidth = twips; }

    Timer& timer1() { return m_timer1; } // start timer: 100 ms, once
    Timer& timer2() { return m_timer2; } // movement tick
    Timer& timer3() { return m_timer3; } // job poller: 80 ms

private:
    std::int16_t m_LMNumber = 0;
    int m_LMScreenWidth = 0;
    Timer m_timer1;
    Timer m_timer2;
    Timer m_timer3;
};

} // namespace lm
