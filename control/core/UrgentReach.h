#pragma once

#include <string>
#include <vector>

namespace lm {

// How far an urgent message has got on the wall, from what each display says of itself in its
// presence file. A display that says nothing of its job (an older one) cannot confirm it.
struct UrgentReach {
    std::vector<int> showing;     // it names the copy it was sent: the text is on its screen
    std::vector<int> unconfirmed; // it was sent a copy, but does not say what it shows
    std::vector<int> waiting;     // it was sent a copy and does not show it yet

    bool reachedNone() const { return showing.empty() && unconfirmed.empty() && waiting.empty(); }
    // The exit status of `LMControl --say`: 0 when some screen shows it, 3 when it was only
    // sent, 1 when no display was there to send it to.
    int status() const;
    // One line for the operator that says the same.
    std::string line() const;

    friend bool operator==(const UrgentReach&, const UrgentReach&) = default;
};

} // namespace lm
