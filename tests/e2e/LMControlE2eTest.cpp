#include "Program.h"
#include "Screenshot.h"
#include "TempDir.h"
#include "Wait.h"
#include "XDo.h"
#include "XServer.h"

#include <QtTest>
#include <csignal>
#include <filesystem>
#include <memory>

using namespace lm::e2e;
namespace fs = std::filesystem;

namespace {

const QColor darkBlue(0, 0, 128);

// Where a control of the control window stands on the screen: its place in twips (15 to a
// pixel) inside the client area, which begins below the menu bar.
QPoint controlCentre(const QRect& window, int menuBarHeight, int left, int top, int width,
                     int height) {
    return window.topLeft() +
           QPoint((left + width / 2) / 15, menuBarHeight + (top + height / 2) / 15);
}

// The display program's start-up panel: its number list and its "OK".
QPoint panelCentre(int left, int top, int width, int height) {
    return {(left + width / 2) / 15, (top + height / 2) / 15};
}
const QPoint numberList = panelCentre(840 + 600, 840 + 1080, 1095, 360);
const QPoint numberOk = panelCentre(840 + 2760, 840 + 960, 1575, 615);

bool exchangeFilesLeft(const fs::path& data) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(data, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("LMData") || name.starts_with("LMPNext") ||
            name.starts_with("LMPEnd")) {
            return true;
        }
    }
    return false;
}

} // namespace

// LMControl and two Velisto, each on a screen of its own, meeting in one working folder.
class LMControlE2eTest : public QObject {
    Q_OBJECT

private:
    // A display program on its own screen, with its number chosen in its start-up panel.
    struct Display {
        std::unique_ptr<XServer> screen;
        std::unique_ptr<Program> program;
    };

    static bool startDisplay(Display& display, int number, const fs::path& work) {
        display.screen = std::make_unique<XServer>();
        if (!display.screen->isRunning()) {
            qWarning("%s", qPrintable(display.screen->error()));
            return false;
        }
        display.program =
            std::make_unique<Program>(QStringLiteral(LM_VELISTO_PATH), work, *display.screen);
        const XDo xdo(*display.screen);
        const quint64 window = xdo.waitForWindow(display.program->pid());
        if (window == 0) {
            qWarning("%s", qPrintable(display.program->output()));
            return false;
        }
        // The caption shows the number with a blank in the sign position.
        const QString title = QStringLiteral("ミラトス  ") + QString::number(number);
        return xdo.click(numberList) && xdo.key(QStringLiteral("ctrl+a")) &&
               xdo.type(QStringLiteral(" ") + QString::number(number)) && xdo.click(numberOk) &&
               waitUntil([&] { return xdo.windowName(window) == title; }, 5000, 50);
    }

    static bool screenIsDarkBlue(const XServer& screen) {
        return Screenshot::isUniform(Screenshot::take(screen), {0, 0, 1024, 768}, darkBlue);
    }

private slots:
    void stopEndAndCloseReachEveryDisplay() {
        lm::test::TempDir work;
        const fs::path data = work.path() / "data";

        XServer controlScreen;
        QVERIFY2(controlScreen.isRunning(), qPrintable(controlScreen.error()));
        Program control(QStringLiteral(LM_LMCONTROL_PATH), work.path(), controlScreen);
        const XDo xdo(controlScreen);
        const quint64 window = xdo.waitForWindow(control.pid());
        QVERIFY2(window != 0, qPrintable(control.output()));
        QCOMPARE(xdo.windowName(window), QStringLiteral("制御機　ミラトス"));
        QVERIFY(waitUntil([&] { return fs::is_directory(data); }, 5000));

        Display one;
        Display two;
        QVERIFY(startDisplay(one, 1, work.path()));
        QVERIFY(startDisplay(two, 2, work.path()));

        // The window is 10815 twips wide and 8100 high below its menu bar.
        const QRect frame = xdo.windowGeometry(window);
        const int menuBarHeight = frame.height() - 8100 / 15;
        QVERIFY2(menuBarHeight > 0 && menuBarHeight < 60,
                 qPrintable(QString::number(menuBarHeight)));

        // "表示を止める": both signs turn dark blue.
        QVERIFY(xdo.click(controlCentre(frame, menuBarHeight, 9600, 6960, 975, 855)));
        QVERIFY(waitUntil([&] { return screenIsDarkBlue(*one.screen); }, 5000, 100));
        QVERIFY(waitUntil([&] { return screenIsDarkBlue(*two.screen); }, 5000, 100));
        QVERIFY(one.program->isRunning());
        QVERIFY(two.program->isRunning());

        // "終了" > "表示プログラムをすべて終了させる", then Yes (the default button): both end.
        QVERIFY(xdo.click(frame.topLeft() + QPoint(90, menuBarHeight / 2)));
        QTest::qWait(300);
        QVERIFY(xdo.key(QStringLiteral("Down")));
        QVERIFY(xdo.key(QStringLiteral("Return")));
        QTest::qWait(300);
        QVERIFY(xdo.key(QStringLiteral("Return")));
        QVERIFY2(one.program->waitForExit(5000), qPrintable(one.program->output()));
        QVERIFY2(two.program->waitForExit(5000), qPrintable(two.program->output()));
        QCOMPARE(one.program->exitCode(), 0);
        QCOMPARE(two.program->exitCode(), 0);
        QVERIFY(control.isRunning());
        QVERIFY(exchangeFilesLeft(data));

        // "このプログラムを終了する", then Yes: the job and answer files go with the program.
        fs::copy_file(data / "LMData1.ini", data / "picture.jpg");
        QVERIFY(xdo.click(frame.topLeft() + QPoint(90, menuBarHeight / 2)));
        QTest::qWait(300);
        QVERIFY(xdo.key(QStringLiteral("Up")));
        QVERIFY(xdo.key(QStringLiteral("Return")));
        QTest::qWait(300);
        QVERIFY(xdo.key(QStringLiteral("Return")));
        QVERIFY2(control.waitForExit(5000), qPrintable(control.output()));
        QCOMPARE(control.exitCode(), 0);
        QVERIFY(!exchangeFilesLeft(data));
        QVERIFY(fs::exists(data / "picture.jpg"));
    }

    void theSystemEndingTheProgramCleansUpToo_data() {
        QTest::addColumn<int>("signal"); // 0: the X server goes away, as at logout
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("X server gone") << 0;
    }

    void theSystemEndingTheProgramCleansUpToo() {
        QFETCH(int, signal);
        lm::test::TempDir work;
        const fs::path data = work.path() / "data";
        auto screen = std::make_unique<XServer>();
        QVERIFY2(screen->isRunning(), qPrintable(screen->error()));
        Program control(QStringLiteral(LM_LMCONTROL_PATH), work.path(), *screen);
        {
            const XDo xdo(*screen);
            const quint64 window = xdo.waitForWindow(control.pid());
            QVERIFY2(window != 0, qPrintable(control.output()));
            const QRect frame = xdo.windowGeometry(window);
            const int menuBarHeight = frame.height() - 8100 / 15;
            QVERIFY(xdo.click(controlCentre(frame, menuBarHeight, 9600, 6960, 975, 855)));
        }
        QVERIFY(waitUntil([&] { return fs::exists(data / "LMData16.ini"); }, 5000));

        if (signal != 0) {
            QVERIFY(::kill(static_cast<pid_t>(control.pid()), signal) == 0);
        } else {
            screen.reset();
        }
        QVERIFY2(control.waitForExit(5000), qPrintable(control.output()));
        QVERIFY(!exchangeFilesLeft(data));
    }
};

QTEST_GUILESS_MAIN(LMControlE2eTest)
#include "LMControlE2eTest.moc"
