#pragma once

#include "DeskObserver.h"

namespace lm {

class EventHub;
class OperatorDesk;

// The change streams' view on the desk: each change, from whichever front end, goes to every
// open stream at once as `event: state` with the parts of the state that changed, and the
// desk's announcements as `event: announcement`. Runs on the desk's thread, as every observer.
class DeskEvents : private DeskObserver {
public:
    // Observes the desk until it goes. Made before the window's view, so that it reads an
    // announcement before the window takes it.
    DeskEvents(OperatorDesk& desk, EventHub& hub);
    ~DeskEvents() override;
    DeskEvents(const DeskEvents&) = delete;
    DeskEvents& operator=(const DeskEvents&) = delete;

private:
    void deskChanged(DeskChanges changes) override;

    OperatorDesk& m_desk;
    EventHub& m_hub;
};

} // namespace lm
