#pragma once

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
    State state = State::Absent;
    int line = 0; // Showing: the line of the show list, counted from 1 as lblNum counts

    friend bool operator==(const WallCell&, const WallCell&) = default;
};

} // namespace lm
