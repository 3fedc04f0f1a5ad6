#include "Velisto.h"

#include "DisplayLogic.h"
#include "Monitors.h"
#include "RememberedNumbers.h"
#include "SignLabel.h"
#include "WindowControls.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using lm::Monitors;
using lm::SignLabel;
using lm::Velisto;
using lm::test::control;

// On three monitors, from the left HDMI-1, DP-2 and DP-1 (threeMonitors.json).
class VelistoTest : public QObject {
    Q_OBJECT

private:
    static void chooseAndConfirm(Velisto& window, const QString& text) {
        auto* combo = control<QComboBox>(window, "Combo1");
        combo->setEditText(text);
        QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
    }

    // A click on a spot of the window, delivered to whatever control lies there.
    static void clickAt(Velisto& window, QPoint spot) {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, spot);
    }

private slots:
    void startsFramelessOverTheWholeScreen() {
        Velisto window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(window.isFullScreen());
        QCOMPARE(window.geometry(), window.screen()->geometry());
        QVERIFY(control<QGroupBox>(window, "Frame1")->isVisible());
        QCOMPARE(control<QPushButton>(window, "Command3")->text(), QStringLiteral("終了？"));
        QVERIFY(control<QPushButton>(window, "Command3")->isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("ミラトス"));
        // Nothing polls before "OK".
        QVERIFY(!window.logic().timer1().isActive());
        QVERIFY(!window.logic().timer3().isActive());
    }

    void eachDisplayCoversItsMonitor_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("first from the left") << "1" << QRect(0, 0, 1024, 768);
        QTest::newRow("by name") << "DP-2" << QRect(1024, 0, 800, 600);
        QTest::newRow("last") << "3" << QRect(1824, 0, 640, 480);
    }

    void eachDisplayCoversItsMonitor() {
        QFETCH(QString, choice);
        QFETCH(QRect, geometry);
        Velisto window({}, Monitors::find(choice));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.isFullScreen());
        QCOMPARE(window.geometry(), geometry);
        QCOMPARE(window.logic().LMScreenWidth(), geometry.width() * 15);
        QCOMPARE(control<SignLabel>(window, "lblLM1")->font().pixelSize(),
                 qRound(geometry.height() * 10.0 / 11.0));
    }

    void okRemembersTheNumberForItsMonitor() {
        QTemporaryDir folder;
        lm::RememberedNumbers remembered(folder.filePath(QStringLiteral("Velisto.conf")));
        {
            Velisto window({}, Monitors::find(QStringLiteral("DP-1")), &remembered);
            chooseAndConfirm(window, QStringLiteral(" 7"));
        }
        for (const auto& [choice, offered] : {std::pair{"3", "7"}, {"1", "1"}, {"2", "1"}}) {
            Velisto window({}, Monitors::find(QString::fromLatin1(choice)), &remembered);
            QCOMPARE(control<QComboBox>(window, "Combo1")->currentText(), QLatin1String(offered));
        }
    }

    void offersTheSixteenDisplayNumbers() {
        Velisto window;
        auto* combo = control<QComboBox>(window, "Combo1");
        QCOMPARE(combo->count(), 16);
        QCOMPARE(combo->itemText(0), QStringLiteral(" 1"));
        QCOMPARE(combo->itemText(6), QStringLiteral(" 7"));
        QCOMPARE(combo->itemText(15), QStringLiteral(" 16"));
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->currentText(), QStringLiteral("1"));
    }

    void okTakesTheDisplayNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("caption");
        QTest::newRow("list entry 7") << QStringLiteral(" 7") << 7 << QStringLiteral(" 7");
        QTest::newRow("3.5 to even") << QStringLiteral("3.5") << 4 << QStringLiteral(" 4");
        QTest::newRow("2.5 to even") << QStringLiteral("2.5") << 2 << QStringLiteral(" 2");
        QTest::newRow("no number") << QStringLiteral("abc") << 0 << QStringLiteral(" 0");
        QTest::newRow("negative") << QStringLiteral("-3") << -3 << QStringLiteral("-3");
        QTest::newRow("largest") << QStringLiteral("32767") << 32767 << QStringLiteral(" 32767");
    }

    void okTakesTheDisplayNumber() {
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(QString, caption);
        Velisto window;
        window.show();
        chooseAndConfirm(window, text);

        QCOMPARE(int(window.logic().LMNumber()), number);
        QCOMPARE(window.windowTitle(), QStringLiteral("ミラトス ") + caption);
        QCOMPARE(control<SignLabel>(window, "lblLM1")->caption(), caption);
        QVERIFY(!control<QGroupBox>(window, "Frame1")->isVisible());
        QVERIFY(!control<QPushButton>(window, "Command3")->isVisible());
        lm::DisplayLogic& logic = window.logic();
        QCOMPARE(logic.timer1().interval(), 100);
        QVERIFY(logic.timer1().isActive());
        QCOMPARE(logic.timer3().interval(), 80);
        QVERIFY(logic.timer3().isActive());
    }

    void okRefusesANumberBeyondSixteenBits_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("above") << QStringLiteral("32768");
        QTest::newRow("below") << QStringLiteral("-32769");
        QTest::newRow("far above") << QStringLiteral("1 000 000");
        QTest::newRow("many digits") << QStringLiteral("99999999999999999999999");
    }

    void okRefusesANumberBeyondSixteenBits() {
        QFETCH(QString, text);
        Velisto window;
        window.show();
        chooseAndConfirm(window, text);
        QVERIFY(control<QGroupBox>(window, "Frame1")->isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("ミラトス"));
        QVERIFY(!window.logic().timer1().isActive());
        QVERIFY(!window.logic().timer3().isActive());
        // The operator can correct the text and go on.
        chooseAndConfirm(window, QStringLiteral(" 5"));
        QCOMPARE(int(window.logic().LMNumber()), 5);
        QVERIFY(!control<QGroupBox>(window, "Frame1")->isVisible());
    }

    void theSignShowsTheNumberAtTheFontRule() {
        Velisto window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        chooseAndConfirm(window, QStringLiteral(" 7"));
        auto* label = control<SignLabel>(window, "lblLM1");
        // Window height / 22 points at 15 twips per pixel: ten elevenths of the height.
        QCOMPARE(label->font().pixelSize(), qRound(window.height() * 10.0 / 11.0));
        QCOMPARE(label->geometry(), QRect(0, 0, 200 * window.width(), window.height()));
        QCOMPARE(label->caption(), QStringLiteral(" 7"));
    }

    void aClickOnTheSignTogglesTheEndButtonAndGivesAFrame() {
        Velisto window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        chooseAndConfirm(window, QStringLiteral(" 7"));
        auto* command3 = control<QPushButton>(window, "Command3");
        QVERIFY(!command3->isVisible());

        // The spot lies on lblLM1, which covers the window.
        const QPoint spot(window.width() / 2, window.height() / 2);
        QCOMPARE(window.childAt(spot), control<SignLabel>(window, "lblLM1"));
        clickAt(window, spot);
        QVERIFY(command3->isVisible());
        QCOMPARE(window.FormFlag(), 1);
        QVERIFY(!window.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!window.isFullScreen());
        QVERIFY(window.isVisible());

        QVERIFY(QTest::qWaitForWindowExposed(&window));
        clickAt(window, spot);
        QVERIFY(!command3->isVisible());
        QCOMPARE(window.FormFlag(), 0);
        QVERIFY(!window.windowFlags().testFlag(Qt::FramelessWindowHint));

        clickAt(window, spot);
        QVERIFY(command3->isVisible());

        // A double click is one click.
        QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, spot);
        QVERIFY(!command3->isVisible());
        QCOMPARE(window.FormFlag(), 0);
    }

    void theFirstClickDuringSetupKeepsTheEndButton() {
        Velisto window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* command3 = control<QPushButton>(window, "Command3");
        const QPoint spot(window.width() - 10, window.height() - 10);
        clickAt(window, spot);
        QVERIFY(command3->isVisible());
        QCOMPARE(window.FormFlag(), 1);
    }

    void endButtonAndCancelEndTheProgram_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("終了？") << QStringLiteral("Command3");
        QTest::newRow("Cancel") << QStringLiteral("Command2");
    }

    void endButtonAndCancelEndTheProgram() {
        QFETCH(QString, button);
        Velisto window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(control<QPushButton>(window, button.toLatin1().constData()),
                          Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(!window.logic().timer3().isActive());
    }

    void aResizeChangesTheScreenWidth() {
        Velisto window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(640, 440);
        QTRY_COMPARE(window.width(), 640);
        // 15 twips per pixel on the offscreen screen.
        QCOMPARE(window.STwips(), 15.0);
        QCOMPARE(window.logic().LMScreenWidth(), 9600);
        auto* label = control<SignLabel>(window, "lblLM1");
        QCOMPARE(label->geometry(), QRect(0, 0, 128000, 440));
        QCOMPARE(label->font().pixelSize(), 400);
    }
};

QTEST_MAIN(VelistoTest)
#include "VelistoTest.moc"
