#include "ControlPresence.h"

#include "ThisComputer.h"

#include <cerrno>
#include <csignal>
#include <system_error>
#include <unistd.h>

namespace lm {

namespace {
constexpr int lookEveryMs = 100;
} // namespace

ControlPresence::ControlPresence(const ExchangeFolder& exchange) : m_exchange(exchange) {
    m_life.host = thisComputer::hostName();
    m_life.bootId = thisComputer::bootId();
    m_life.pid = static_cast<long>(::getpid());
    m_timer.setHandler([this] { refresh(); });
}

void ControlPresence::setWakeUp(int port, std::vector<std::string> addresses) {
    m_life.port = port;
    m_life.addresses = std::move(addresses);
}

void ControlPresence::start() {
    refresh();
    m_timer.setInterval(refreshMs);
    m_timer.setEnabled(true);
}

void ControlPresence::refresh() {
    ++m_life.beat;
    (void)m_exchange.writeControlLife(m_life);
}

void ControlPresence::stop() {
    m_timer.setEnabled(false);
    const std::optional<SignOfLife> there = m_exchange.controlLife();
    if (there && there->isSameComputer(m_life) && there->pid == m_life.pid) {
        std::error_code ignored;
        std::filesystem::remove(m_exchange.controlPath(), ignored);
    }
}

std::optional<std::string> ControlPresence::otherController(const ExchangeFolder& exchange,
                                                            const std::function<void(int)>& wait) {
    const std::optional<SignOfLife> first = exchange.controlLife();
    if (!first) {
        return std::nullopt;
    }
    SignOfLife self;
    self.host = thisComputer::hostName();
    self.bootId = thisComputer::bootId();
    if (first->isSameComputer(self)) {
        // The lock on this computer already told that none runs here; a program that is
        // still there is another user's.
        const bool running = first->pid > 0 && first->pid != static_cast<long>(::getpid()) &&
                             (::kill(static_cast<pid_t>(first->pid), 0) == 0 || errno == EPERM);
        if (!running) {
            return std::nullopt;
        }
    }
    for (int waited = 0; waited < staleMs; waited += lookEveryMs) {
        wait(lookEveryMs);
        const std::optional<SignOfLife> now = exchange.controlLife();
        if (now && now->beat != first->beat) {
            return now->host;
        }
    }
    return std::nullopt;
}

} // namespace lm
