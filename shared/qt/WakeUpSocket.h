#pragma once

#include "WakeUpGate.h"

#include <QList>
#include <QNetworkAddressEntry>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QHostAddress;
class QUdpSocket;

namespace lm {

// The wake-ups over the local network, beside the Exchange folder: after writing a file a
// program tells the one that reads it to poll now, and it polls now when told. Across a share
// nothing else reports a change, so each hand-off would wait for the polls. Everything is
// best-effort: a wake-up that is blocked, lost or never sent costs only the polls' delay, and
// the polls go on all the same.
//
// It binds the program's port on each address it publishes in its presence file, never on
// every address at once, and exclusively, so no other program can bind it beside. It never
// answers a datagram.
class WakeUpSocket : public QObject {
    Q_OBJECT
public:
    // Binds `port` on every publishable address; a program with none bound runs on its polls.
    // `writer` tells which file names are this program's (WakeUpGate).
    WakeUpSocket(int port, WakeUpGate::Writer writer, QObject* parent = nullptr);
    ~WakeUpSocket() override;
    WakeUpSocket(const WakeUpSocket&) = delete;
    WakeUpSocket& operator=(const WakeUpSocket&) = delete;

    // The base port a program takes its wake-ups on: the option's (--port-base) when given, else
    // LMSIGN_PORT_BASE's, else the default; 0 with LMSIGN_WAKEUPS=off, which runs a program on
    // its polls and change reports alone.
    static int chosenBase(const std::optional<std::string>& option);

    // The addresses of every interface that is up, neither loopback nor link-local (a link-
    // local address means nothing without its interface on the other computer), IPv4 and
    // IPv6, with their subnets.
    static QList<QNetworkAddressEntry> publishableAddresses();

    // Binds the addresses that came since (a network that came up after the program), and
    // lets go of those gone. True when the bound set changed: publish it anew.
    bool refresh();

    // What the presence file says: the port while an address is bound, else 0, and the bound
    // addresses.
    int port() const;
    std::vector<std::string> addresses() const;

    // Tells peer `peer` (a display number, 0 for the control program) that `fileName` was
    // written: once to the address its own wake-ups came from when it still publishes that
    // one, else to each address it publishes. Never blocks; failures are ignored.
    void send(int peer, const std::vector<std::string>& addresses, int port,
              std::string_view fileName);

    const WakeUpGate& gate() const { return m_gate; }

signals:
    // Poll now for these files (each once): at most once per WakeUpGate::gapUs, and a wake-up
    // inside the gap comes when it has passed.
    void filesChanged(const QStringList& names);

private:
    struct Bound {
        QNetworkAddressEntry entry;
        QUdpSocket* socket = nullptr;
    };

    void readDatagrams(QUdpSocket& socket);
    void pollWhenDue();
    QUdpSocket* socketFor(const QHostAddress& target) const;

    int m_port = 0;
    WakeUpGate m_gate;
    std::vector<Bound> m_bound;
    QTimer m_owedPoll;
};

} // namespace lm
