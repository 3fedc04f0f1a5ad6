#include "WakeUpSocket.h"

#include "WakeUp.h"
#include "WakeUpPorts.h"
#include "WallClock.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <algorithm>

namespace lm {

namespace {

// A presence file could list any number of addresses; a real computer has a few.
constexpr std::size_t maxTargets = 16;

bool isPublishable(const QHostAddress& address) {
    return !address.isNull() && !address.isLoopback() && !address.isLinkLocal() &&
           !address.isMulticast() && !address.isBroadcast() &&
           address != QHostAddress(QHostAddress::AnyIPv4) &&
           address != QHostAddress(QHostAddress::AnyIPv6);
}

} // namespace

WakeUpSocket::WakeUpSocket(int port, WakeUpGate::Writer writer, QObject* parent)
    : QObject(parent), m_port(port), m_gate(std::move(writer)) {
    m_owedPoll.setSingleShot(true);
    m_owedPoll.setTimerType(Qt::PreciseTimer);
    connect(&m_owedPoll, &QTimer::timeout, this, &WakeUpSocket::pollWhenDue);
    refresh();
}

WakeUpSocket::~WakeUpSocket() = default;

int WakeUpSocket::chosenBase(const std::optional<std::string>& option) {
    if (qEnvironmentVariable("LMSIGN_WAKEUPS") == QLatin1String("off")) {
        return 0;
    }
    const std::string environment =
        qEnvironmentVariable(WakeUpPorts::environmentVariable).toStdString();
    return WakeUpPorts::choose(option, environment.empty()
                                           ? std::nullopt
                                           : std::optional<std::string_view>(environment))
        .base;
}

QList<QNetworkAddressEntry> WakeUpSocket::publishableAddresses() {
    QList<QNetworkAddressEntry> entries;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        if (!interface.flags().testFlag(QNetworkInterface::IsUp) ||
            interface.flags().testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (isPublishable(entry.ip())) {
                entries << entry;
            }
        }
    }
    return entries;
}

bool WakeUpSocket::refresh() {
    if (m_port < 1 || m_port > 65535) {
        return false;
    }
    const QList<QNetworkAddressEntry> wanted = publishableAddresses();
    bool changed = false;
    for (auto bound = m_bound.begin(); bound != m_bound.end();) {
        if (std::any_of(wanted.begin(), wanted.end(), [&](const QNetworkAddressEntry& entry) {
                return entry.ip() == bound->entry.ip();
            })) {
            ++bound;
            continue;
        }
        // Later: this may run in a handler of filesChanged, inside the socket's readyRead.
        bound->socket->close();
        bound->socket->deleteLater();
        bound = m_bound.erase(bound);
        changed = true;
    }
    for (const QNetworkAddressEntry& entry : wanted) {
        if (std::any_of(m_bound.begin(), m_bound.end(),
                        [&](const Bound& bound) { return bound.entry.ip() == entry.ip(); })) {
            continue;
        }
        auto* socket = new QUdpSocket(this);
        // Not shared: a second program binding the same port and address fails instead of
        // taking part of the wake-ups.
        if (!socket->bind(entry.ip(), static_cast<quint16>(m_port),
                          QAbstractSocket::DontShareAddress)) {
            delete socket;
            continue;
        }
        connect(socket, &QUdpSocket::readyRead, this, [this, socket] { readDatagrams(*socket); });
        m_bound.push_back({entry, socket});
        changed = true;
    }
    return changed;
}

int WakeUpSocket::port() const {
    return m_bound.empty() ? 0 : m_port;
}

std::vector<std::string> WakeUpSocket::addresses() const {
    std::vector<std::string> addresses;
    for (const Bound& bound : m_bound) {
        addresses.push_back(bound.entry.ip().toString().toStdString());
    }
    return addresses;
}

void WakeUpSocket::send(int peer, const std::vector<std::string>& addresses, int port,
                        std::string_view fileName) {
    const std::string bytes = WakeUp::encode(fileName);
    if (bytes.empty() || port < 1 || port > 65535) {
        return;
    }
    QList<QHostAddress> targets;
    for (std::size_t i = 0; i < addresses.size() && i < maxTargets; ++i) {
        const QHostAddress target(QString::fromStdString(addresses[i]));
        if (isPublishable(target)) {
            targets << target;
        }
    }
    if (const std::optional<std::string> source = m_gate.sourceOf(peer)) {
        const QHostAddress preferred(QString::fromStdString(*source));
        if (targets.contains(preferred)) {
            targets = {preferred};
        }
    }
    const QByteArray datagram(bytes.data(), static_cast<qsizetype>(bytes.size()));
    for (const QHostAddress& target : targets) {
        if (QUdpSocket* socket = socketFor(target)) {
            socket->writeDatagram(datagram, target, static_cast<quint16>(port));
        }
    }
}

QUdpSocket* WakeUpSocket::socketFor(const QHostAddress& target) const {
    // Sent from a bound address, a wake-up shows the receiver where to send back; one on the
    // target's subnet is the one the receiver can surely reach.
    QUdpSocket* sameFamily = nullptr;
    for (const Bound& bound : m_bound) {
        if (bound.entry.ip().protocol() != target.protocol()) {
            continue;
        }
        if (target.isInSubnet(bound.entry.ip(), bound.entry.prefixLength())) {
            return bound.socket;
        }
        if (sameFamily == nullptr) {
            sameFamily = bound.socket;
        }
    }
    return sameFamily;
}

void WakeUpSocket::readDatagrams(QUdpSocket& socket) {
    while (socket.hasPendingDatagrams()) {
        // One byte more than a wake-up may have, so a longer datagram is seen as such.
        const QNetworkDatagram datagram =
            socket.receiveDatagram(static_cast<qint64>(WakeUp::maxDatagramBytes) + 1);
        if (!datagram.isValid()) {
            break;
        }
        const QByteArray data = datagram.data();
        if (const std::optional<std::string> name = WakeUp::parse(
                std::string_view(data.constData(), static_cast<std::size_t>(data.size())))) {
            m_gate.take(*name, datagram.senderAddress().toString().toStdString());
        }
    }
    pollWhenDue();
}

void WakeUpSocket::pollWhenDue() {
    const std::int64_t nowUs = SystemClock::instance().steadyUs();
    const std::vector<std::string> names = m_gate.poll(nowUs);
    if (!names.empty()) {
        QStringList list;
        for (const std::string& name : names) {
            list << QString::fromStdString(name);
        }
        emit filesChanged(list);
        return;
    }
    const std::optional<std::int64_t> waitUs = m_gate.waitUs(nowUs);
    if (waitUs && !m_owedPoll.isActive()) {
        m_owedPoll.start(static_cast<int>((*waitUs + 999) / 1000));
    }
}

} // namespace lm
