#pragma once

#include <QObject>

class QSocketNotifier;

namespace lm {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event thread, so the program
// cleans up the Exchange folder when the system ends it. A signal handler may do almost
// nothing, so it only writes one byte into a socket pair that the event loop watches.
class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

signals:
    // The last of the signals that came since the event loop looked.
    void received(int signal);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace lm
