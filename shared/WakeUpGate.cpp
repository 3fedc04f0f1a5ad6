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

std::int64_t WakeUpGate::waitFor(const std::string& name, std::int64_t nowUs) const {
    const auto last = m_lastPollUs.find(name);
    return last == m_lastPollUs.end() ? 0 : std::max<std::int64_t>(last->second + gapUs - nowUs, 0);
}

std::optional<std::int64_t> WakeUpGate::waitUs(std::int64_t nowUs) const {
    std::optional<std::int64_t> first;
    for (const std::string& name : m_pending) {
        const std::int64_t wait = waitFor(name, nowUs);
        first = first ? std::min(*first, wait) : wait;
    }
    return first;
}

std::vector<std::string> WakeUpGate::poll(std::int64_t nowUs) {
    std::vector<std::string> due;
    std::vector<std::string> owed;
    for (std::string& name : m_pending) {
        if (waitFor(name, nowUs) == 0) {
            m_lastPollUs[name] = nowUs;
            due.push_back(std::move(name));
        } else {
            owed.push_back(std::move(name));
        }
    }
    m_pending = std::move(owed);
    return due;
}

std::optional<std::string> WakeUpGate::sourceOf(int writer) const {
    const auto found = m_sources.find(writer);
    if (found == m_sources.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace lm
