#include "WakeUpGate.h"

#include "ExchangeFolder.h"

#include <algorithm>
#include <utility>

namespace lm {

WakeUpGate::WakeUpGate(Writer writer) : m_writer(std::move(writer)) {}

WakeUpGate::Writer WakeUpGate::displayJob(int display) {
    return [display](std::string_view name) -> std::optional<int> {
        if (ExchangeFolder::fileOf(name) == ExchangeFile{ExchangeFile::Kind::Job, display}) {
            return 0;
        }
        return std::nullopt;
    };
}

WakeUpGate::Writer WakeUpGate::controlAnswers() {
    return [](std::string_view name) -> std::optional<int> {
        const std::optional<ExchangeFile> file = ExchangeFolder::fileOf(name);
        if (file && (file->kind == ExchangeFile::Kind::NextAnswer ||
                     (file->kind == ExchangeFile::Kind::EndAnswer && file->display == 1))) {
            return file->display;
        }
        return std::nullopt;
    };
}

bool WakeUpGate::take(std::string_view name, const std::string& source) {
    const std::optional<int> writer = m_writer(name);
    if (!writer) {
        return false;
    }
    m_sources[*writer] = source;
    if (std::find(m_pending.begin(), m_pending.end(), name) == m_pending.end()) {
        m_pending.emplace_back(name);
    }
    return true;
}

std::optional<std::int64_t> WakeUpGate::waitUs(std::int64_t nowUs) const {
    if (m_pending.empty()) {
        return std::nullopt;
    }
    return m_lastPollUs ? std::max<std::int64_t>(*m_lastPollUs + gapUs - nowUs, 0) : 0;
}

std::vector<std::string> WakeUpGate::poll(std::int64_t nowUs) {
    if (waitUs(nowUs) != 0) {
        return {};
    }
    m_lastPollUs = nowUs;
    return std::exchange(m_pending, {});
}

std::optional<std::string> WakeUpGate::sourceOf(int writer) const {
    const auto found = m_sources.find(writer);
    if (found == m_sources.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace lm
