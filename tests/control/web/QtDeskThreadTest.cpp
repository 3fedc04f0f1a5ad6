#include "QtDeskThread.h"

#include "ApiError.h"
#include "UiCalls.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <future>

namespace lm {

// A web command reaches the desk through the Qt event loop of the thread its object lives in.
class QtDeskThreadTest : public QObject {
    Q_OBJECT

private slots:
    void runsOnTheEventLoopsThread() {
        QObject desk;
        UiCalls calls(QtDeskThread::poster(&desk), std::chrono::seconds(5));
        auto fromServer = std::async(
            std::launch::async, [&] { return calls.run([] { return QThread::currentThread(); }); });
        while (fromServer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
            QCoreApplication::processEvents();
        }
        QCOMPARE(fromServer.get(), QThread::currentThread());
    }

    void stoppedLoopMeansA503AndTheCommandNeverRuns() {
        QObject desk;
        UiCalls calls(QtDeskThread::poster(&desk), std::chrono::milliseconds(200));
        std::atomic<bool> ran = false;
        QElapsedTimer clock;
        clock.start();
        // Nothing processes this thread's events while the server thread waits.
        auto fromServer = std::async(std::launch::async, [&] {
            try {
                calls.run([&] { ran = true; });
            } catch (const ApiError& error) {
                return error.kind() == ApiErrorKind::Unavailable;
            }
            return false;
        });
        QVERIFY(fromServer.get());
        QVERIFY(clock.elapsed() < 2000);
        // The loop comes back: the dropped command stays undone.
        QCoreApplication::processEvents();
        QVERIFY(!ran);
    }
};

} // namespace lm

QTEST_GUILESS_MAIN(lm::QtDeskThreadTest)
#include "QtDeskThreadTest.moc"
