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
#include <array>
#include <csignal>

using namespace lm::e2e;
namespace fs = std::filesystem;

namespace {

const QColor paleYellow(255, 255, 192);

QString caption(int number) {
    return QStringLiteral("ミラトス  ") + QString::number(number);
}

bool writeTextJob(const lm::ExchangeFolder& exchange, int display, const std::string& head) {
    return exchange.writeJob(display, {head, "文字", "", "左へ", "", "白", "暗い緑", "速く", "ABC",
                                       ""}) == lm::WriteStatus::Ok;
}

bool answers(const lm::ExchangeFolder& exchange, int display, int ms) {
    const fs::path next = exchange.answerPath(lm::AnswerKind::Next, display);
    return waitUntil([&] { return fs::exists(next); }, ms, 20);
}

} // namespace

class WallE2eTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The launcher finds Velisto on the PATH, as a copy outside the installation does.
        qputenv("PATH", QFile::encodeName(QFileInfo(QStringLiteral(LM_VELISTO_PATH)).path()) + ':' +
                            qgetenv("PATH"));
    }

    void fullScreenUnderAWindowManager() {
        lm::test::TempDir work;
        VelistoOnScreen sign(work.path(), {1280, 720});
        Program icewm(QStringLiteral("icewm"), work.path(), sign.server());
        const QRect taskbar(0, 700, 1280, 20);
        QVERIFY2(
            waitUntil([&] { return !Screenshot::isUniform(sign.screenshot(), taskbar, Qt::black); },
                      15000, 100),
            qPrintable(icewm.output()));

        // Right of the panel and of the number every pixel is the sign's, the taskbar's too.
        const auto coversTheScreen = [&] {
            return waitUntil(
                [&] {
                    return Screenshot::isUniform(sign.screenshot(), {800, 0, 480, 720}, paleYellow);
                },
                5000, 100);
        };
        const QRect screen(QPoint(0, 0), sign.server().size());
        QVERIFY2(sign.launch(), qPrintable(sign.error()));
        QVERIFY(coversTheScreen());
        const XDo xdo(sign.server());
        QCOMPARE(xdo.windowGeometry(sign.window()), screen);
        QVERIFY2(sign.choose(3), qPrintable(sign.error()));
        QVERIFY(coversTheScreen());

        // A click leaves full screen for a framed window, and the taskbar shows again; a second
        // click leaves the frame.
        const auto framed = [&] {
            return waitUntil(
                [&] {
                    const quint64 window = xdo.waitForWindow(caption(3), 500);
                    return window != 0 && xdo.windowGeometry(window) != screen &&
                           !Screenshot::isUniform(sign.screenshot(), taskbar, paleYellow);
                },
                5000, 100);
        };
        for (int click = 1; click <= 2; ++click) {
            QVERIFY(xdo.click({900, 400}));
            QTest::qWait(500);
            QVERIFY2(framed(), qPrintable(QStringLiteral("click %1").arg(click)));
        }
    }

    void options_data() {
        QTest::addColumn<QStringList>("arguments");
        // Empty: Velisto runs as display 7 on the second monitor.
        QTest::addColumn<QString>("message");
        const QString monitors = QStringLiteral(
            "; the monitors from the left: 1 screen 800x600+0+0, 2 screen 640x480+0+0");
        QTest::newRow("number7") << QStringList{"--screen", "2", "--number", "7"} << QString();
        QTest::newRow("numberAbove")
            << QStringList{"--number", "32768"}
            << QStringLiteral("--number: 32768 is outside -32768 to 32767");
        QTest::newRow("numberBelow")
            << QStringList{"--number", "-32769"}
            << QStringLiteral("--number: -32769 is outside -32768 to 32767");
        QTest::newRow("noNumber") << QStringList{"--number", "seven"}
                                  << QStringLiteral("--number: \"seven\" is not a number");
        QTest::newRow("unknownName")
            << QStringList{"--screen", "HDMI-1"}
            << QStringLiteral("--screen: no monitor is \"HDMI-1\"") + monitors;
        QTest::newRow("sharedName")
            << QStringList{"--screen", "screen"}
            << QStringLiteral("--screen: \"screen\" names 2 monitors, choose one by its position") +
                   monitors;
        QTest::newRow("beyondTheLast")
            << QStringList{"--screen", "3"}
            << QStringLiteral("--screen: no monitor is \"3\"") + monitors;
    }

    void options() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        XServer server({{800, 600}, {640, 480}});
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        lm::test::TempDir work;
        const lm::ExchangeFolder exchange(work.path());
        exchange.make();
        Program velisto(QStringLiteral(LM_VELISTO_PATH), work.path(), server, arguments);
        if (!message.isEmpty()) {
            QVERIFY(velisto.waitForExit(10000));
            QCOMPARE(velisto.exitCode(), 2);
            QVERIFY2(velisto.output().contains(QStringLiteral("Velisto: ") + message + '\n'),
                     qPrintable(velisto.output()));
            return;
        }
        const XDo second(server, 1);
        const quint64 window = second.waitForWindow(caption(7));
        QVERIFY2(window != 0, qPrintable(velisto.output()));
        QCOMPARE(second.windowGeometry(window), QRect(0, 0, 640, 480));
        QVERIFY(writeTextJob(exchange, 7, " 0 "));
        QVERIFY(answers(exchange, 7, 5000));
    }

    void theWallComesBackWithItsNumbers() {
        XServer server({{640, 360}, {480, 270}, {400, 300}});
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        lm::test::TempDir work;
        const lm::ExchangeFolder exchange(work.path());
        exchange.make();
        qputenv("LMSIGN_WORKDIR", QFile::encodeName(QString::fromStdString(work.path())));
        const auto startWall = [&] {
            return std::make_unique<Program>(QStringLiteral(LM_LAUNCHER_PATH), work.path(), server,
                                             QStringList{QStringLiteral("--wall")});
        };

        // Set up once by hand: a panel on every monitor, numbered 3, 2, 1 from the left.
        auto wall = startWall();
        for (int screen = 0; screen < 3; ++screen) {
            const XDo xdo(server, screen);
            const quint64 window = xdo.waitForWindow(QStringLiteral("ミラトス"));
            QVERIFY2(window != 0, qPrintable(wall->output()));
            QVERIFY(VelistoOnScreen::chooseNumber(xdo, window, 3 - screen));
        }
        // "End all" ends every display on purpose, and with them the wall.
        for (int display = 1; display <= 3; ++display) {
            QVERIFY(exchange.writeJob(display, lm::endJob()) == lm::WriteStatus::Ok);
        }
        QVERIFY2(wall->waitForExit(10000), qPrintable(wall->output()));
        QCOMPARE(wall->exitCode(), 0);

        // Started again, every display comes back with its number, passes over the end job
        // still in its file and shows the next item.
        wall = startWall();
        std::array<quint64, 3> windows{};
        for (int screen = 0; screen < 3; ++screen) {
            windows[screen] = XDo(server, screen).waitForWindow(caption(3 - screen));
            QVERIFY2(windows[screen] != 0, qPrintable(wall->output()));
        }
        for (int display = 1; display <= 3; ++display) {
            QVERIFY(writeTextJob(exchange, display, " 0 "));
        }
        for (int display = 1; display <= 3; ++display) {
            QVERIFY2(answers(exchange, display, 5000), qPrintable(QString::number(display)));
        }

        // A display that crashes is back within 5 s with its number and answers.
        const XDo middle(server, 1);
        const qint64 crashed = middle.windowPid(windows[1]);
        QVERIFY(crashed > 0);
        QElapsedTimer sinceCrash;
        sinceCrash.start();
        ::kill(static_cast<pid_t>(crashed), SIGKILL);
        fs::remove(exchange.answerPath(lm::AnswerKind::Next, 2));
        QVERIFY(writeTextJob(exchange, 2, " 1 "));
        QVERIFY2(waitUntil(
                     [&] {
                         const quint64 window = middle.waitForWindow(caption(2), 100);
                         return window != 0 && middle.windowPid(window) != crashed;
                     },
                     5000, 50),
                 qPrintable(wall->output()));
        qInfo("back %lld ms after the crash", static_cast<long long>(sinceCrash.elapsed()));
        QVERIFY(answers(exchange, 2, 5000));
        qInfo("answering %lld ms after the crash", static_cast<long long>(sinceCrash.elapsed()));

        ::kill(static_cast<pid_t>(wall->pid()), SIGTERM);
        QVERIFY(wall->waitForExit(5000));
    }
};

QTEST_GUILESS_MAIN(WallE2eTest)
#include "WallE2eTest.moc"
