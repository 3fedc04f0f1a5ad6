#include "ScrollEngine.h"

#include "ClockWatch.h"
#include "JobPoller.h"
#include "NumberText.h"
#include "SpeedTable.h"
#include "TextRules.h"
#include "TickTrace.h"
#include "Vocabulary.h"

namespace lm {

namespace {

constexpr int textTickMs = 100;
constexpr int movingPictureTickMs = 300;
constexpr int stillPictureTickMs = 100;

using Picture = SignView::Picture;

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

ScrollEngine::ScrollEngine(SignView& view, JobPoller& poller, Timer& timer1, Timer& timer2,
                           ClockWatch& watch)
    : m_view(view), m_poller(poller), m_timer1(timer1), m_timer2(timer2), m_watch(watch),
      m_instants(poller.host(), poller.bootId()) {}

int ScrollEngine::ColorIndex(std::string_view word) {
    return vocabulary::colourNumber(word).value_or(vocabulary::colourCount);
}

template <typename Apply> void ScrollEngine::withColour(std::string_view word, Apply apply) {
    const int colour = ColorIndex(word);
    if (colour < vocabulary::colourCount) {
        apply(colour);
    }
}

bool ScrollEngine::Timer1_Timer() {
    const bool read = m_poller.ReadJob();
    m_timer1.setEnabled(false);
    if (!read) {
        return false;
    }
    const JobLines& job = m_poller.LMJobLine();
    const std::string& kind = job[jobLine::kind];
    const std::string& movement = job[jobLine::movement];
    if (kind == vocabulary::kindText) {
        startText();
        moved();
    } else if (kind == vocabulary::kindPicture && movement == vocabulary::moveLeft) {
        startMovingPicture();
        moved();
    } else if (kind == vocabulary::kindPicture && movement == vocabulary::moveStill) {
        startStillPicture();
        moved();
    } else if (kind == vocabulary::kindEnd && !m_poller.jobIsFromBeforeStart()) {
        // No answer: the program just ends. An end job that was there before the display
        // started belongs to an earlier session: a display started after "end all" stays.
        if (m_onEnd) {
            m_onEnd();
        }
        m_view.unloadWindow();
    }
    // Any other kind or movement starts nothing; a running tick goes on with the new lines.
    return true;
}

void ScrollEngine::startTicks(int intervalMs) {
    const WallClock& clock = m_watch.clock();
    m_watch.sample();
    const std::string& head = m_poller.LMJobLine()[jobLine::itemNumber];
    // The stop job's blank starts anew at every poll; no record ever comes with it.
    const bool blank = numericValue(head) == -1.0;
    const std::optional<Instant> record = blank ? std::nullopt : m_poller.ReadStartInstant();
    // Both clocks at one moment: the only place the instant is set against the steady clock.
    const std::int64_t steadyUs = clock.steadyUs();
    const std::int64_t realUs = clock.realUs();
    const InstantCheck::Verdict verdict =
        blank ? InstantCheck::Verdict{std::nullopt, "stop job"}
              : m_instants.check(record, m_poller.LMNumber(), head, m_watch, realUs);
    const std::int64_t startUs = verdict.atUs.value_or(realUs);
    m_schedule.start(steadyUs + (startUs - realUs), startUs, intervalMs);
    if (m_trace != nullptr) {
        m_trace->started({m_poller.LMNumber(), trimmed(head), verdict.atUs, realUs, verdict.why});
    }
    // Each item's ticks count from its own start, whatever the item before left running.
    m_timer2.setEnabled(false);
    m_timer2.setInterval(intervalMs);
    m_timer2.setEnabled(true);
    runDueTicks(false);
}

void ScrollEngine::runDueTicks(bool next) {
    const TickMode mode = tickMode(m_poller.LMJobLine());
    const WallClock& clock = m_watch.clock();
    const std::int64_t nowUs = clock.steadyUs();
    const std::int64_t actualUs = m_trace != nullptr ? clock.realUs() : 0;
    while (next || (m_timer2.isActive() && m_schedule.nextIsDue(nowUs))) {
        next = false;
        const std::int64_t k = m_schedule.take();
        m_answered = {};
        m_answeredUs = 0;
        tick(mode);
        if (m_trace != nullptr) {
            const bool replayed = m_timer2.isActive() && m_schedule.nextIsDue(nowUs);
            m_trace->tick({m_poller.LMNumber(), trimmed(m_poller.LMJobLine()[jobLine::itemNumber]),
                           k, m_schedule.realAt(k), actualUs, replayed, m_answered, m_answeredUs});
        }
    }
    if (m_timer2.isActive()) {
        m_timer2.restartCountdown(m_schedule.msUntilNext(clock.steadyUs()));
    }
    if (m_trace != nullptr) {
        m_trace->flush();
    }
}

void ScrollEngine::answerNext() {
    m_poller.WriteNextAnswer(m_schedule.realAt(m_schedule.done()), m_watch.state());
    m_answered = "next";
    m_answeredUs = m_trace != nullptr ? m_watch.clock().realUs() : 0;
}

void ScrollEngine::answerEnd() {
    m_poller.WriteEndAnswer();
    m_answered = m_answered.empty() ? "end" : "next+end";
    m_answeredUs = m_trace != nullptr ? m_watch.clock().realUs() : 0;
}

void ScrollEngine::startText() {
    const JobLines& job = m_poller.LMJobLine();
    const int width = m_LMScreenWidth;
    m_view.setLabelVisible(true);
    m_view.setPictureVisible(Picture::Image1, false);
    m_view.setPictureVisible(Picture::Image2, false);
    m_LMX = width;
    m_view.setLabelLeft(m_LMX);
    m_LMTextWidth = speedTable::textWidthEstimate(width, characterCount(job[jobLine::text]));
    withColour(job[jobLine::textColour], [this](int c) { m_view.setLabelForeColour(c); });
    withColour(job[jobLine::backColour], [this](int c) {
        m_view.setLabelBackColour(c);
        m_view.setWindowBackColour(c);
    });
    m_view.setLabelCaption(job[jobLine::text]);
    m_LMMoveStep = speedTable::moveStep(width, job[jobLine::speed], speedTable::Mode::Text);
    startTicks(textTickMs);
}

void ScrollEngine::startMovingPicture() {
    const JobLines& job = m_poller.LMJobLine();
    const int width = m_LMScreenWidth;
    m_view.setLabelVisible(false);
    m_view.setPictureVisible(Picture::Image1, true);
    m_view.setPictureVisible(Picture::Image2, true);
    // Both just beyond the right edge, out of sight.
    m_LMXP = width;
    m_view.setPictureLeft(Picture::Image1, m_LMXP);
    m_view.setPictureLeft(Picture::Image2, m_LMXP);
    m_LMPictureWidth = width;
    withColour(job[jobLine::backColour], [this](int c) { m_view.setWindowBackColour(c); });
    const std::filesystem::path file = m_poller.picturePath(job[jobLine::picture]);
    m_view.loadPicture(Picture::Image1, file);
    m_view.loadPicture(Picture::Image2, file);
    m_LMPMoveStep = speedTable::moveStep(width, job[jobLine::speed], speedTable::Mode::Picture);
    startTicks(movingPictureTickMs);
}

void ScrollEngine::startStillPicture() {
    const JobLines& job = m_poller.LMJobLine();
    const int width = m_LMScreenWidth;
    m_view.setLabelVisible(false);
    m_view.setPictureVisible(Picture::Image1, true);
    m_view.setPictureVisible(Picture::Image2, false);
    // Nothing moves: LMX only counts down over the window width.
    m_LMX = width;
    m_view.setPictureLeft(Picture::Image1, 0);
    m_LMTextWidth = width;
    m_view.loadPicture(Picture::Image1, m_poller.picturePath(job[jobLine::picture]));
    m_LMMoveStep = speedTable::moveStep(width, job[jobLine::speed], speedTable::Mode::Picture);
    startTicks(stillPictureTickMs);
}

ScrollEngine::TickMode ScrollEngine::tickMode(const JobLines& job) {
    const std::string& kind = job[jobLine::kind];
    const std::string& movement = job[jobLine::movement];
    if (kind == vocabulary::kindText) {
        return TickMode::Text;
    }
    if (kind != vocabulary::kindPicture) {
        return TickMode::None;
    }
    if (movement == vocabulary::moveStill) {
        return TickMode::StillPicture;
    }
    return movement == vocabulary::moveLeft ? TickMode::MovingPicture : TickMode::OtherPicture;
}

void ScrollEngine::Timer2_Timer() {
    if (tickMode(m_poller.LMJobLine()) == TickMode::None) {
        return;
    }
    runDueTicks(true);
    moved();
}

void ScrollEngine::tick(TickMode mode) {
    switch (mode) {
    case TickMode::Text:
        textTick();
        break;
    case TickMode::StillPicture:
        stillPictureTick();
        break;
    case TickMode::MovingPicture:
        movingPictureTick(true);
        break;
    case TickMode::OtherPicture:
        movingPictureTick(false);
        break;
    case TickMode::None:
        break;
    }
}

void ScrollEngine::moved() const {
    if (m_onMoved) {
        m_onMoved();
    }
}

void ScrollEngine::textTick() {
    m_LMX -= m_LMMoveStep;
    // How far the text's left edge has passed the window's left edge.
    const int passed = -m_LMX;
    if (passed >= m_LMTextWidth) {
        m_timer2.setEnabled(false);
        return;
    }
    m_view.setLabelLeft(m_LMX);
    if (passed >= m_LMTextWidth - m_LMMoveStep) {
        answerEnd();
    } else if (passed >= 0 && passed < m_LMMoveStep) {
        answerNext();
    }
}

void ScrollEngine::stillPictureTick() {
    m_LMX -= m_LMMoveStep;
    const int passed = -m_LMX;
    // Both tests use the width the item started with (LMTextWidth): a window widened meanwhile
    // must not keep the end answer from coming.
    if (passed >= m_LMTextWidth) {
        m_timer2.setEnabled(false);
    } else if (passed >= m_LMTextWidth - m_LMMoveStep) {
        answerEnd();
    } else if (passed >= 0 && passed < m_LMMoveStep) {
        answerNext();
    }
}

void ScrollEngine::movingPictureTick(bool left) {
    m_LMXP -= m_LMPMoveStep;
    const int passed = -m_LMXP;
    if (passed >= m_LMPictureWidth) {
        m_timer2.setEnabled(false);
        return;
    }
    if (passed >= m_LMPictureWidth - m_LMPMoveStep) {
        if (left) {
            swapPictures();
        } else {
            answerNext();
        }
        answerEnd();
    } else if (passed >= 0 && passed < m_LMPMoveStep) {
        if (left) {
            swapPictures();
        }
        answerNext();
    } else if (left) {
        swapPictures();
    }
}

void ScrollEngine::swapPictures() {
    // The control moved is always the one just hidden, so nothing moves while it is seen; the
    // picture on show stands one step behind LMXP.
    if (m_LMImageDisplay == 0) {
        m_view.setPictureVisible(Picture::Image1, true);
        m_view.setPictureVisible(Picture::Image2, false);
        m_view.setPictureLeft(Picture::Image2, m_LMXP);
        m_LMImageDisplay = 1;
    } else {
        m_view.setPictureVisible(Picture::Image2, true);
        m_view.setPictureVisible(Picture::Image1, false);
        m_view.setPictureLeft(Picture::Image1, m_LMXP);
        m_LMImageDisplay = 0;
    }
}

} // namespace lm
