#include "ControlWindow.h"
#include "Program.h"
#include "Screenshot.h"
#include "TempDir.h"
#include "VelistoOnScreen.h"
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

bool screenIsDarkBlue(const XServer& screen) {
    return Screenshot::isUniform(Screenshot::take(screen), {0, 0, 1024, 768}, darkBlue);
}

} // namespace

// LMControl and two Velisto, each on a screen of its own, meeting in one working folder.
class LMControlE2eTest : public QObject {
    Q_OBJECT

private slots:
    void stopEndAndCloseReachEveryDisplay() {
        lm::test::TempDir work;
        const fs::path data = work.path() / "data";

        XServer controlScreen;
        QVERIFY2(controlScreen.isRunning(), qPrintable(controlScreen.error()));
        Program control(QStringLiteral(LM_LMCONTROL_PATH), work.path(), controlScreen);
        const ControlWindow window(controlScreen, control);
        QVERIFY2(window.isShown(), qPrintable(control.output()));
        QCOMPARE(window.caption(), QStringLiteral("制御機　ミラトス"));
        QVERIFY(waitUntil([&] { return fs::is_directory(data); }, 5000));

        VelistoOnScreen one(work.path());
        QVERIFY2(one.start(1), qPrintable(one.error()));
        VelistoOnScreen two(work.path());
        QVERIFY2(two.start(2), qPrintable(two.error()));

        // The window is 10815 twips wide and 8100 high below its menu bar.
        QVERIFY2(window.menuBarHeight() > 0 && window.menuBarHeight() < 60,
                 qPrintable(QString::number(window.menuBarHeight())));

        // "表示を止める": both signs turn dark blue.
        QVERIFY(window.click("cmdStop"));
        QVERIFY(waitUntil([&] { return screenIsDarkBlue(one.server()); }, 5000, 100));
        QVERIFY(waitUntil([&] { return screenIsDarkBlue(two.server()); }, 5000, 100));
        QVERIFY(one.program().isRunning());
        QVERIFY(two.program().isRunning());

        // "終了" > "表示プログラムをすべて終了させる", then Yes (the default button): both end.
        QVERIFY(window.chooseMenuItem(ControlWindow::Menu::End, 0));
        QVERIFY(window.answerMessageBox());
        QVERIFY2(one.program().waitForExit(5000), qPrintable(one.program().output()));
        QVERIFY2(two.program().waitForExit(5000), qPrintable(two.program().output()));
        QCOMPARE(one.program().exitCode(), 0);
        QCOMPARE(two.program().exitCode(), 0);
        QVERIFY(control.isRunning());
        QVERIFY(exchangeFilesLeft(data));

        // "このプログラムを終了する", then Yes: the job and answer files go with the program.
        fs::copy_file(data / "LMData1.ini", data / "picture.jpg");
        QVERIFY(window.chooseMenuItem(ControlWindow::Menu::End, 1));
        QVERIFY(window.answerMessageBox());
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
            const ControlWindow window(*screen, control);
            QVERIFY2(window.isShown(), qPrintable(control.output()));
            QVERIFY(window.click("cmdStop"));
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
