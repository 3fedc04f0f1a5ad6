#include "ShowLog.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace lm::e2e {

namespace {

// A JPEG of one colour comes back within a few steps of it.
constexpr int colourTolerance = 12;
// A screen shows a new item at the poll that picks the job up: within 80 ms, and a little
// more for painting on a busy machine.
constexpr auto showWithin = std::chrono::milliseconds(1000);

QString fileName(const char* prefix, int display, const char* extension) {
    return QStringLiteral("%1%2.%3")
        .arg(QLatin1String(prefix))
        .arg(display)
        .arg(QLatin1String(extension));
}

} // namespace

ShowLog::ShowLog(std::vector<ExchangeWatch::Event> events, std::vector<ScreenWatch::Change> changes,
                 std::vector<QColor> rowColours, int displays, Clock::time_point until)
    : m_rowColours(std::move(rowColours)), m_displays(displays) {
    for (ExchangeWatch::Event& event : events) {
        if (event.seen <= until) {
            m_events.push_back(std::move(event));
        }
    }
    for (const ScreenWatch::Change& change : changes) {
        if (change.at <= until) {
            m_changes.push_back(change);
        }
    }
    std::stable_sort(m_events.begin(), m_events.end(),
                     [](const auto& a, const auto& b) { return a.written < b.written; });
    check();
}

bool ShowLog::sameColour(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= colourTolerance &&
           std::abs(a.green() - b.green()) <= colourTolerance &&
           std::abs(a.blue() - b.blue()) <= colourTolerance;
}

std::vector<ShowLog::Job> ShowLog::answers(const char* prefix, int display) const {
    const std::string name = fileName(prefix, display, "ans").toStdString();
    std::vector<Job> found;
    for (const ExchangeWatch::Event& event : m_events) {
        if (event.kind == ExchangeWatch::Event::Kind::Written && event.file == name) {
            found.push_back({itemNumberOf(event.head), event.written});
        }
    }
    return found;
}

std::vector<ShowLog::Job> ShowLog::jobs(int display) const {
    const std::string name = fileName("LMData", display, "ini").toStdString();
    std::vector<Job> found;
    for (const ExchangeWatch::Event& event : m_events) {
        // Item jobs only: the stop and end jobs carry -1.
        if (event.kind == ExchangeWatch::Event::Kind::Written && event.file == name &&
            itemNumberOf(event.head) >= 0) {
            found.push_back({itemNumberOf(event.head), event.written});
        }
    }
    return found;
}

std::vector<int> ShowLog::rowsSentTo(int display) const {
    std::vector<int> rows;
    for (const Job& job : jobs(display)) {
        rows.push_back(job.row);
    }
    return rows;
}

void ShowLog::check() {
    for (int display = 1; display <= m_displays; ++display) {
        checkDisplay(display);
    }
}

void ShowLog::checkDisplay(int display) {
    const std::vector<Job> sent = jobs(display);
    const int count = static_cast<int>(m_rowColours.size());
    // Display 1 goes on at its own end answers, every other display at the next answers of
    // the display before it.
    const std::vector<Job> reports =
        display == 1 ? answers("LMPEnd", 1) : answers("LMPNext", display - 1);
    if (sent.empty()) {
        m_problems << QStringLiteral("display %1 was sent nothing").arg(display);
        return;
    }
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const Job& job = sent[i];
        const auto here =
            QStringLiteral("display %1, job %2 (row %3)").arg(display).arg(i).arg(job.row);
        if (job.row != static_cast<int>(i) % count) {
            m_problems << here + QStringLiteral(": rows out of order");
            continue;
        }
        const Clock::time_point previous = i == 0 ? Clock::time_point{} : sent[i - 1].written;
        // The report that released this job: after the job before it, before this one.
        const int reported = display == 1 ? (job.row + count - 1) % count : job.row;
        const Job* report = nullptr;
        for (const Job& answer : reports) {
            if (answer.written >= previous && answer.written <= job.written &&
                answer.row == reported) {
                report = &answer;
            }
        }
        const bool firstOfDisplayOne = display == 1 && i == 0;
        if (report == nullptr && !firstOfDisplayOne) {
            m_problems << here +
                              QStringLiteral(": sent without the report for row %1").arg(reported);
            continue;
        }

        // The screen turns the row's colour after the job and before the next one.
        const Clock::time_point next =
            i + 1 < sent.size() ? sent[i + 1].written : Clock::time_point::max();
        const QColor colour = m_rowColours[static_cast<std::size_t>(job.row)];
        const auto shown = std::find_if(m_changes.begin(), m_changes.end(), [&](const auto& c) {
            return c.screen == display - 1 && c.at >= job.written && c.at < next &&
                   sameColour(c.colour, colour);
        });
        if (shown == m_changes.end()) {
            // The last job may still be on its way to the screen when the log ends.
            if (i + 1 < sent.size()) {
                m_problems << here + QStringLiteral(": the screen never showed it");
            }
            continue;
        }
        if (shown->at - job.written > showWithin) {
            m_problems << here + QStringLiteral(": shown only after %1 ms")
                                     .arg(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              shown->at - job.written)
                                              .count());
        }
        if (display > 1) {
            m_handOffs.push_back({display - 1, job.row, report->written, job.written, shown->at});
        }
    }
}

} // namespace lm::e2e
