#include "UrgentBroadcast.h"

#include "NumberText.h"
#include "TextRules.h"

#include <system_error>

namespace lm {

UrgentBroadcast::UrgentBroadcast(JobWriter& jobs, DisplayWall& wall, const RunView& settings,
                                 const WallClock& clock)
    : m_jobs(jobs), m_wall(wall), m_settings(settings), m_clock(clock) {
    m_timer.setHandler([this] { tick(); });
    m_timer.setInterval(tickMs);
}

std::optional<UrgentMessage> UrgentBroadcast::message() const {
    return m_run ? std::optional(m_run->message) : std::nullopt;
}

bool UrgentBroadcast::showsOn(int n) const {
    return m_run && !m_run->heads.at(static_cast<std::size_t>(n)).empty();
}

void UrgentBroadcast::say(UrgentMessage message, bool showWasRunning, int resumeRow) {
    if (!m_run) {
        // Built whole and moved in: clang 14 cannot default-construct a nested struct with
        // member initialisers in place inside its own class.
        Run run;
        run.showWasRunning = showWasRunning;
        run.resumeRow = resumeRow;
        m_run = std::move(run);
    }
    // A new text over the old one: what comes after both stays as it was.
    m_run->message = std::move(message);
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        // A display that shows the text before gets the new one under the other line 1.
        if (m_wall.isPresent(n) && !m_wall.isSilent(n)) {
            send(n);
        }
    }
    m_jobs.report();
    m_timer.setEnabled(true);
}

std::optional<UrgentBroadcast::Ended> UrgentBroadcast::end() {
    if (!m_run) {
        return std::nullopt;
    }
    const Ended ended = endedOf(*m_run);
    m_run.reset();
    m_timer.setEnabled(false);
    return ended;
}

UrgentBroadcast::Ended UrgentBroadcast::endedOf(const Run& run) const {
    Ended ended{run.showWasRunning, run.resumeRow, {}};
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        if (!run.heads.at(static_cast<std::size_t>(n)).empty()) {
            ended.copies.push_back(n);
        }
    }
    return ended;
}

void UrgentBroadcast::tick() {
    if (!m_run) {
        return;
    }
    const std::optional<std::int64_t> ends = m_run->message.endsAtUs;
    if (ends && m_clock.realUs() >= *ends) {
        if (const std::optional<Ended> ended = end(); ended && m_ended) {
            m_ended(*ended);
        }
        return;
    }
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        check(n);
    }
    m_jobs.report();
}

void UrgentBroadcast::answerChanged(AnswerKind kind, int display) {
    // Only end answers count: each repeats the text on its display.
    if (m_run && kind == AnswerKind::End && display >= 1 && display <= vocabulary::maxDisplays) {
        check(display);
        m_jobs.report();
    }
}

void UrgentBroadcast::send(int n) {
    std::string& head = m_run->heads.at(static_cast<std::size_t>(n));
    // A display starts a job only when its line 1 changes, and it may not yet have seen that
    // the message before has ended: each copy comes under the other line 1 than the last one.
    std::string& last = m_lastHeads.at(static_cast<std::size_t>(n));
    const std::string first = itemNumberLine(urgentNumber);
    head = last == first ? itemNumberLine(urgentNumber + 1) : first;
    last = head;
    const UrgentMessage& message = m_run->message;
    // It starts as it arrives: no instant of another display goes with it.
    m_jobs.writeStartRecord(n, head, std::nullopt);
    m_jobs.write(n, JobLines{head, std::string(vocabulary::kindText), "", m_settings.movementText(),
                             "", message.textColour, message.backColour, m_settings.speedText(),
                             message.text, ""});
}

void UrgentBroadcast::check(int n) {
    if (!m_wall.isPresent(n) || m_wall.isSilent(n)) {
        return;
    }
    const std::string& head = m_run->heads.at(static_cast<std::size_t>(n));
    if (head.empty()) {
        send(n);
        return;
    }
    const ExchangeFolder& exchange = m_wall.exchange();
    const Answer end = exchange.readAnswer(AnswerKind::End, n);
    if (end.field1 == head && end.isEndWord()) {
        m_wall.noteAnswer(n);
        std::error_code ignored;
        std::filesystem::remove(exchange.answerPath(AnswerKind::End, n), ignored);
        send(n);
    }
}

UrgentReach UrgentBroadcast::reach() const {
    UrgentReach reach;
    if (!m_run) {
        return reach;
    }
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        const std::string& head = m_run->heads.at(static_cast<std::size_t>(n));
        if (head.empty()) {
            continue;
        }
        const std::optional<SignOfLife>& life = m_wall.life(n);
        if (!life || !life->job) {
            reach.unconfirmed.push_back(n);
        } else {
            (*life->job == head ? reach.showing : reach.waiting).push_back(n);
        }
    }
    return reach;
}

} // namespace lm
