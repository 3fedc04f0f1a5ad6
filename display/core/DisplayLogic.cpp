#include "DisplayLogic.h"

#include <optional>

namespace lm {

namespace {
constexpr int startDelayMs = 100;
constexpr int pollIntervalMs = 80;
} // namespace

DisplayLogic::DisplayLogic(SignView& view, std::filesystem::path workDir)
    : m_poller(std::move(workDir)), m_engine(view, m_poller, m_timer1, m_timer2) {
    m_timer1.setHandler([this] { m_engine.Timer1_Timer(); });
    m_timer2.setHandler([this] { m_engine.Timer2_Timer(); });
    m_timer3.setHandler([this] { m_poller.Timer3_Timer(); });
    m_poller.setJobStarter([this] { return m_engine.Timer1_Timer(); });
    m_engine.setEndHandler([this] { stopAll(); });
    // Exactly as the poll timer would run it: not while it is switched off.
    m_notices.setHandler([this](int /*key*/) { m_timer3.fire(); });
}

void DisplayLogic::start(std::int16_t number) {
    m_poller.setLMNumber(number);
    m_timer1.setInterval(startDelayMs);
    m_timer1.setEnabled(true);
    m_timer3.setInterval(pollIntervalMs);
    m_timer3.setEnabled(true);
}

void DisplayLogic::stopAll() {
    m_timer1.setEnabled(false);
    m_timer2.setEnabled(false);
    m_timer3.setEnabled(false);
}

void DisplayLogic::exchangeFileChanged(std::string_view name) {
    if (!m_timer3.isActive()) {
        return;
    }
    const std::optional<ExchangeFile> file = ExchangeFolder::fileOf(name);
    if (file && file->kind == ExchangeFile::Kind::Job && file->display == m_poller.LMNumber()) {
        m_notices.report(0);
    }
}

} // namespace lm
