#include "DeskJournal.h"

#include "OperatorDesk.h"

namespace lm {

DeskJournal::DeskJournal(OperatorDesk& desk, std::ostream& out) : m_desk(desk), m_out(out) {
    m_desk.addObserver(*this);
}

DeskJournal::~DeskJournal() {
    m_desk.removeObserver(*this);
}

void DeskJournal::write(const std::vector<DeskMessage>& messages) {
    for (const DeskMessage& message : messages) {
        std::string line = message.text;
        // A box's lines become one line of the journal.
        for (char& c : line) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        m_out << "LMControl: " << (message.title.empty() ? "" : message.title + " ") << line
              << std::endl;
    }
}

void DeskJournal::deskChanged(DeskChanges changes) {
    if (has(changes, DeskChange::Announcement)) {
        write(m_desk.takeAnnouncements());
    }
}

} // namespace lm
