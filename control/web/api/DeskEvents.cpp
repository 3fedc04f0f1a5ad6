#include "DeskEvents.h"

#include "DeskJson.h"
#include "EventHub.h"
#include "OperatorDesk.h"

namespace lm {

DeskEvents::DeskEvents(OperatorDesk& desk, EventHub& hub) : m_desk(desk), m_hub(hub) {
    m_desk.addObserver(*this);
}

DeskEvents::~DeskEvents() {
    m_desk.removeObserver(*this);
}

void DeskEvents::deskChanged(DeskChanges changes) {
    // Nobody listens: the state is not even turned into JSON.
    if (m_hub.openStreams() == 0) {
        return;
    }
    if (nlohmann::json parts = deskJson::changed(m_desk, changes); !parts.empty()) {
        m_hub.publish("state", parts);
    }
    if (has(changes, DeskChange::Announcement) && !m_desk.announcements().empty()) {
        m_hub.publish("announcement", {{"messages", deskJson::messages(m_desk.announcements())}});
    }
}

} // namespace lm
