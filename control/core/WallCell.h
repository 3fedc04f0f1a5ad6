#pragma once

#include <cstdint>

namespace lm {

// What the control window shows of one display computer in its strip of sixteen cells.
struct WallCell {
    enum class State {
        Absent,  // no display program seen
        Idle,    // its program runs and shows no item of a show
        Showing, // it shows the item of list line `line`
        Silent,  // it ran, but its presence or its answer stopped coming
        Urgent   // it shows the urgent message
    };
    // Whether its instants can be trusted by a display on another computer beside it.
    enum class Clock {
        Trusted,        // or nothing is known of it, or its neighbours share its clock
        Unsynchronised, // its kernel reports no time service in step
        Imprecise       // in step, but with an estimated error over 2 ms
    };

    State state = State::Absent;
    int line = 0; // Showing: the line of the show list, counted from 1 as lblNum counts
    Clock clock = Clock::Trusted;
    std::int64_t clockErrorUs = 0; // Imprecise: the estimated error
    // Its answers arrive, but none of its wake-ups ever did: a firewall may block the port.
    bool noWakeUps = false;

    friend bool operator==(const WallCell&, const WallCell&) = default;
};

} // namespace lm
