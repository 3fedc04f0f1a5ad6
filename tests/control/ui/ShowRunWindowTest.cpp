#include "ExchangeFolder.h"
#include "FakeFileChooser.h"
#include "FakeMessageBoxes.h"
#include "OperatorDesk.h"
#include "RunController.h"
#include "ShowFile.h"
#include "ShowList.h"
#include "TestRows.h"
#include "VirtualClock.h"
#include "VirtualWallClock.h"
#include "WorkingFolder.h"
#include "frmLMControl.h"
#include "frmPlan.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>
#include <fstream>
#include <memory>

namespace lm::test {

namespace fs = std::filesystem;

namespace {

const QColor paleYellow(255, 255, 192);
const QColor brightRed(255, 0, 0);

} // namespace

// A show started from the control window, its timers on a virtual clock and the displays'
// answers written by the test.
class ShowRunWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WorkingFolder> m_work;
    std::unique_ptr<VirtualClock> m_clock;
    std::unique_ptr<VirtualWallClock> m_wallClock;
    FakeMessageBoxes m_boxes;
    FakeFileChooser m_chooser;
    std::unique_ptr<frmLMControl> m_window;

    template <class T> T* control(const char* name) const {
        T* widget = m_window->findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT_X(widget != nullptr, "control", name);
        return widget;
    }
    QComboBox* combo(const char* name) const { return control<QComboBox>(name); }
    void click(const char* button) const {
        QTest::mouseClick(control<QAbstractButton>(button), Qt::LeftButton);
    }
    ExchangeFolder exchange() const { return ExchangeFolder(m_work->path()); }

    void addText(const QString& text, const QString& backColour) const {
        control<QLineEdit>("Text1")->setText(text);
        combo("ComboTBackColor")->setEditText(backColour);
        click("cmdText");
    }

    // Two text items, "A" on dark green and "B" on dark red, at the fastest pace.
    void startTwoItemShow() {
        addText(QStringLiteral("A"), QStringLiteral("暗い緑"));
        addText(QStringLiteral("B"), QStringLiteral("暗い赤"));
        combo("ComboTSpeed")->setEditText(QStringLiteral("速く"));
        click("cmdDisplay");
    }

    std::vector<std::string> job(int display) const {
        return exchange().readJob(display).value_or(std::vector<std::string>{});
    }
    std::string jobHead(int display) const {
        const std::vector<std::string> lines = job(display);
        return lines.empty() ? std::string("<none>") : lines.front();
    }

    // Display 1 reports the end of the item of that row.
    void endAnswer(int row) const {
        QVERIFY(exchange().writeAnswer(1, AnswerKind::End, itemNumberLine(row)));
    }

    QColor lineColour() const {
        return control<QLabel>("lblNum")->palette().color(QPalette::Window);
    }

    bool anyJobFile() const {
        for (const auto& entry : fs::directory_iterator(m_work->data())) {
            if (entry.path().extension() == ".ini") {
                return true;
            }
        }
        return false;
    }

    // Displays 2 and 3 touch their presence files each 500 ms; display 3 stops at `quiet`.
    void runWithPresence(std::int64_t ms, std::int64_t quiet = -1) {
        for (std::int64_t t = 0; t < ms; t += 500) {
            for (int n = 2; n <= (quiet >= 0 && t >= quiet ? 2 : 3); ++n) {
                const fs::path file = exchange().presencePath(n);
                QVERIFY(exchange().touchPresence(n));
                fs::last_write_time(file,
                                    fs::file_time_type(std::chrono::milliseconds(m_clock->now())));
            }
            m_clock->advance(500);
        }
    }

    fs::path stateFolder() const { return m_work->path() / "state"; }

    void openWindow() {
        frmLMControl::Services services;
        services.messageBoxes = &m_boxes;
        services.chooser = &m_chooser;
        services.bindTimer = [clock = m_clock.get()](Timer& timer) {
            clock->attach(timer);
        };
        services.stateFolder = stateFolder();
        services.clock = m_wallClock.get();
        m_window = std::make_unique<frmLMControl>(services);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

private slots:
    void init() {
        m_work = std::make_unique<WorkingFolder>();
        m_clock = std::make_unique<VirtualClock>();
        m_wallClock = std::make_unique<VirtualWallClock>(*m_clock);
        m_boxes = FakeMessageBoxes{};
        openWindow();
    }

    void cleanup() {
        // The window's timers go before the clock that drives them.
        m_window.reset();
        m_clock.reset();
        m_work.reset();
    }

    // How the program or its show ended, and whether --resume starts the show again.
    void theShowIsResumedOnlyWhenTheOperatorDidNotEndIt_data() {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("resumed");
        QTest::addColumn<int>("items");
        QTest::newRow("killed, power cut") << "none" << true << 2;
        QTest::newRow("SIGTERM, SIGHUP, logout") << "system" << true << 2;
        QTest::newRow("表示を止める") << "cmdStop" << false << 2;
        QTest::newRow("a load") << "load" << false << 2;
        QTest::newRow("a save") << "save" << false << 2;
        QTest::newRow("すべて削除") << "cmdAllClear" << false << 0;
        QTest::newRow("close box") << "close" << false << 2;
        QTest::newRow("menu 終了") << "mnuLMCEnd" << false << 2;
        QTest::newRow("end the displays") << "mnuLMEnd" << false << 2;
    }

    void theShowIsResumedOnlyWhenTheOperatorDidNotEndIt() {
        QFETCH(QString, ending);
        QFETCH(bool, resumed);
        QFETCH(int, items);
        startTwoItemShow();
        combo("ComboTMove")->setEditText(QStringLiteral("左へ"));
        control<QCheckBox>("Check1")->setChecked(false);
        QVERIFY(m_window->desk().chain().timer(0).isEnabled());
        if (ending == "system") {
            m_window->Form_Unload(frmLMControl::Ending::System);
        } else if (ending == "load" || ending == "save") {
            // Cancelled in the chooser: the stop before it ended the show all the same.
            (ending == "load" ? m_window->mnuFileLoad_Click() : m_window->mnuFileSave_Click());
        } else if (ending == "close") {
            m_window->close();
        } else if (ending == "mnuLMCEnd" || ending == "mnuLMEnd") {
            m_boxes.answers.push_back(true);
            ending == "mnuLMEnd" ? m_window->mnuLMEnd_Click() : m_window->mnuLMCEnd_Click();
        } else if (ending != "none") {
            click(ending.toLatin1().constData());
        }
        m_window.reset();

        exchange().deleteSet(ExchangeSet::Jobs);
        openWindow();
        const DeskOutcome outcome = m_window->desk().resume();
        QVERIFY2(outcome.done(), outcome.words().c_str());
        QCOMPARE(m_window->desk().list().count(), items);
        QCOMPARE(combo("ComboTSpeed")->currentText(), QStringLiteral("速く"));
        QCOMPARE(combo("ComboTMove")->currentText(), QStringLiteral("左へ"));
        QVERIFY(!control<QCheckBox>("Check1")->isChecked());
        QCoreApplication::processEvents();
        QCOMPARE(m_window->desk().chain().timer(0).isEnabled(), resumed);
        // Display 1 gets row 0 two start paces later, and only from a resumed show.
        m_clock->advance(2100);
        QCOMPARE(jobHead(1), resumed ? std::string(" 0 ") : std::string("<none>"));
    }

    // The urgent message from its dialog: refused in the list's words, sent to the displays that
    // are there, shown in their cells and in a line until it ends.
    void anUrgentMessageFromTheDialogRunsUntilItIsEnded() {
        startTwoItemShow();
        runWithPresence(2000);
        control<QAction>("mnuUrgentSay")->trigger();
        auto* dialog = m_window->findChild<QDialog*>(QStringLiteral("frmUrgent"));
        QVERIFY(dialog != nullptr && dialog->isVisible());
        const auto send = [&](const QString& text, int duration) {
            dialog->findChild<QLineEdit*>(QStringLiteral("txtUrgent"))->setText(text);
            dialog->findChild<QComboBox*>(QStringLiteral("ComboUTime"))->setCurrentIndex(duration);
            QTest::mouseClick(dialog->findChild<QAbstractButton*>(QStringLiteral("cmdUrgentSend")),
                              Qt::LeftButton);
        };
        auto* line = m_window->findChild<QLabel*>(QStringLiteral("lblUrgent"));

        send(QStringLiteral("10€"), 0);
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QCOMPARE(m_boxes.shown[0].title, std::string("注意！"));
        QVERIFY(line->isHidden());

        send(QStringLiteral("火災です。避難して下さい"), 0); // one minute
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QCOMPARE(jobHead(2), std::string(" 9000 "));
        QCOMPARE(job(2).at(8), std::string("火災です。避難して下さい"));
        QCOMPARE(job(2).at(5), std::string("白"));
        QCOMPARE(job(2).at(6), std::string("明るい赤"));
        QVERIFY(!line->isHidden());
        QVERIFY2(line->text().contains(QStringLiteral("まで")), qPrintable(line->text()));
        QVERIFY(control<QLabel>("lblWall2")->text().contains(QStringLiteral("！")));
        QVERIFY(control<QLabel>("lblWall1")->text().contains(QStringLiteral("－")));

        // Its minute runs out: the show goes on.
        runWithPresence(60'000);
        QVERIFY(line->isHidden());
        QVERIFY(m_window->desk().chain().isShowRunning());

        // Until it is ended, from the dialog.
        send(QStringLiteral("迷子のお知らせ"), 3);
        runWithPresence(120'000);
        QVERIFY(line->text().contains(QStringLiteral("終わらせるまで")));
        QTest::mouseClick(dialog->findChild<QAbstractButton*>(QStringLiteral("cmdUrgentEnd")),
                          Qt::LeftButton);
        QVERIFY(line->isHidden());
        QVERIFY(m_window->desk().chain().isShowRunning());
    }

    // A restart with --resume sends the urgent message again for what is left of its time; one
    // whose time ran out while the program was not running stays ended.
    void anUrgentMessageComesBackForWhatIsLeftOfItsTime() {
        startTwoItemShow();
        UrgentMessage message;
        message.text = "非常口は右側です";
        QVERIFY(m_window->desk().say(message, 5).done());
        const std::optional<UrgentMessage> sent = m_window->desk().state().urgent;
        m_clock->advance(60'000);
        for (const std::int64_t later : {std::int64_t{0}, std::int64_t{240'000}}) {
            m_window.reset(); // killed
            m_clock->advance(later);
            openWindow();
            const DeskOutcome resumed = m_window->desk().resume();
            QVERIFY2(resumed.done(), resumed.words().c_str());
            QCoreApplication::processEvents();
            QCOMPARE(m_window->desk().state().urgent,
                     later == 0 ? sent : std::optional<UrgentMessage>());
            QVERIFY(m_window->desk().chain().isShowRunning() == (later != 0));
        }
    }

    // "予定" > "予定に従う": the plan file is read as the item is ticked, its show runs with no
    // box, and the corner line says what the plan did and what holds.
    void thePlanIsFollowedFromItsMenuAndSaysSoInTheCorner() {
        auto* follow = control<QAction>("mnuPlanFollow");
        auto* line = control<QLabel>("lblPlan");
        follow->trigger();
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QCOMPARE(m_boxes.shown[0].title, std::string("週の予定"));
        QVERIFY(!follow->isChecked());
        QVERIFY(line->isHidden());

        ItemTable show;
        show.append(textRow("朝のお知らせ"));
        show.append(textRow("本日の催し"));
        QCOMPARE(showFile::write(m_work->path() / "a.txt", show), WriteStatus::Ok);
        std::ofstream(m_work->path() / "plan.txt")
            << "lmsign-plan 1\n[otherwise]\nshow = a.txt\nspeed = 速く\n";
        follow->trigger();
        QVERIFY(follow->isChecked());
        m_clock->advance(10);
        QCOMPARE(m_window->desk().list().count(), 2);
        QVERIFY(m_window->desk().chain().isShowRunning());
        QCOMPARE(combo("ComboTSpeed")->currentText(), QStringLiteral("速く"));
        QVERIFY(!line->isHidden());
        QVERIFY2(line->toolTip().startsWith(QStringLiteral("予定：「a.txt」を表示中")),
                 qPrintable(line->toolTip()));

        // Beside an urgent message's line the plan's line leaves every menu its room.
        UrgentMessage message;
        message.text = "地震です";
        QVERIFY(m_window->desk().say(message, 0).done());
        QMenuBar* bar = m_window->menuBar();
        QAction* lastMenu = control<QMenu>("mnuPlan0")->menuAction();
        QVERIFY(!control<QLabel>("lblUrgent")->isHidden());
        QVERIFY2(bar->cornerWidget(Qt::TopRightCorner)->geometry().left() >
                     bar->actionGeometry(lastMenu).right(),
                 qPrintable(line->text()));
        QVERIFY(m_window->desk().endUrgent().done());

        click("cmdStop");
        QVERIFY2(line->toolTip().startsWith(QStringLiteral("手動で変更中")),
                 qPrintable(line->toolTip()));
        m_clock->advance(5000);
        QVERIFY(!m_window->desk().chain().isShowRunning());

        // The dialog edits the plan that is followed; its save reaches the desk.
        control<QAction>("mnuPlan")->trigger();
        auto* dialog = m_window->findChild<frmPlan*>(QStringLiteral("frmPlan"));
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QVERIFY(dialog->plan() == m_window->desk().state().plan);
        QVERIFY(dialog->cmdPlanSave_Click());

        follow->trigger();
        QVERIFY(!m_window->desk().state().followPlan);
        QVERIFY(line->isHidden());
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
    }

    // The marks of a cell beside its state: a clock that a neighbour on another computer cannot
    // trust, and wake-ups that never came.
    void cellsMarkWhatTheWallCannotRelyOn_data() {
        QTest::addColumn<QString>("besideHost"); // display 3's computer; display 2 is on "pc-2"
        QTest::addColumn<bool>("synchronised");
        QTest::addColumn<int>("errorUs");
        QTest::addColumn<bool>("wakeUpsHeard");
        QTest::addColumn<QString>("marks");
        QTest::addColumn<QString>("tip");
        QTest::newRow("one computer shares its clock") << "pc-2" << false << 16000 << true << ""
                                                       << "";
        QTest::newRow("in step") << "pc-3" << true << 1500 << true << ""
                                 << "";
        QTest::newRow("not in step") << "pc-3" << false << 16000 << true << "△"
                                     << "合っていません";
        QTest::newRow("in step, imprecise") << "pc-3" << true << 5200 << true << "△"
                                            << "推定 5.2 ms";
        QTest::newRow("no wake-ups") << "pc-2" << true << 500 << false << "※"
                                     << "ファイアウォール";
        QTest::newRow("both") << "pc-3" << false << 0 << false << "△※"
                              << "※";
    }

    void cellsMarkWhatTheWallCannotRelyOn() {
        QFETCH(QString, besideHost);
        QFETCH(bool, synchronised);
        QFETCH(int, errorUs);
        QFETCH(bool, wakeUpsHeard);
        QFETCH(QString, marks);
        QFETCH(QString, tip);
        m_window->desk().setWakeUpsHeard([&](int) { return wakeUpsHeard; });
        const auto presence = [&](int n, const std::string& host, ClockState clock) {
            SignOfLife life;
            life.host = host;
            life.port = 47600 + n;
            life.clock = clock;
            QVERIFY(exchange().writePresence(n, life));
            fs::last_write_time(exchange().presencePath(n),
                                fs::file_time_type(std::chrono::milliseconds(m_clock->now())));
        };
        startTwoItemShow();
        // Display 1 is absent: display 2 has the item, and watcher 3 is on after 4 s.
        for (int t = 0; t < 10; ++t) {
            presence(2, "pc-2", {synchronised, errorUs});
            presence(3, besideHost.toStdString(), {true, 100});
            m_clock->advance(500);
        }
        // Display 2 answers twice: its answers arrive, whatever became of its wake-ups.
        for (const int row : {0, 1}) {
            QVERIFY(exchange().writeAnswer(2, AnswerKind::Next, itemNumberLine(row)));
            m_clock->advance(200);
        }
        const auto* cell = control<QLabel>("lblWall2");
        // The marks take the place of the line number.
        QVERIFY2(marks.isEmpty() ? cell->text().startsWith(QStringLiteral("2▶")) &&
                                       cell->text().back().isDigit()
                                 : cell->text() == QStringLiteral("2▶") + marks,
                 qPrintable(cell->text()));
        QVERIFY2(tip.isEmpty() ? !cell->toolTip().contains(QLatin1Char('\n'))
                               : cell->toolTip().contains(tip),
                 qPrintable(cell->toolTip()));
    }

    void aRefusedStartWarnsAndWritesNoJob_data() {
        QTest::addColumn<int>("items");
        QTest::newRow("no item") << 0;
        QTest::newRow("one item") << 1;
    }

    void aRefusedStartWarnsAndWritesNoJob() {
        QFETCH(int, items);
        for (int i = 0; i < items; ++i) {
            addText(QStringLiteral("A"), QStringLiteral("黒"));
        }
        // Adding wrote stop jobs; the refused start must add nothing of its own.
        exchange().deleteSet(ExchangeSet::Jobs);
        click("cmdDisplay");
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QCOMPARE(m_boxes.shown[0].text,
                 std::string("２項目以上の動作（文字や画像）を\r\n設定して下さい。"));
        QCOMPARE(m_boxes.shown[0].title, std::string("注意！"));
        QVERIFY(!m_boxes.shown[0].question);
        QVERIFY(control<QLabel>("lblDisplay")->isHidden());
        m_clock->advance(60000);
        QVERIFY(!anyJobFile());
        QCOMPARE(lineColour(), paleYellow);
    }

    void aStartedShowSendsRowZeroToDisplayOne() {
        startTwoItemShow();
        QVERIFY(m_boxes.shown.empty());
        QVERIFY(control<QLabel>("lblDisplay")->isVisible());
        // The start removed the stop jobs that adding wrote. Watcher 1 comes on at the second
        // tick of the pace of "速く", 1000 ms, and sends at its own first tick, 100 ms later.
        QVERIFY(!anyJobFile());
        m_clock->advance(2099);
        QVERIFY(!anyJobFile());
        m_clock->advance(1);
        QCOMPARE(job(1), (std::vector<std::string>{" 0 ", "文字", "", "移動しない", "", "白",
                                                   "暗い緑", "速く", "A", ""}));
        QVERIFY(!fs::exists(exchange().jobPath(2)));
        QCOMPARE(control<QLabel>("lblCon")->text(), QStringLiteral(" 2"));
        QCOMPARE(control<QLabel>("lblNum")->text(), QStringLiteral(" 1"));
    }

    void theLineLabelTurnsBrightRedWhenTheStarterStops_data() {
        QTest::addColumn<QString>("computers");
        QTest::addColumn<int>("stopMs");
        // The starter stops at its tick "computers" + 2, one pace of 1000 ms apart.
        QTest::newRow("16, as always") << "16" << 18000;
        QTest::newRow("2, read at each tick") << "2" << 4000;
    }

    void theLineLabelTurnsBrightRedWhenTheStarterStops() {
        QFETCH(QString, computers);
        QFETCH(int, stopMs);
        startTwoItemShow();
        // The hidden list is read at every tick, not at the start.
        combo("ComboNum")->setEditText(computers);
        m_clock->advance(stopMs - 1);
        QCOMPARE(lineColour(), paleYellow);
        QVERIFY(m_window->desk().chain().timer(0).isActive());
        m_clock->advance(1);
        QCOMPARE(lineColour(), brightRed);
        QVERIFY(!m_window->desk().chain().timer(0).isActive());
        // A stop leaves the colour as it is.
        click("cmdStop");
        QCOMPARE(lineColour(), brightRed);
    }

    void eachJobCarriesTheSpeedAndMovementShownWhenItIsWritten() {
        startTwoItemShow();
        m_clock->advance(2100);
        QCOMPARE(job(1).at(jobLine::speed), std::string("速く"));
        QCOMPARE(job(1).at(jobLine::movement), std::string("移動しない"));

        combo("ComboTSpeed")->setEditText(QStringLiteral("遅く"));
        combo("ComboTMove")->setEditText(QStringLiteral("左へ"));
        endAnswer(0);
        m_clock->advance(100);
        QCOMPARE(jobHead(1), std::string(" 1 "));
        QCOMPARE(job(1).at(jobLine::speed), std::string("遅く"));
        QCOMPARE(job(1).at(jobLine::movement), std::string("左へ"));
        QCOMPARE(job(1).at(jobLine::text), std::string("B"));
        QCOMPARE(control<QLabel>("lblNum")->text(), QStringLiteral(" 2"));
    }

    void repetitionIsReadAtTheEndOfTheList_data() {
        QTest::addColumn<bool>("repeat");
        QTest::newRow("ticked") << true;
        QTest::newRow("cleared") << false;
    }

    void repetitionIsReadAtTheEndOfTheList() {
        QFETCH(bool, repeat);
        auto* check = control<QCheckBox>("Check1");
        check->setChecked(!repeat);
        startTwoItemShow();
        m_clock->advance(2100);
        endAnswer(0);
        m_clock->advance(100);
        QCOMPARE(jobHead(1), std::string(" 1 "));

        // Changed while the show runs: it counts when display 1 reaches the end of the list.
        QTest::mouseClick(check, Qt::LeftButton);
        QCOMPARE(check->isChecked(), repeat);
        endAnswer(1);
        m_clock->advance(200);
        QCOMPARE(jobHead(1), std::string(repeat ? " 0 " : " 1 "));
        QCOMPARE(m_window->desk().chain().timer(1).isActive(), repeat);
    }

    void theWallStripShowsEachDisplaysStateByColourAndMark() {
        struct Expected {
            int display;
            QString text;
            QColor back;
            QString tip;
        };
        const auto verify = [this](const Expected& e) {
            const auto* cell =
                control<QLabel>(qPrintable(QStringLiteral("lblWall%1").arg(e.display)));
            QCOMPARE(cell->text(), e.text);
            QCOMPARE(cell->palette().color(QPalette::Window), e.back);
            QVERIFY2(cell->toolTip().contains(e.tip), qPrintable(cell->toolTip()));
        };
        const QColor grey(192, 192, 192);
        verify({2, QStringLiteral("2－"), grey, QStringLiteral("見つかりません")});
        runWithPresence(1000);
        verify({2, QStringLiteral("2○"), Qt::white, QStringLiteral("動いています")});
        // Display 1 is absent: display 2 takes row 0 up at once, from watcher 2's first tick.
        startTwoItemShow();
        runWithPresence(4000, 1000);
        verify({1, QStringLiteral("1－"), grey, QStringLiteral("見つかりません")});
        verify({2, QStringLiteral("2▶1"), QColor(192, 255, 192), QStringLiteral("1 行目を表示")});
        verify({3, QStringLiteral("3×"), brightRed, QStringLiteral("から応答がありません")});
    }

    void aStopEndsTheShowAndHidesTheShowingLabel() {
        startTwoItemShow();
        m_clock->advance(2100);
        click("cmdStop");
        QVERIFY(control<QLabel>("lblDisplay")->isHidden());
        QCOMPARE(jobHead(1), std::string("-1"));
        endAnswer(0);
        m_clock->advance(10000);
        QCOMPARE(jobHead(1), std::string("-1"));
        QVERIFY(fs::exists(exchange().answerPath(AnswerKind::End, 1)));
    }
};

} // namespace lm::test

QTEST_MAIN(lm::test::ShowRunWindowTest)
#include "ShowRunWindowTest.moc"
