#pragma once

#include "ControlRequest.h"
#include "OperatorDesk.h"
#include "Timer.h"

#include <functional>
#include <vector>

namespace lm {

// The requests of a second LMControl on this computer (a show file, a plan) and of
// `LMControl --say`, as one more
// front end of the desk: each becomes the desk's command, and is answered with what came of
// it, never after a box the operator must close. An urgent message is answered once every
// display it was sent to shows it (or cannot say), or after waitMs: the wait runs on its own
// timer and holds nothing else up.
class LocalRequests {
public:
    static constexpr int lookEveryMs = 100;
    static constexpr int waitMs = 2000;

    using Reply = std::function<void(const ControlReply&)>;

    // raise: brings the window to the front (nothing without one).
    LocalRequests(OperatorDesk& desk, std::function<void()> raise);

    // The timer of the waits for an urgent message; the front end binds it.
    Timer& timer() { return m_timer; }

    void handle(const ControlRequest& request, Reply reply);

private:
    struct Waiting {
        Reply reply;
        int waitedMs = 0;
    };

    void handOver(const ControlRequest& request, const Reply& reply);
    void followPlan(const ControlRequest& request, const Reply& reply);
    void look();
    static ControlReply replyOf(const UrgentReach& reach);

    OperatorDesk& m_desk;
    std::function<void()> m_raise;
    Timer m_timer;
    std::vector<Waiting> m_waiting;
};

} // namespace lm
