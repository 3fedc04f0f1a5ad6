#include "ControlWindow.h"
#include "ExchangeWatch.h"
#include "KeptScreenshot.h"
#include "LineFile.h"
#include "Program.h"
#include "ScreenWatch.h"
#include "Screenshot.h"
#include "ShowLog.h"
#include "TempDir.h"
#include "VelistoOnScreen.h"
#include "Wait.h"
#include "XServer.h"

#include <QImage>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>

using namespace lm::e2e;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The palette's colours the show uses, and the colour of the picture.
const QColor darkGreen(0, 128, 0);
const QColor darkRed(128, 0, 0);
const QColor darkBlue(0, 0, 128);
const QColor brightYellow(255, 255, 0);
const QColor brightCyan(0, 255, 255);
const QColor sky(0, 160, 255);

// Entries of the colour lists, counted from 0 ("黒"), and of the speed list.
constexpr int blackEntry = 0;
constexpr int darkGreenEntry = 2;
constexpr int darkRedEntry = 4;
constexpr int brightCyanEntry = 11;
constexpr int brightYellowEntry = 14;
constexpr int whiteEntry = 15;
constexpr int fastEntry = 0;       // "速く"
constexpr int ratherFastEntry = 1; // "やや速く"

const QRect wholeScreen(0, 0, 1024, 768);
// Above the glyphs of a text (they begin some 30 pixels down): it shows the item's background
// while the item runs.
const QRect topStrip(0, 0, 1024, 24);
const QPoint watchedPixel(8, 8);

bool exchangeFilesLeft(const fs::path& data) {
    for (const auto& entry : fs::directory_iterator(data)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("LMData") || name.starts_with("LMPNext") ||
            name.starts_with("LMPEnd")) {
            return true;
        }
    }
    return false;
}

bool containsColour(const QImage& image, const QRect& area, const QColor& colour) {
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); y += 2) {
        for (int x = inside.left(); x <= inside.right(); x += 2) {
            if (ShowLog::sameColour(image.pixelColor(x, y), colour)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

// The operator's whole day with the sign, through the windows only: three display computers,
// a show list built, saved, cleared, loaded back in a fresh control program and shown, the
// speed changed while it runs, then stop, end and close.
class OperatorAcceptanceE2eTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<lm::test::TempDir> m_work;
    fs::path m_data;
    std::unique_ptr<XServer> m_controlScreen;
    std::unique_ptr<Program> m_control;
    std::unique_ptr<ControlWindow> m_window;
    std::vector<std::unique_ptr<VelistoOnScreen>> m_signs;

    // The rows of the show as loaded: 0 "春" in yellow on dark green, 1 "A" in cyan on dark
    // red, 2 the still picture.
    const std::vector<QColor> m_rowColours{darkGreen, darkRed, sky};
    const std::vector<QColor> m_textColours{brightYellow, brightCyan};

    bool startControl() {
        m_control = std::make_unique<Program>(QStringLiteral(LM_LMCONTROL_PATH), m_work->path(),
                                              *m_controlScreen);
        m_window = std::make_unique<ControlWindow>(*m_controlScreen, *m_control);
        return m_window->isShown();
    }

    // "このプログラムを終了する", then Yes: the job and answer files go, nothing else does.
    void closeControl() {
        QVERIFY(m_window->chooseMenuItem(ControlWindow::Menu::End, 1));
        QVERIFY(m_window->answerMessageBox());
        QVERIFY2(m_control->waitForExit(5000), qPrintable(m_control->output()));
        QCOMPARE(m_control->exitCode(), 0);
        QVERIFY(!exchangeFilesLeft(m_data));
        QVERIFY(fs::exists(m_data / "sky.jpg"));
        QVERIFY(fs::exists(m_work->path() / "myshow.txt"));
    }

    void addText(const QString& text) const {
        QVERIFY(m_window->typeInto("Text1", text));
        QVERIFY(m_window->click("cmdText"));
    }

    // At a hand-off from display `from` to the next, both screens show the row: its
    // background (or picture) on both, and the text coming in on the next screen.
    void verifyHandOffOnScreens(int from, int row) const {
        const auto name = [&](int display) {
            return QStringLiteral("row%1-display%2").arg(row).arg(display);
        };
        const QImage leaving = keptScreenshot(m_signs[from - 1]->server(), name(from));
        const QImage arriving = keptScreenshot(m_signs[from]->server(), name(from + 1));
        const QColor colour = m_rowColours[static_cast<std::size_t>(row)];
        const bool picture = row == 2;
        const QRect area = picture ? wholeScreen : topStrip;
        QVERIFY2(Screenshot::isUniform(leaving, area, colour, 12),
                 qPrintable(name(from) + Screenshot::describe(leaving, {8, 8})));
        QVERIFY2(Screenshot::isUniform(arriving, area, colour, 12),
                 qPrintable(name(from + 1) + Screenshot::describe(arriving, {8, 8})));
        if (!picture) {
            // The text enters at the right edge with the first movement tick.
            const QColor text = m_textColours[static_cast<std::size_t>(row)];
            QVERIFY2(waitUntil(
                         [&] {
                             return containsColour(Screenshot::take(m_signs[from]->server()),
                                                   {0, 40, 1024, 728}, text);
                         },
                         1000, 10),
                     qPrintable(name(from + 1)));
        }
    }

    // Builds the list through the window: two text items in their colours, one more to be
    // deleted, and a picture chosen in the chooser.
    void buildList() const {
        QVERIFY(m_window->pickFromList("ComboTForeColor", brightYellowEntry));
        QVERIFY(m_window->pickFromList("ComboTBackColor", darkGreenEntry));
        addText(QStringLiteral("春"));
        QVERIFY(m_window->pickFromList("ComboTForeColor", brightCyanEntry));
        QVERIFY(m_window->pickFromList("ComboTBackColor", darkRedEntry));
        addText(QStringLiteral("A"));
        QVERIFY(m_window->pickFromList("ComboTForeColor", whiteEntry));
        QVERIFY(m_window->pickFromList("ComboTBackColor", blackEntry));
        addText(QStringLiteral("XYZ"));

        QVERIFY(m_window->click("lblInput"));
        QVERIFY(m_window->answerChooser(QStringLiteral("画像ファイルの読み込み"),
                                        QStringLiteral("sky.jpg")));
        QVERIFY(m_window->click("cmdText"));
        QVERIFY(waitUntil([&] { return fs::exists(m_data / "sky.jpg"); }, 3000));

        // "XYZ" goes again.
        QVERIFY(m_window->selectLine(2));
        QVERIFY(m_window->click("cmdDelete"));
    }

    void verifySavedFile() const {
        const auto lines = lm::lineFile::read(m_work->path() / "myshow.txt");
        QVERIFY(lines);
        QCOMPARE(lines->size(), std::size_t{33});
        const auto field = [&](int item, int column) {
            return QString::fromStdString((*lines)[static_cast<std::size_t>(item * 11 + column)]);
        };
        QCOMPARE(field(0, 0), QStringLiteral("文字"));
        QCOMPARE(field(0, 1), QStringLiteral("春"));
        QCOMPARE(field(0, 3), QStringLiteral("明るい黄色"));
        QCOMPARE(field(0, 4), QStringLiteral("暗い緑"));
        QCOMPARE(field(1, 1), QStringLiteral("A"));
        QCOMPARE(field(1, 3), QStringLiteral("明るいシアン"));
        QCOMPARE(field(1, 4), QStringLiteral("暗い赤"));
        QCOMPARE(field(2, 0), QStringLiteral("画像"));
        QCOMPARE(field(2, 2), QStringLiteral("移動しない"));
        QCOMPARE(field(2, 6), QStringLiteral("sky.jpg"));
    }

private slots:
    void init() {
        m_work = std::make_unique<lm::test::TempDir>();
        m_data = m_work->path() / "data";
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(sky);
        QVERIFY(picture.save(QString::fromStdString((m_work->path() / "sky.jpg").string())));
        m_controlScreen = std::make_unique<XServer>();
        QVERIFY2(m_controlScreen->isRunning(), qPrintable(m_controlScreen->error()));
    }

    void cleanup() {
        m_window.reset();
        m_control.reset();
        m_signs.clear();
        m_controlScreen.reset();
        m_work.reset();
    }

    void anOperatorRunsTheSignThroughItsWindows() {
        QVERIFY2(startControl(), qPrintable(m_control->output()));
        QVERIFY(waitUntil([&] { return fs::is_directory(m_data); }, 5000));
        for (int number = 1; number <= 3; ++number) {
            m_signs.push_back(std::make_unique<VelistoOnScreen>(m_work->path()));
            QVERIFY2(m_signs.back()->start(number), qPrintable(m_signs.back()->error()));
        }

        buildList();
        if (QTest::currentTestFailed()) {
            return;
        }
        const QImage listBuilt = m_window->grab("List1");

        // "ファイル" > "保存" from the keyboard, under a new name: ".txt" is added.
        QVERIFY(m_window->chooseMenuItem(ControlWindow::Menu::File, 1));
        QVERIFY(m_window->answerChooser(QStringLiteral("データファイルの保存"),
                                        QStringLiteral("myshow")));
        QVERIFY(waitUntil([&] { return fs::exists(m_work->path() / "myshow.txt"); }, 3000));
        verifySavedFile();
        if (QTest::currentTestFailed()) {
            return;
        }

        QVERIFY(m_window->click("cmdAllClear"));
        QVERIFY(m_window->grab("List1") != listBuilt);

        // The program is closed and started again; the list comes back from the file.
        closeControl();
        if (QTest::currentTestFailed()) {
            return;
        }
        QVERIFY2(startControl(), qPrintable(m_control->output()));
        QVERIFY(m_window->chooseMenuItem(ControlWindow::Menu::File, 0));
        QVERIFY(m_window->answerChooser(QStringLiteral("データファイルの読み込み"),
                                        QStringLiteral("myshow.txt")));
        QVERIFY(waitUntil([&] { return m_window->grab("List1") == listBuilt; }, 3000));

        QVERIFY(m_window->pickFromList("ComboTSpeed", fastEntry));
        runTheShow();
        if (QTest::currentTestFailed()) {
            return;
        }
        stopEndAndClose();
    }

private:
    void runTheShow() {
        const ExchangeWatch exchange(m_data);
        QVERIFY(exchange.isWatching());
        const ScreenWatch screens(
            {&m_signs[0]->server(), &m_signs[1]->server(), &m_signs[2]->server()}, watchedPixel);
        QVERIFY(screens.isWatching());
        const auto logNow = [&] {
            return ShowLog(exchange.events(), screens.changes(), m_rowColours, 3, Clock::now());
        };
        QVERIFY(m_window->click("cmdDisplay"));

        // The first round: every row passes from display 1 to 2 to 3, on the screens too.
        for (int row = 0; row < 3; ++row) {
            for (int from = 1; from <= 2; ++from) {
                const auto handedOn = [&] {
                    const ShowLog log = logNow();
                    return std::any_of(
                        log.handOffs().begin(), log.handOffs().end(),
                        [&](const auto& h) { return h.from == from && h.row == row; });
                };
                QVERIFY2(waitUntil(handedOn, 20000, 5),
                         qPrintable(QStringLiteral("row %1 from %2: ").arg(row).arg(from) +
                                    logNow().problems().join('\n')));
                verifyHandOffOnScreens(from, row);
                if (QTest::currentTestFailed()) {
                    return;
                }
            }
        }

        // The speed changed while the show runs reaches the jobs written from then on, and
        // the displays run them at that speed.
        QVERIFY(m_window->pickFromList("ComboTSpeed", ratherFastEntry));
        const Clock::time_point changed = Clock::now();
        std::optional<ExchangeWatch::Event> slowJob;
        QVERIFY(waitUntil(
            [&] {
                for (const ExchangeWatch::Event& event : exchange.events()) {
                    if (event.file == "LMData1.ini" && event.seen > changed &&
                        itemNumberOf(event.head) >= 0) {
                        slowJob = event;
                        return true;
                    }
                }
                return false;
            },
            15000, 20));
        const std::vector<std::string> job = lm::lineFile::decode(slowJob->bytes);
        QCOMPARE(job.at(7), std::string("やや速く"));
        // At "やや速く" a text reaches the left edge after 24 ticks of 100 ms and a picture
        // after 20; at "速く" after 12 and 10.
        std::optional<Clock::time_point> reached;
        QVERIFY(waitUntil(
            [&] {
                for (const ExchangeWatch::Event& event : exchange.events()) {
                    if (event.file == "LMPNext1.ans" && event.written > slowJob->written) {
                        reached = event.written;
                        return true;
                    }
                }
                return false;
            },
            10000, 20));
        QVERIFY2(*reached - slowJob->written >= std::chrono::milliseconds(1900),
                 qPrintable(QString::number(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                *reached - slowJob->written)
                                                .count())));

        const ShowLog log = logNow();
        QVERIFY2(log.problems().isEmpty(), qPrintable(log.problems().join('\n')));
    }

    void stopEndAndClose() {
        // "表示を止める": every display turns dark blue.
        QVERIFY(m_window->click("cmdStop"));
        for (int number = 1; number <= 3; ++number) {
            const VelistoOnScreen& sign = *m_signs[static_cast<std::size_t>(number - 1)];
            QVERIFY2(waitUntil(
                         [&] {
                             return Screenshot::isUniform(
                                 keptScreenshot(sign.server(),
                                                QStringLiteral("stopped-display%1").arg(number)),
                                 wholeScreen, darkBlue);
                         },
                         5000, 100),
                     qPrintable(QString::number(number)));
        }

        // "終了" > "表示プログラムをすべて終了させる", Yes: all three programs end.
        QVERIFY(m_window->chooseMenuItem(ControlWindow::Menu::End, 0));
        QVERIFY(m_window->answerMessageBox());
        for (const auto& sign : m_signs) {
            QVERIFY2(sign->program().waitForExit(5000), qPrintable(sign->program().output()));
            QVERIFY2(sign->program().exitCode() == 0, qPrintable(sign->program().output()));
        }
        QVERIFY(m_control->isRunning());

        closeControl();
    }
};

QTEST_GUILESS_MAIN(OperatorAcceptanceE2eTest)
#include "OperatorAcceptanceE2eTest.moc"
