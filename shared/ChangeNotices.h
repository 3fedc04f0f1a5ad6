#pragma once

#include "Timer.h"

#include <functional>
#include <vector>

namespace lm {

// Changes that the file system reports, each handled soon after by the handler and never
// inside another handler: a report only arms a short one-shot timer, which fires between
// handlers like every other timer. All reports of one key that come before it fires (a burst,
// or reports that waited for a tick to end) are handled once.
class ChangeNotices {
public:
    using Handler = std::function<void(int key)>;
    // How long a report waits (ms): enough to gather a burst, far below any poll.
    static constexpr int delayMs = 1;

    // Keys 0 to keys - 1; other keys are ignored.
    explicit ChangeNotices(int keys);
    ChangeNotices(const ChangeNotices&) = delete;
    ChangeNotices& operator=(const ChangeNotices&) = delete;

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    void report(int key);
    bool isPending(int key) const;
    Timer& timer() { return m_timer; }

private:
    // Handles every pending key once, in the order of the keys.
    void run();

    Timer m_timer;
    std::vector<bool> m_pending;
    Handler m_handler;
};

} // namespace lm
