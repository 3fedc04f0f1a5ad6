#include "WakeUpSocket.h"

#include <QElapsedTimer>
#include <QUdpSocket>
#include <QtTest>

namespace lm::test {

// Two programs on this computer's own network address, as two computers of a wall would be.
class WakeUpSocketTest : public QObject {
    Q_OBJECT

    // A port nothing uses now on the first publishable address.
    static int freePort() {
        QUdpSocket probe;
        probe.bind(WakeUpSocket::publishableAddresses().front().ip(), 0);
        return probe.localPort();
    }

private slots:
    void init() {
        if (WakeUpSocket::publishableAddresses().isEmpty()) {
            QSKIP("no address beside loopback and link-local ones");
        }
    }

    void aWakeUpReachesItsPeerAndNothingElse() {
        const int controlPort = freePort();
        const int displayPort = freePort();
        WakeUpSocket control(controlPort, WakeUpGate::controlAnswers());
        WakeUpSocket display(displayPort, WakeUpGate::displayJob(2));
        WakeUpSocket other(freePort(), WakeUpGate::displayJob(2));
        QCOMPARE(display.port(), displayPort);
        QVERIFY(!display.addresses().empty());
        // Another program cannot take part of the display's wake-ups.
        WakeUpSocket beside(displayPort, WakeUpGate::displayJob(2));
        QCOMPARE(beside.port(), 0);

        QList<QStringList> displayPolls;
        int otherPolls = 0;
        connect(&display, &WakeUpSocket::filesChanged, this,
                [&](const QStringList& names) { displayPolls << names; });
        for (WakeUpSocket* socket : {&other, &beside}) {
            connect(socket, &WakeUpSocket::filesChanged, this, [&] { ++otherPolls; });
        }
        // The display's answer goes to each of the control program's addresses, and tells it
        // where to send back: there only, so the display polls once.
        display.send(0, control.addresses(), controlPort, "LMPNext2.ans");
        QTRY_VERIFY(control.gate().heardFrom(2));
        control.send(2, display.addresses(), displayPort, "LMData2.ini");
        QTRY_COMPARE(displayPolls, QList<QStringList>{QStringList{"LMData2.ini"}});
        QTest::qWait(50);
        QCOMPARE(displayPolls.size(), 1);
        QCOMPARE(otherPolls, 0);
        // Sent from the control program's address on the display's subnet: here the same.
        QCOMPARE(display.gate().sourceOf(0), control.gate().sourceOf(2));
    }

    // The gate's timing is WakeUpGate's test, on a virtual clock. Through real sockets, on a
    // machine of any load: the polls of a flood come at least the gap apart, and a wake-up that
    // came inside a gap still polls, after the last one was sent.
    void aFloodPollsAGapApartAndItsLastWakeUpStillPolls() {
        const int displayPort = freePort();
        WakeUpSocket control(freePort(), WakeUpGate::controlAnswers());
        WakeUpSocket display(displayPort, WakeUpGate::displayJob(2));
        QElapsedTimer clock;
        QList<qint64> pollsUs;
        connect(&display, &WakeUpSocket::filesChanged, this,
                [&] { pollsUs << clock.nsecsElapsed() / 1000; });
        const std::vector<std::string> to{display.addresses().front()};
        clock.start();
        qint64 lastSentUs = 0;
        for (int i = 0; i < 50; ++i) {
            while (clock.nsecsElapsed() / 1000 < i * 200) {
                QCoreApplication::processEvents();
            }
            lastSentUs = clock.nsecsElapsed() / 1000;
            control.send(2, to, displayPort, "LMData2.ini");
        }
        QTRY_VERIFY(!pollsUs.isEmpty() && pollsUs.back() >= lastSentUs);
        QTest::qWait(2 * WakeUpGate::gapUs / 1000);
        // Each poll is stamped as its signal arrives, a little after the gate let it through.
        for (qsizetype i = 1; i < pollsUs.size(); ++i) {
            QVERIFY2(pollsUs[i] - pollsUs[i - 1] >= WakeUpGate::gapUs - 1000,
                     qPrintable(QStringLiteral("polls %1 and %2 µs apart")
                                    .arg(i)
                                    .arg(pollsUs[i] - pollsUs[i - 1])));
        }
        QVERIFY(pollsUs.size() < 50);
    }
};

} // namespace lm::test

QTEST_GUILESS_MAIN(lm::test::WakeUpSocketTest)
#include "WakeUpSocketTest.moc"
