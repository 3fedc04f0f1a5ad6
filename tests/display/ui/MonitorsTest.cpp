#include "Monitors.h"

#include "DisplayLogic.h"
#include "RememberedNumbers.h"
#include "SignLabel.h"
#include "Velisto.h"
#include "WindowControls.h"

#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using lm::Monitors;
using lm::Velisto;
using lm::test::control;

// Velisto on a computer with three monitors, as threeMonitors.json describes them to the
// offscreen platform: from the left HDMI-1, DP-2 and DP-1. (It cannot give two the same name;
// the end-to-end tests on Xvfb, whose screens are all "screen", can.)
class MonitorsTest : public QObject {
    Q_OBJECT

private slots:
    void eachDisplayCoversItsMonitor_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("first from the left") << "1" << QRect(0, 0, 1024, 768);
        QTest::newRow("by name") << "DP-2" << QRect(1024, 0, 800, 600);
        QTest::newRow("last") << "3" << QRect(1824, 0, 640, 480);
        QTest::newRow("a name") << "HDMI-1" << QRect(0, 0, 1024, 768);
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
        // Window height / 22 points at 15 twips per pixel: ten elevenths of the height.
        QCOMPARE(control<lm::SignLabel>(window, "lblLM1")->font().pixelSize(),
                 qRound(geometry.height() * 10.0 / 11.0));
    }

    void aNumberIsRememberedForItsMonitorOnly() {
        QTemporaryDir folder;
        lm::RememberedNumbers remembered(folder.filePath(QStringLiteral("Velisto.conf")));
        {
            Velisto window({}, Monitors::find(QStringLiteral("3")), &remembered);
            window.show();
            control<QComboBox>(window, "Combo1")->setEditText(QStringLiteral(" 7"));
            QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
        }
        const std::pair<const char*, const char*> offers[] = {
            {"DP-1", "7"}, {"1", "1"}, {"2", "1"}};
        for (const auto& [choice, offered] : offers) {
            Velisto window({}, Monitors::find(QString::fromLatin1(choice)), &remembered);
            QCOMPARE(control<QComboBox>(window, "Combo1")->currentText(), QLatin1String(offered));
        }
    }
};

QTEST_MAIN(MonitorsTest)
#include "MonitorsTest.moc"
