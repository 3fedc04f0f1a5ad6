#include "ControlPresence.h"

#include "ThisComputer.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace lm {

namespace {

constexpr int lookEveryMs = 100;

// What one look at LMControl.dat finds. Its writer rewrites it in place (truncate, then write:
// a rename would cost a share a round trip and an fsync every second), so a look may catch it
// cut. Then only a change between looks tells that the writer runs.
struct Look {
    bool gone = false;
    std::optional<struct statx> stamp;
    std::optional<std::string> bytes;
    std::optional<SignOfLife> life;
};

Look lookAt(const std::filesystem::path& path) {
    Look look;
    // Asked of the server, as the read below asks for the size: a share's cached time stamp
    // would hide a rewrite.
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), AT_STATX_FORCE_SYNC, STATX_MTIME | STATX_SIZE, &info) ==
        0) {
        look.stamp = info;
    } else {
        look.gone = errno == ENOENT;
    }
    look.bytes = lineFile::readBytes(path);
    if (look.bytes) {
        look.gone = false;
        look.life = SignOfLife::parse(*look.bytes);
    }
    return look;
}

// What a look could not find out (a failed read or stat) is no change.
bool changed(const Look& before, const Look& now) {
    if (before.gone) {
        return !now.gone;
    }
    const bool restamped = before.stamp && now.stamp &&
                           (before.stamp->stx_mtime.tv_sec != now.stamp->stx_mtime.tv_sec ||
                            before.stamp->stx_mtime.tv_nsec != now.stamp->stx_mtime.tv_nsec ||
                            before.stamp->stx_size != now.stamp->stx_size);
    return restamped || (before.bytes && now.bytes && *before.bytes != *now.bytes);
}

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
    SignOfLife self;
    self.host = thisComputer::hostName();
    self.bootId = thisComputer::bootId();
    // The lock on this computer already told that none runs here; a program that is still
    // there is another user's.
    const auto goneFromHere = [&self](const SignOfLife& life) {
        return life.isSameComputer(self) &&
               !(life.pid > 0 && life.pid != static_cast<long>(::getpid()) &&
                 (::kill(static_cast<pid_t>(life.pid), 0) == 0 || errno == EPERM));
    };
    Look before = lookAt(exchange.controlPath());
    if (before.gone) {
        return std::nullopt;
    }
    if (before.life && goneFromHere(*before.life)) {
        return std::nullopt;
    }
    std::optional<std::string> host;
    if (before.life) {
        host = before.life->host;
    }
    bool moved = false;
    for (int waited = 0; waited < staleMs; waited += lookEveryMs) {
        wait(lookEveryMs);
        const Look now = lookAt(exchange.controlPath());
        if (now.gone) {
            // Its program ended and took the file with it.
            moved = false;
            host.reset();
        } else {
            moved = moved || changed(before, now);
            if (now.life) {
                if (goneFromHere(*now.life)) {
                    return std::nullopt;
                }
                host = now.life->host;
                if (moved) {
                    return host;
                }
            }
        }
        before = now;
    }
    // A file rewritten all the while, but never caught whole: a program runs, name unknown.
    if (moved) {
        return host.value_or(std::string());
    }
    return std::nullopt;
}

} // namespace lm
