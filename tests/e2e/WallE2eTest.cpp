// Display computers as a real wall has them: the sign full screen under a window manager with
// a taskbar, a display per monitor chosen on the command line, and the launcher's wall mode,
// which brings every display of a computer back with its number when no one is there.

#include "ExchangeFolder.h"
#include "Screenshot.h"
#include "TempDir.h"
#include "VelistoOnScreen.h"
#include "Wait.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QtTest>
#include <csignal>

using namespace lm::e2e;

namespace {

QString caption(int number) {
    return QStringLiteral("ミラトス  ") + QString::number(number);
}

// A text job at "速く"; true once the display has answered it with its next answer.
bool answers(const lm::ExchangeFolder& exchange, int display, const std::string& head) {
    const auto next = exchange.answerPath(lm::AnswerKind::Next, display);
    std::filesystem::remove(next);
    return exchange.writeJob(display, {head, "文字", "", "左へ", "", "白", "暗い緑", "速く", "ABC",
                                       ""}) == lm::WriteStatus::Ok &&
           waitUntil([&] { return std::filesystem::exists(next); }, 6000, 20);
}

} // namespace

class WallE2eTest : public QObject {
    Q_OBJECT

private slots:
    void fullScreenUnderAWindowManager() {
        XServer server({1280, 720});
        lm::test::TempDir work;
        Program icewm(QStringLiteral("icewm"), work.path(), server);
        const auto waitFor = [&](const QRect& area, const QColor& colour, bool uniform) {
            return waitUntil(
                [&] {
                    return Screenshot::isUniform(Screenshot::take(server), area, colour) == uniform;
                },
                10000, 100);
        };
        const QRect taskbar(0, 700, 1280, 20);
        const QColor paleYellow(255, 255, 192);
        QVERIFY2(waitFor(taskbar, Qt::black, false), qPrintable(icewm.output()));
        // Every pixel right of the panel and of the number is the sign's, the taskbar's too.
        const QRect rightHalf(800, 0, 480, 720);
        Program velisto(QStringLiteral(LM_VELISTO_PATH), work.path(), server);
        QVERIFY(waitFor(rightHalf, paleYellow, true));
        const XDo xdo(server);
        QVERIFY(VelistoOnScreen::chooseNumber(xdo, xdo.waitForWindow(velisto.pid()), 3));
        QVERIFY(waitFor(rightHalf, paleYellow, true));
        // Each click gives a framed window; the taskbar shows again.
        for (int click = 1; click <= 2; ++click) {
            QVERIFY(xdo.click({900, 400}));
            QVERIFY(waitFor(taskbar, paleYellow, false));
            QVERIFY(xdo.windowGeometry(xdo.waitForWindow(caption(3))) != QRect(0, 0, 1280, 720));
        }
    }

    void options_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message"); // none: it runs as display 7 on monitor 2
        const QString all = QStringLiteral("; the monitors from the left: 1 screen 800x600+0+0, "
                                           "2 screen 640x480+0+0");
        QTest::newRow("7") << QStringList{"--screen", "2", "--number", "7"} << QString();
        QTest::newRow("32768") << QStringList{"--number", "32768"}
                               << QStringLiteral("--number: 32768 is outside -32768 to 32767");
        QTest::newRow("seven") << QStringList{"--number", "seven"}
                               << QStringLiteral("--number: \"seven\" is not a number");
        QTest::newRow("HDMI-1") << QStringList{"--screen", "HDMI-1"}
                                << "--screen: no monitor is \"HDMI-1\"" + all;
        QTest::newRow("screen") << QStringList{"--screen", "screen"}
                                << "--screen: \"screen\" names 2 monitors, choose one by its "
                                   "position" +
                                       all;
    }

    void options() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        XServer server({{800, 600}, {640, 480}});
        lm::test::TempDir work;
        const lm::ExchangeFolder exchange(work.path());
        exchange.make();
        Program velisto(QStringLiteral(LM_VELISTO_PATH), work.path(), server, arguments);
        if (!message.isEmpty()) {
            QVERIFY(velisto.waitForExit(10000));
            QCOMPARE(velisto.exitCode(), 2);
            QVERIFY2(velisto.output().contains("Velisto: " + message + '\n'),
                     qPrintable(velisto.output()));
            return;
        }
        const XDo second(server, 1);
        QCOMPARE(second.windowGeometry(second.waitForWindow(caption(7))), QRect(0, 0, 640, 480));
        QVERIFY(answers(exchange, 7, " 0 "));
    }

    void theWallComesBackWithItsNumbers() {
        XServer server({{640, 360}, {480, 270}, {400, 300}});
        lm::test::TempDir work;
        const lm::ExchangeFolder exchange(work.path());
        exchange.make();
        // The launcher finds Velisto on the PATH, as a copy outside the installation does.
        qputenv("PATH", QFile::encodeName(QFileInfo(QStringLiteral(LM_VELISTO_PATH)).path()) + ':' +
                            qgetenv("PATH"));
        qputenv("LMSIGN_WORKDIR", work.path().c_str());
        const auto startWall = [&] {
            return std::make_unique<Program>(QStringLiteral(LM_LAUNCHER_PATH), work.path(), server,
                                             QStringList{QStringLiteral("--wall")});
        };
        // Set up by hand once: a panel on every monitor, numbered 3, 2, 1 from the left.
        auto wall = startWall();
        for (int screen = 0; screen < 3; ++screen) {
            const XDo xdo(server, screen);
            QVERIFY2(VelistoOnScreen::chooseNumber(
                         xdo, xdo.waitForWindow(QStringLiteral("ミラトス")), 3 - screen),
                     qPrintable(wall->output()));
        }
        // "End all" ends every display on purpose, and so the wall.
        for (int display = 1; display <= 3; ++display) {
            QVERIFY(exchange.writeJob(display, lm::endJob()) == lm::WriteStatus::Ok);
        }
        QVERIFY2(wall->waitForExit(10000), qPrintable(wall->output()));
        QCOMPARE(wall->exitCode(), 0);

        // Started again, every display is back with its number, passes over the end job still
        // in its file and shows the next item.
        wall = startWall();
        for (int screen = 0; screen < 3; ++screen) {
            QVERIFY2(XDo(server, screen).waitForWindow(caption(3 - screen)) != 0,
                     qPrintable(wall->output()));
        }
        for (int display = 1; display <= 3; ++display) {
            QVERIFY2(answers(exchange, display, " 0 "), qPrintable(QString::number(display)));
        }

        // A display that crashes is back within 5 s with its number, and answers.
        const XDo middle(server, 1);
        const qint64 crashed = middle.windowPid(middle.waitForWindow(caption(2)));
        QElapsedTimer sinceCrash;
        sinceCrash.start();
        QVERIFY(crashed > 0 && ::kill(static_cast<pid_t>(crashed), SIGKILL) == 0);
        QVERIFY2(waitUntil(
                     [&] {
                         const qint64 pid = middle.windowPid(middle.waitForWindow(caption(2), 100));
                         return pid > 0 && pid != crashed;
                     },
                     5000, 50),
                 qPrintable(wall->output()));
        qInfo("back %lld ms after the crash", static_cast<long long>(sinceCrash.elapsed()));
        QVERIFY(answers(exchange, 2, " 1 "));

        ::kill(static_cast<pid_t>(wall->pid()), SIGTERM);
        QVERIFY(wall->waitForExit(5000));
    }
};

QTEST_GUILESS_MAIN(WallE2eTest)
#include "WallE2eTest.moc"
