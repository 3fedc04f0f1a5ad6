#pragma once

#include "DeskObserver.h"
#include "DeskOutcome.h"

#include <ostream>
#include <vector>

namespace lm {

class OperatorDesk;

// The journal of a control program without a window: what a message box would say, one line
// each on standard error (which systemd keeps in its journal): the desk's announcements, and
// the outcomes the program's own steps bring (a show file or the copy for --resume).
class DeskJournal : private DeskObserver {
public:
    DeskJournal(OperatorDesk& desk, std::ostream& out);
    ~DeskJournal() override;
    DeskJournal(const DeskJournal&) = delete;
    DeskJournal& operator=(const DeskJournal&) = delete;

    void write(const std::vector<DeskMessage>& messages);

private:
    void deskChanged(DeskChanges changes) override;

    OperatorDesk& m_desk;
    std::ostream& m_out;
};

} // namespace lm
