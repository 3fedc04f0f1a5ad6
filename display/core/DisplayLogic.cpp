#include "DisplayLogic.h"

#include <algorithm>

namespace lm {

namespace {
constexpr int startDelayMs = 100;
constexpr int pollIntervalMs = 80;
// Twice a second: a file system that keeps modification times to the second still shows a
// change every second, well within the control program's 3 s.
constexpr int presenceIntervalMs = 500;
} // namespace

DisplayLogic::DisplayLogic(SignView& view, std::filesystem::path workDir, const WallClock& clock)
    : m_watch(clock), m_poller(std::move(workDir)),
      m_engine(view, m_poller, m_timer1, m_timer2, m_watch) {
    m_timer1.setHandler([this] { m_engine.Timer1_Timer(); });
    m_timer2.setHandler([this] { m_engine.Timer2_Timer(); });
    m_timer3.setHandler([this] { m_poller.Timer3_Timer(); });
    m_presenceTimer.setHandler([this] { refreshPresence(); });
    m_poller.setJobStarter([this] { return m_engine.Timer1_Timer(); });
    m_engine.setEndHandler([this] { stopAll(); });
}

void DisplayLogic::start(std::int16_t number) {
    m_poller.setLMNumber(number);
    m_poller.noteJobAtStart();
    m_timer1.setInterval(startDelayMs);
    m_timer1.setEnabled(true);
    m_timer3.setInterval(pollIntervalMs);
    m_timer3.setEnabled(true);
    refreshPresence();
    m_presenceTimer.setInterval(presenceIntervalMs);
    m_presenceTimer.setEnabled(true);
}

void DisplayLogic::stopAll() {
    m_timer1.setEnabled(false);
    m_timer2.setEnabled(false);
    m_timer3.setEnabled(false);
    m_presenceTimer.setEnabled(false);
}

void DisplayLogic::refreshPresence() {
    m_watch.sample();
    m_poller.WritePresence(m_watch.state());
}

void DisplayLogic::exchangeFilesChanged(const std::vector<std::string>& names) {
    if (!m_timer3.isActive()) {
        return;
    }
    const ExchangeFile job{ExchangeFile::Kind::Job, m_poller.LMNumber()};
    if (std::any_of(names.begin(), names.end(),
                    [&](const std::string& name) { return ExchangeFolder::fileOf(name) == job; })) {
        m_timer3.fire();
    }
}

} // namespace lm
