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
        // A box's lines (CR LF, as the boxes break them, or a lone CR or LF) become one line.
        std::string line;
        for (std::size_t i = 0; i < message.text.size(); ++i) {
            const char c = message.text[i];
            if (c == '\r' && i + 1 < message.text.size() && message.text[i + 1] == '\n') {
                continue;
            }
            line += c == '\r' || c == '\n' ? ' ' : c;
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
