#pragma once

#include "ExchangeWatch.h"
#include "ScreenWatch.h"

#include <QColor>
#include <QStringList>
#include <chrono>
#include <vector>

namespace lm::e2e {

// What happened in a show, put together from the Exchange folder's files and the screens'
// colours, and checked against how a show must run: display 1 gets the rows in order, each
// after its end answer for the one before; display n + 1 gets each row after display n's next
// answer for it; and each screen shows the item it was sent, at once.
class ShowLog {
public:
    using Clock = std::chrono::steady_clock;

    // One item passed from display `from` to display `from` + 1.
    struct HandOff {
        int from = 0;
        int row = 0;
        Clock::time_point answered;   // display `from` wrote its next answer
        Clock::time_point jobWritten; // the control program wrote the job for `from` + 1
        Clock::time_point shown;      // screen `from` + 1 showed the item
    };

    // rowColours: the colour each row turns the watched pixel (its background colour, or a
    // still picture's colour). Screen i of the changes is display i + 1. Only what happened
    // up to `until` counts.
    ShowLog(std::vector<ExchangeWatch::Event> events, std::vector<ScreenWatch::Change> changes,
            std::vector<QColor> rowColours, int displays, Clock::time_point until);

    // Every way in which the show did not run as it must; empty when it did.
    const QStringList& problems() const { return m_problems; }
    const std::vector<HandOff>& handOffs() const { return m_handOffs; }
    // The rows each display was sent, in order.
    std::vector<int> rowsSentTo(int display) const;
    // How many item jobs the display was sent.
    int jobCount(int display) const { return static_cast<int>(jobs(display).size()); }

    static bool sameColour(const QColor& a, const QColor& b);

private:
    struct Job {
        int row = 0;
        Clock::time_point written;
    };

    std::vector<Job> jobs(int display) const;
    std::vector<Job> answers(const char* prefix, int display) const;
    void check();
    void checkDisplay(int display);

    std::vector<ExchangeWatch::Event> m_events;
    std::vector<ScreenWatch::Change> m_changes;
    std::vector<QColor> m_rowColours;
    int m_displays = 0;
    QStringList m_problems;
    std::vector<HandOff> m_handOffs;
};

} // namespace lm::e2e
