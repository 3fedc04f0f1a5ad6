#include "ShutdownSignals.h"

#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lm {

namespace {

std::array<int, 2> pipeEnds{-1, -1};
constexpr std::array<int, 3> watchedSignals{SIGTERM, SIGINT, SIGHUP};

extern "C" void onSignal(int signal) {
    const auto byte = static_cast<char>(signal);
    // Nothing to do when the socket is full: one byte already waits to be read.
    [[maybe_unused]] const ssize_t ignored = ::write(pipeEnds[0], &byte, 1);
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds.data()) !=
        0) {
        pipeEnds = {-1, -1};
        return;
    }
    m_notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::drain);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : watchedSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

ShutdownSignals::~ShutdownSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : watchedSignals) {
        ::sigaction(signal, &action, nullptr);
    }
    for (int& end : pipeEnds) {
        if (end >= 0) {
            ::close(end);
            end = -1;
        }
    }
}

void ShutdownSignals::drain() {
    std::array<char, 64> buffer{};
    int signal = 0;
    for (ssize_t n = 0; (n = ::read(pipeEnds[1], buffer.data(), buffer.size())) > 0;) {
        signal = static_cast<unsigned char>(buffer[static_cast<std::size_t>(n - 1)]);
    }
    emit received(signal);
}

} // namespace lm
