// Faults around the Exchange folder seen from the control program, with the real LMControl and
// real Velisto programs under Xvfb: a folder missing at start, removed or read-only in mid-show,
// a display or the control program killed in mid-show, and an answer caught half-written. Each
// case runs as a test of its own (tests/e2e/CMakeLists.txt) and shows that nothing crashed,
// nothing stored was lost, and the operator was told what to do where they must act.

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

#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

using namespace lm::e2e;
namespace fs = std::filesystem;

namespace {

// The rows of every show here: "A" on dark green, then "B" on dark red.
const QColor darkGreen(0, 128, 0);
const QColor darkRed(128, 0, 0);
const QColor darkBlue(0, 0, 128); // a stop job's background
const QColor indicatorRed(255, 0, 0);
constexpr int darkGreenEntry = 2;
constexpr int darkRedEntry = 4;
constexpr int fastEntry = 0;   // "速く"
constexpr int mediumEntry = 2; // "中"

const QRect topStrip(0, 0, 1024, 24);
const QRect leftHalf(0, 0, 512, 768);

constexpr int displays = 2;

std::string readBytes(const fs::path& path) {
    return lm::lineFile::readBytes(path).value_or(std::string("<missing>"));
}

// The answer bytes a display writes: the job's line 1, a comma and the word, in code page 932.
std::string answerBytes(const std::string& head, const char* word) {
    std::string bytes;
    lm::lineFile::encode({head + "," + word}, bytes);
    return bytes;
}

// The rows of the item jobs written to the display, in order, from event `from` on. Stop jobs
// (row -1), which every change of the show list writes, are left out.
std::vector<int> rowsSent(const std::vector<ExchangeWatch::Event>& events, int display,
                          std::size_t from = 0) {
    const std::string file = "LMData" + std::to_string(display) + ".ini";
    std::vector<int> rows;
    for (std::size_t i = from; i < events.size(); ++i) {
        const ExchangeWatch::Event& event = events[i];
        if (event.kind == ExchangeWatch::Event::Kind::Written && event.file == file &&
            !event.head.empty() && itemNumberOf(event.head) >= 0) {
            rows.push_back(itemNumberOf(event.head));
        }
    }
    return rows;
}

bool startsWith(const std::vector<int>& rows, const std::vector<int>& prefix) {
    return rows.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), rows.begin());
}

QString describeRows(const std::vector<int>& rows) {
    QStringList parts;
    for (const int row : rows) {
        parts << QString::number(row);
    }
    return QStringLiteral("rows sent: ") + parts.join(',');
}

// The share of the image's pixels that have the colour.
double shareOf(const QImage& image, const QColor& colour) {
    if (image.isNull()) {
        return 0;
    }
    qint64 hits = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            hits += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return static_cast<double>(hits) / (static_cast<double>(image.width()) * image.height());
}

} // namespace

class ControlFaultE2eTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<lm::test::TempDir> m_work;
    fs::path m_data;
    std::unique_ptr<XServer> m_controlScreen;
    std::unique_ptr<Program> m_control;
    std::unique_ptr<ControlWindow> m_window;
    std::vector<std::unique_ptr<VelistoOnScreen>> m_signs;

    const fs::path& work() const { return m_work->path(); }

    bool startControl(Program::User user = Program::User::Caller) {
        m_window.reset();
        m_control = std::make_unique<Program>(QStringLiteral(LM_LMCONTROL_PATH), work(),
                                              *m_controlScreen, QStringList(), user);
        m_window = std::make_unique<ControlWindow>(*m_controlScreen, *m_control);
        return m_window->isShown();
    }

    // Display 1 and 2 (or more), each on a screen of its own.
    void startSigns(int count = displays) {
        for (int number = 1; number <= count; ++number) {
            m_signs.push_back(std::make_unique<VelistoOnScreen>(work()));
            QVERIFY2(m_signs.back()->start(number), qPrintable(m_signs.back()->error()));
        }
    }

    // The show's two rows, at the speed of the entry; repetition stays on as the window starts.
    void buildShow(int speedEntry) const {
        for (const auto& [text, back] : {std::pair{"A", darkGreenEntry}, {"B", darkRedEntry}}) {
            QVERIFY(m_window->typeInto("Text1", QString::fromLatin1(text)));
            QVERIFY(m_window->pickFromList("ComboTBackColor", back));
            QVERIFY(m_window->click("cmdText"));
        }
        QVERIFY(m_window->pickFromList("ComboTSpeed", speedEntry));
    }

    bool screenShows(int display, const QRect& area, const QColor& colour, int ms) const {
        return m_signs[static_cast<std::size_t>(display - 1)]->waitForColour(area, colour, ms);
    }

    bool indicatorShown() const {
        return shareOf(m_window->grab("lblJobWrite"), indicatorRed) > 0.3;
    }

    void verifyEverythingRuns() {
        QVERIFY2(m_control->isRunning(), qPrintable(m_control->output()));
        for (const auto& sign : m_signs) {
            QVERIFY2(sign->isRunning(), qPrintable(sign->program().output()));
        }
    }

    // Waits until each display has been sent these rows first (from event `from` on).
    void verifyRowsSent(const ExchangeWatch& exchange, const std::vector<int>& rows,
                        std::size_t from = 0, int ms = 30000) const {
        for (int display = 1; display <= static_cast<int>(m_signs.size()); ++display) {
            QVERIFY2(
                waitUntil(
                    [&] { return startsWith(rowsSent(exchange.events(), display, from), rows); },
                    ms, 50),
                qPrintable(QStringLiteral("display %1, ").arg(display) +
                           describeRows(rowsSent(exchange.events(), display, from))));
        }
    }

private slots:
    void init() {
        m_signs.clear();
        m_window.reset();
        m_control.reset();
        m_work = std::make_unique<lm::test::TempDir>();
        m_data = m_work->path() / "data";
        m_controlScreen = std::make_unique<XServer>();
        QVERIFY2(m_controlScreen->isRunning(), qPrintable(m_controlScreen->error()));
    }

    void cleanup() {
        m_signs.clear();
        m_window.reset();
        m_control.reset();
        m_controlScreen.reset();
        if (m_work && fs::exists(m_data)) {
            fs::permissions(m_data, fs::perms::all); // so the folder can be removed
        }
        m_work.reset();
    }

    void aMissingExchangeFolderIsMadeAtStart() {
        // The display computers come up first and wait for the folder.
        startSigns();
        QVERIFY(!fs::exists(m_data));
        QVERIFY(startControl());
        QVERIFY(waitUntil([&] { return fs::is_directory(m_data); }, 5000));

        const ExchangeWatch exchange(m_data);
        QVERIFY(exchange.isWatching());
        buildShow(fastEntry);
        QVERIFY(m_window->click("cmdDisplay"));
        verifyRowsSent(exchange, {0, 1});
        QVERIFY(screenShows(2, topStrip, darkRed, 10000));
        QVERIFY(!indicatorShown());
        verifyEverythingRuns();
    }

    void anExchangeFolderRemovedInMidShowIsShownUntilItIsBack() {
        // What the operator keeps in the working folder.
        const std::string show = "A show file the operator saved\r\n";
        const std::string picture = "not really a picture";
        QVERIFY(lm::lineFile::writeBytes(work() / "myshow.txt", show));
        QVERIFY(lm::lineFile::writeBytes(work() / "sky.jpg", picture));
        QVERIFY(startControl());
        QVERIFY(waitUntil([&] { return fs::is_directory(m_data); }, 5000));
        startSigns();
        buildShow(fastEntry);
        {
            const ExchangeWatch exchange(m_data);
            QVERIFY(m_window->click("cmdDisplay"));
            verifyRowsSent(exchange, {0});
        }
        QVERIFY(!indicatorShown());

        // The share goes away while the items run: the window says so, and nothing crashes.
        fs::remove_all(m_data);
        QVERIFY(waitUntil([&] { return indicatorShown(); }, 3000, 100));
        keptScreenshot(*m_controlScreen, QStringLiteral("control-folder-removed"));
        QTest::qWait(1500); // the displays' items end without a folder to answer into
        verifyEverythingRuns();
        QVERIFY(indicatorShown());

        // It comes back: the indicator clears; stop and a new show work.
        fs::create_directory(m_data);
        QVERIFY(waitUntil([&] { return !indicatorShown(); }, 3000, 100));
        const ExchangeWatch exchange(m_data);
        QVERIFY(m_window->click("cmdStop"));
        for (int display = 1; display <= displays; ++display) {
            QVERIFY(screenShows(display, {0, 0, 1024, 768}, darkBlue, 5000));
        }
        const std::size_t started = exchange.events().size();
        QVERIFY(m_window->click("cmdDisplay"));
        verifyRowsSent(exchange, {0, 1}, started);
        QVERIFY(screenShows(2, topStrip, darkRed, 10000));
        QVERIFY(!indicatorShown());
        verifyEverythingRuns();
        QCOMPARE(readBytes(work() / "myshow.txt"), show);
        QCOMPARE(readBytes(work() / "sky.jpg"), picture);
    }

    void aReadOnlyExchangeFolderIsShownUntilTheOperatorStartsAgain() {
        // The control program runs as an ordinary user, for whom the permissions hold (root
        // writes into a read-only folder); the displays write their answers as the test does.
        fs::permissions(work(), fs::perms::all);
        fs::create_directory(m_data);
        const fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec |
                                   fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec;
        fs::permissions(m_data, readOnly);
        QVERIFY(startControl(Program::User::Unprivileged));
        startSigns();
        buildShow(fastEntry);

        QVERIFY(m_window->click("cmdDisplay"));
        QVERIFY(waitUntil([&] { return indicatorShown(); }, 5000, 100));
        keptScreenshot(*m_controlScreen, QStringLiteral("control-folder-read-only"));
        QTest::qWait(1000);
        verifyEverythingRuns();
        QVERIFY(!fs::exists(m_data / "LMData1.ini"));

        // Writable again: the indicator stays until the operator stops and starts again, as it
        // tells them to.
        fs::permissions(m_data, fs::perms::all);
        const ExchangeWatch exchange(m_data);
        QVERIFY(m_window->click("cmdStop"));
        QVERIFY(waitUntil([&] { return !indicatorShown(); }, 3000, 100));
        const std::size_t started = exchange.events().size();
        QVERIFY(m_window->click("cmdDisplay"));
        verifyRowsSent(exchange, {0, 1}, started);
        QVERIFY(screenShows(2, topStrip, darkRed, 10000));
        QVERIFY(!indicatorShown());
        verifyEverythingRuns();
    }

    void aDisplayKilledInMidShowShowsItsItemAgainAndTheChainGoesOn() {
        QVERIFY(startControl());
        QVERIFY(waitUntil([&] { return fs::is_directory(m_data); }, 5000));
        startSigns();
        // At "中" an item of one character takes some 6 s, its next answer 3.6 s: time enough
        // to kill the display before it passes row 0 on.
        buildShow(mediumEntry);
        const ExchangeWatch exchange(m_data);
        QVERIFY(m_window->click("cmdDisplay"));
        // The starter's first tick comes after 3 s at "中".
        QVERIFY(screenShows(1, topStrip, darkGreen, 10000));

        // Killed while it shows row 0, before it could pass it on.
        m_signs[0]->kill();
        QVERIFY(rowsSent(exchange.events(), 2).empty());
        QVERIFY(m_signs[0]->start(1));
        // Row 0 again, coming in from the right edge: the left half still shows its background.
        QVERIFY(screenShows(1, topStrip, darkGreen, 5000));
        const QImage shot = m_signs[0]->screenshot();
        QVERIFY2(Screenshot::isUniform(shot, leftHalf, darkGreen, 2),
                 qPrintable(Screenshot::describe(shot, {10, 400})));

        // The chain goes on from there: display 2 gets row 0, and row 1 follows on both.
        verifyRowsSent(exchange, {0, 1});
        QVERIFY(screenShows(2, topStrip, darkRed, 15000));
        QVERIFY(!indicatorShown());
        verifyEverythingRuns();
    }

    // Four displays; display 2 is killed just after it took an item up (LM_STALL_KILLS times,
    // once in a test run). Displays 3 and 4 go on, cell 2 turns red, and started again with its
    // number display 2 rejoins. The stall is from the kill to display 3's next job.
    void aKilledDisplayIsPassedOverAndRejoins() {
        QVERIFY(startControl());
        QVERIFY(waitUntil([&] { return fs::is_directory(m_data); }, 5000));
        startSigns(4);
        buildShow(fastEntry);
        const ExchangeWatch exchange(m_data);
        QVERIFY(m_window->click("cmdDisplay"));
        verifyRowsSent(exchange, {0, 1});
        const auto cellRed = [&] {
            return shareOf(m_window->grab("lblWall2"), indicatorRed);
        };
        // The first write of an item job or answer into the file from event `from` on.
        const auto written = [&](const std::string& file, std::size_t from) {
            const auto events = exchange.events();
            for (std::size_t i = from; i < events.size(); ++i) {
                if (events[i].file == file && itemNumberOf(events[i].head) >= 0) {
                    return std::optional(std::pair(i, events[i].written));
                }
            }
            return std::optional<std::pair<std::size_t, ExchangeWatch::Clock::time_point>>();
        };
        std::vector<double> stalls;
        for (int kill = 0; kill < std::max(1, qEnvironmentVariableIntValue("LM_STALL_KILLS"));
             ++kill) {
            const std::size_t had = rowsSent(exchange.events(), 2).size();
            QVERIFY(
                waitUntil([&] { return rowsSent(exchange.events(), 2).size() > had; }, 20000, 5));
            m_signs[1]->kill();
            const auto killed = ExchangeWatch::Clock::now();
            const std::size_t from = exchange.events().size();
            // An item at "速く" is due after 1.2 s, the margin is 3 s: display 3 takes an item
            // up, and display 4 after it.
            QVERIFY(waitUntil([&] { return written("LMData3.ini", from).has_value(); }, 6000));
            const auto taken = *written("LMData3.ini", from);
            stalls.push_back(
                std::chrono::duration<double, std::milli>(taken.second - killed).count());
            QVERIFY(
                waitUntil([&] { return written("LMData4.ini", taken.first).has_value(); }, 8000));
            QVERIFY(waitUntil([&] { return cellRed() > 0.5; }, 5000, 100));
            keptScreenshot(*m_controlScreen, QStringLiteral("control-display2-silent"));
            QVERIFY2(m_signs[1]->start(2), qPrintable(m_signs[1]->error()));
            QVERIFY(waitUntil([&] { return cellRed() < 0.1; }, 5000, 100));
            // Back in the chain: an answer of its passes an item on to display 3.
            const std::size_t back = exchange.events().size();
            QVERIFY(waitUntil(
                [&] {
                    const auto answer = written("LMPNext2.ans", back);
                    return answer && written("LMData3.ini", answer->first);
                },
                20000, 50));
        }
        std::sort(stalls.begin(), stalls.end());
        QVERIFY(!stalls.empty());
        qInfo("stall after a kill: median %.0f ms, worst %.0f ms (%zu kills)",
              stalls[stalls.size() / 2], stalls.back(), stalls.size());
        verifyEverythingRuns();
    }

    void aControlProgramKilledInMidShowLeavesTheSignsUpAndStartsAgain() {
        QVERIFY(startControl());
        QVERIFY(waitUntil([&] { return fs::is_directory(m_data); }, 5000));
        startSigns();
        buildShow(fastEntry);
        {
            const ExchangeWatch exchange(m_data);
            QVERIFY(m_window->click("cmdDisplay"));
            verifyRowsSent(exchange, {0, 1});
        }

        m_control->kill();
        QVERIFY(m_control->crashed());
        // The signs stay up and keep what they show: a row's background, never a blank screen.
        QTest::qWait(3000);
        for (const auto& sign : m_signs) {
            QVERIFY2(sign->isRunning(), qPrintable(sign->program().output()));
            const QImage shot = sign->screenshot();
            QVERIFY2(Screenshot::isUniform(shot, topStrip, darkGreen, 2) ||
                         Screenshot::isUniform(shot, topStrip, darkRed, 2),
                     qPrintable(Screenshot::describe(shot, {10, 10})));
        }

        // A new control program: the next show runs from row 0 on every display.
        const ExchangeWatch exchange(m_data);
        QVERIFY(startControl());
        buildShow(fastEntry);
        QVERIFY(m_window->click("cmdDisplay"));
        verifyRowsSent(exchange, {0, 1});
        for (int display = 1; display <= displays; ++display) {
            QVERIFY(screenShows(display, topStrip, darkRed, 15000));
        }
        verifyEverythingRuns();
    }

    // The test plays display 1: its repeated answer for the last row, caught after one byte or
    // in its word, must not start the next round on display 2.
    void anAnswerCaughtHalfWrittenIsTakenOnlyWhole() {
        QVERIFY(startControl());
        QVERIFY(waitUntil([&] { return fs::is_directory(m_data); }, 5000));
        buildShow(fastEntry);
        const ExchangeWatch exchange(m_data);
        const fs::path job1 = m_data / "LMData1.ini";
        const fs::path job2 = m_data / "LMData2.ini";
        const fs::path next1 = m_data / "LMPNext1.ans";
        const fs::path end1 = m_data / "LMPEnd1.ans";
        const auto headOf = [](const fs::path& path) {
            return lm::lineFile::read(path, 1).value_or(std::vector<std::string>{""}).front();
        };
        const auto waitForHead = [&](const fs::path& path, const std::string& head) {
            return waitUntil([&] { return headOf(path) == head; }, 5000, 20);
        };
        QVERIFY(m_window->click("cmdDisplay"));
        QVERIFY(waitForHead(job1, " 0 "));
        QVERIFY(lm::lineFile::writeBytes(next1, answerBytes(" 0 ", "次へ")));
        QVERIFY(waitForHead(job2, " 0 "));
        QVERIFY(lm::lineFile::writeBytes(end1, answerBytes(" 0 ", "表示終了")));
        QVERIFY(waitForHead(job1, " 1 "));
        QVERIFY(lm::lineFile::writeBytes(next1, answerBytes(" 1 ", "次へ")));
        QVERIFY(waitForHead(job2, " 1 "));

        // Display 1, started again, answers row 1 once more; the writer pauses twice.
        const std::string repeated = answerBytes(" 1 ", "次へ");
        for (const std::size_t cut : {std::size_t{1}, repeated.size() - 3, repeated.size()}) {
            QVERIFY(lm::lineFile::writeBytes(next1, repeated.substr(0, cut)));
            QTest::qWait(600);
            QCOMPARE(rowsSent(exchange.events(), 2), (std::vector<int>{0, 1}));
        }
        // The next round begins when display 1 does.
        QVERIFY(lm::lineFile::writeBytes(end1, answerBytes(" 1 ", "表示終了")));
        QVERIFY(waitUntil([&] { return rowsSent(exchange.events(), 1).size() == 3; }, 5000));
        QCOMPARE(headOf(job1), std::string(" 0 "));
        QVERIFY(lm::lineFile::writeBytes(next1, answerBytes(" 0 ", "次へ")));
        QVERIFY(waitUntil([&] { return rowsSent(exchange.events(), 2).size() == 3; }, 5000));
        QCOMPARE(rowsSent(exchange.events(), 2), (std::vector<int>{0, 1, 0}));
        QVERIFY2(m_control->isRunning(), qPrintable(m_control->output()));
    }
};

QTEST_GUILESS_MAIN(ControlFaultE2eTest)
#include "ControlFaultE2eTest.moc"
