#include "frmLMControl.h"

#include "FakeMessageBoxes.h"
#include "OperatorDesk.h"
#include "RunController.h"
#include "TestFiles.h"
#include "Twips.h"
#include "WorkingFolder.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QtTest>
#include <memory>

namespace lm::test {

namespace fs = std::filesystem;

namespace {

QStringList items(const QComboBox* combo) {
    QStringList result;
    for (int i = 0; i < combo->count(); ++i) {
        result << combo->itemText(i);
    }
    return result;
}

QString captionOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) {
        return frame->title();
    }
    return {};
}

const std::vector<std::string> exchangeFiles{"LMData1.ini",  "LMData16.ini", "LMData.ini",
                                             "LMPNext3.ans", "LMPEnd2.ans",  "LMPEnd16.ans",
                                             "LMAlive2.dat", "LMAlive16.dat"};
// The stop job in code page 932 with CR LF: "-1", "文字", "", "左へ", "", "白", "暗い青", "中",
// two ideographic blanks, "".
const std::string stopJobBytes = "-1\r\n"
                                 "\x95\xB6\x8E\x9A\r\n"
                                 "\r\n"
                                 "\x8D\xB6\x82\xD6\r\n"
                                 "\r\n"
                                 "\x94\x92\r\n"
                                 "\x88\xC3\x82\xA2\x90\xC2\r\n"
                                 "\x92\x86\r\n"
                                 "\x81\x40\x81\x40\r\n"
                                 "\r\n";
// The same with "終了" as its kind.
const std::string endJobBytes = "-1\r\n"
                                "\x8F\x49\x97\xB9\r\n"
                                "\r\n"
                                "\x8D\xB6\x82\xD6\r\n"
                                "\r\n"
                                "\x94\x92\r\n"
                                "\x88\xC3\x82\xA2\x90\xC2\r\n"
                                "\x92\x86\r\n"
                                "\x81\x40\x81\x40\r\n"
                                "\r\n";

const std::vector<std::string> keptFiles{"sample.jpg", "show.txt", "LMData1.txt", "notes.ans"};

} // namespace

// The control window started in a fresh working folder, with message boxes the test answers.
class frmLMControlTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WorkingFolder> m_work;
    FakeMessageBoxes m_boxes;
    std::unique_ptr<frmLMControl> m_window;

    void start() {
        frmLMControl::Services services;
        services.messageBoxes = &m_boxes;
        m_window = std::make_unique<frmLMControl>(services);
    }

    template <class T> T* control(const QString& name) const {
        T* widget = m_window->findChild<T*>(name);
        Q_ASSERT_X(widget != nullptr, "control", qPrintable(name));
        return widget;
    }

    void writeExchangeAndKeptFiles() const {
        for (const std::string& name : exchangeFiles) {
            writeFile(m_work->data() / name);
        }
        for (const std::string& name : keptFiles) {
            writeFile(m_work->data() / name);
        }
    }

    void verifyExchangeFilesGoneAndOthersKept() const {
        for (const std::string& name : exchangeFiles) {
            QVERIFY2(!fs::exists(m_work->data() / name), name.c_str());
        }
        for (const std::string& name : keptFiles) {
            QVERIFY2(fs::exists(m_work->data() / name), name.c_str());
        }
    }

    // Every timer of the run controller counting down, as in a running show.
    void runEveryTimer() const {
        for (int n = 0; n < RunController::timerCount; ++n) {
            m_window->desk().chain().timer(n).setInterval(100);
            m_window->desk().chain().timer(n).setEnabled(true);
        }
    }

    int runningTimers() const {
        int running = 0;
        for (int n = 0; n < RunController::timerCount; ++n) {
            running += m_window->desk().chain().timer(n).isActive() ? 1 : 0;
        }
        return running;
    }

    void verifyJobFiles(const std::string& bytes) const {
        for (int n = 1; n <= 16; ++n) {
            const fs::path job = m_work->data() / ("LMData" + std::to_string(n) + ".ini");
            QVERIFY2(readFile(job) == bytes, job.c_str());
        }
    }

private slots:
    void init() {
        m_work = std::make_unique<WorkingFolder>();
        m_boxes = FakeMessageBoxes{};
    }

    void cleanup() {
        m_window.reset();
        m_work.reset();
    }

    void startUpMakesTheExchangeFolder() {
        QVERIFY(!fs::exists(m_work->data()));
        start();
        QVERIFY(fs::is_directory(m_work->data()));
        QCOMPARE(m_window->CurrentDir, m_work->path());
    }

    void startUpRemovesOldJobsAndAnswersOnly() {
        writeExchangeAndKeptFiles();
        start();
        verifyExchangeFilesGoneAndOthersKept();
    }

    void theWindowHasItsCaptionAndIsCentred() {
        start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("制御機　ミラトス"));
        const QRect screen = m_window->screen()->geometry();
        // Centred at its designed size; a window frame may shift it by its own width.
        QVERIFY(qAbs(m_window->frameGeometry().center().x() - screen.center().x()) <= 3);
        QVERIFY(qAbs(m_window->frameGeometry().center().y() - screen.center().y()) <= 3);
        // 10815 x 8100 twips below the menu bar, at 15 twips a pixel.
        QCOMPARE(m_window->centralWidget()->size(), QSize(721, 540));
    }

    void choiceListsArePreset_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("text");
        QStringList numbers;
        for (int n = 1; n <= 16; ++n) {
            numbers << QStringLiteral(" %1").arg(n);
        }
        const QStringList colours{"黒",       "暗い青",         "暗い緑",     "暗いシアン",
                                  "暗い赤",   "暗いマゼンダ",   "暗い黄色",   "明るい灰色",
                                  "暗い灰色", "明るい青",       "明るい緑",   "明るいシアン",
                                  "明るい赤", "明るいマゼンダ", "明るい黄色", "白"};
        QTest::newRow("ComboNum") << "ComboNum" << numbers << "16";
        QTest::newRow("ComboTMove")
            << "ComboTMove" << QStringList{"移動しない", "左へ"} << "移動しない";
        QTest::newRow("ComboTForeColor") << "ComboTForeColor" << colours << "白";
        QTest::newRow("ComboTBackColor") << "ComboTBackColor" << colours << "黒";
        QTest::newRow("ComboTSpeed")
            << "ComboTSpeed" << QStringList{"速く", "やや速く", "中", "やや遅く", "遅く"} << "中";
    }

    void choiceListsArePreset() {
        QFETCH(QString, name);
        QFETCH(QStringList, entries);
        QFETCH(QString, text);
        start();
        auto* combo = control<QComboBox>(name);
        QCOMPARE(items(combo), entries);
        QCOMPARE(combo->currentText(), text);
        QVERIFY(combo->isEditable());
    }

    void theShowListStartsEmptyAndRepeatTicked() {
        start();
        QCOMPARE(control<QListWidget>("List1")->count(), 0);
        QVERIFY(control<QLineEdit>("Text1")->text().isEmpty());
        QVERIFY(control<QCheckBox>("Check1")->isChecked());
        QVERIFY(control<QLabel>("lblDisplay")->isHidden());
        QVERIFY(control<QLabel>("lblJobWrite")->isHidden());
    }

    void theDisplayCountControlsAreNeverVisible() {
        start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QVERIFY(!control<QComboBox>("ComboNum")->isVisible());
        QVERIFY(!control<QLabel>("Label2")->isVisible());
        QCOMPARE(control<QLabel>("Label2")->text(), QStringLiteral("表示するコンピュータの台数"));
    }

    void controlsStandWhereDesigned_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QString>("caption");
        const auto row = [](const char* name, const char* container, QRect twips, double points,
                            bool bold, const char* caption) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(container)
                                << twips << points << bold << QString::fromUtf8(caption);
        };
        row("Frame1", "client", {120, 0, 10455, 3615}, 12, false,
            "　　　表示させる文字、画像の選択");
        row("Label3", "Frame1", {360, 360, 6135, 375}, 12, false, "表示させる文字");
        row("Text1", "Frame1", {240, 720, 7695, 495}, 12, false, "");
        row("cmdTextClear", "Frame1", {8400, 720, 1695, 495}, 8.25, false, "テキストクリア");
        row("cmdClear", "Frame1", {8400, 1440, 1695, 495}, 9.75, false, "画像選択クリア");
        row("cmdText", "Frame1", {8400, 2400, 1695, 735}, 11.25, true, "リストに追加");
        row("Label8", "Frame1", {7800, 3240, 2535, 375}, 9.75, false, "最終行の次に追加されます");
        row("Label4", "Frame1", {120, 1560, 1095, 375}, 12, false, "文字の色");
        row("ComboTForeColor", "Frame1", {1560, 1560, 1815, 360}, 12, false, "");
        row("Label5", "Frame1", {120, 2280, 1335, 375}, 12, false, "バックの色");
        row("ComboTBackColor", "Frame1", {1560, 2280, 1815, 360}, 12, false, "");
        row("lblComputerName", "Frame1", {4200, 1440, 1215, 615}, 12, false, "表示させる画像");
        row("ImagePicture", "Frame1", {5520, 1440, 2295, 1695}, 14.25, false, "");
        row("lblInput", "Frame1", {5520, 1440, 2295, 1695}, 14.25, true,
            "ここをクリックして画像ファイルを選択");
        row("cmdFileLoad", "client", {1680, 3840, 1815, 495}, 9.75, false,
            "表示のリスト  ﾌｧｲﾙ読み込み");
        row("cmdFileSave", "client", {4080, 3840, 1455, 495}, 9.75, false, "表示のリストﾌｧｲﾙ保存");
        row("cmdDelete", "client", {6600, 3840, 1695, 495}, 9.75, false, "選択行削除");
        row("cmdAllClear", "client", {8520, 3840, 1695, 495}, 9.75, false, "すべて削除");
        row("Label9", "client", {120, 4200, 3735, 375}, 12, false, "表示のリスト");
        row("List1", "client", {120, 4560, 10455, 2085}, 11.25, false, "");
        row("Frame2", "client", {120, 6840, 2415, 1095}, 9.75, false, "現在の表示");
        row("lblDisplay", "Frame2", {120, 360, 1095, 375}, 14.25, true, "表示中");
        row("lblCon", "Frame2", {1440, 240, 855, 375}, 9.75, false, "ｺﾝﾋﾟｭｰﾀ");
        row("lblNum", "Frame2", {1440, 720, 975, 255}, 9.75, false, "行");
        row("Label1", "client", {2640, 6840, 1215, 375}, 9.75, false, "表示の速さ");
        row("ComboTSpeed", "client", {3960, 6840, 1455, 345}, 11.25, false, "");
        row("Label6", "client", {2640, 7320, 1095, 255}, 9.75, false, "画像の移動");
        row("ComboTMove", "client", {3960, 7320, 1455, 315}, 9.75, false, "");
        row("Label7", "client", {2640, 7800, 3615, 255}, 8.25, false,
            "画像を移動をさせると画面がちらつきます");
        row("Check1", "client", {5640, 7080, 1695, 615}, 11.25, true, "繰り返して表示する");
        row("cmdDisplay", "client", {7320, 6960, 1935, 855}, 14.25, true, "表示させる");
        row("cmdStop", "client", {9600, 6960, 975, 855}, 12, false, "表示を止める");
        row("ComboNum", "client", {5280, 3840, 1575, 360}, 12, false, "");
        row("Label2", "client", {8280, 0, 2055, 495}, 9.75, false, "表示するコンピュータの台数");
    }

    void controlsStandWhereDesigned() {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, twips);
        QFETCH(double, points);
        QFETCH(bool, bold);
        QFETCH(QString, caption);
        start();
        auto* widget = control<QWidget>(name);
        QCOMPARE(widget->parentWidget()->objectName(), container);
        // 15 twips a pixel at 96 dpi.
        QCOMPARE(widget->geometry(),
                 QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
        QCOMPARE(widget->font().pointSizeF(), points);
        QCOMPARE(widget->font().bold(), bold);
        QVERIFY(widget->font().families().contains(QStringLiteral("ＭＳ ゴシック")));
        QCOMPARE(captionOf(widget), caption);
    }

    void theLabelLiesExactlyOverThePreview() {
        start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        auto* preview = control<QLabel>("ImagePicture");
        auto* label = control<QLabel>("lblInput");
        QCOMPARE(label->geometry(), preview->geometry());
        QCOMPARE(label->parentWidget(), preview->parentWidget());
        QCOMPARE(label->parentWidget()->childAt(preview->geometry().center()), label);
        QVERIFY(preview->hasScaledContents());
    }

    void controlsHaveTheirColours_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::addColumn<QColor>("colour");
        const int window = QPalette::Window;
        QTest::newRow("window") << "frmLMControl" << window << QColor(192, 192, 255);
        QTest::newRow("Frame1") << "Frame1" << window << QColor(192, 192, 255);
        QTest::newRow("Frame2") << "Frame2" << window << QColor(192, 192, 255);
        QTest::newRow("Check1") << "Check1" << window << QColor(192, 192, 255);
        QTest::newRow("lblInput back") << "lblInput" << window << QColor(224, 224, 224);
        QTest::newRow("lblInput text")
            << "lblInput" << static_cast<int>(QPalette::WindowText) << QColor(0, 0, 255);
        QTest::newRow("lblDisplay") << "lblDisplay" << window << QColor(255, 255, 128);
        QTest::newRow("lblCon") << "lblCon" << window << QColor(192, 255, 255);
        QTest::newRow("lblNum") << "lblNum" << window << QColor(255, 255, 192);
    }

    void controlsHaveTheirColours() {
        QFETCH(QString, name);
        QFETCH(int, role);
        QFETCH(QColor, colour);
        start();
        const QWidget* widget =
            name == QLatin1String("frmLMControl") ? m_window.get() : control<QWidget>(name);
        QCOMPARE(widget->palette().color(static_cast<QPalette::ColorRole>(role)), colour);
    }

    void theMenusHoldTheirItemsAndSeparators() {
        start();
        const QList<QAction*> bar = m_window->menuBar()->actions();
        QCOMPARE(bar.size(), 4);
        QCOMPARE(bar[0]->text(), QStringLiteral("ファイル"));
        QCOMPARE(bar[1]->text(), QStringLiteral("終了"));
        // The urgent message's menu and the plan's come after the two of old, which stay where
        // they were.
        QCOMPARE(bar[2]->text(), QStringLiteral("緊急表示"));
        QCOMPARE(bar[3]->text(), QStringLiteral("予定"));
        const QList<QAction*> urgent = control<QMenu>("mnuUrgent")->actions();
        QCOMPARE(urgent.size(), 2);
        QCOMPARE(urgent[0]->objectName(), QStringLiteral("mnuUrgentSay"));
        QCOMPARE(urgent[1]->objectName(), QStringLiteral("mnuUrgentEnd"));
        QVERIFY(!urgent[1]->isEnabled());
        const QList<QAction*> plan = control<QMenu>("mnuPlan0")->actions();
        QCOMPARE(plan.size(), 2);
        QCOMPARE(plan[0]->objectName(), QStringLiteral("mnuPlan"));
        QCOMPARE(plan[0]->text(), QStringLiteral("週の予定..."));
        QCOMPARE(plan[1]->objectName(), QStringLiteral("mnuPlanFollow"));
        QCOMPARE(plan[1]->text(), QStringLiteral("予定に従う"));
        QVERIFY(plan[1]->isCheckable() && !plan[1]->isChecked());

        const QList<QAction*> file = control<QMenu>("mnuFile")->actions();
        QCOMPARE(file.size(), 3);
        QCOMPARE(file[0]->objectName(), QStringLiteral("mnuFileLoad"));
        QCOMPARE(file[0]->text(), QStringLiteral("読み込み"));
        QCOMPARE(file[1]->objectName(), QStringLiteral("mnu01"));
        QVERIFY(file[1]->isSeparator());
        QCOMPARE(file[2]->objectName(), QStringLiteral("mnuFileSave"));
        QCOMPARE(file[2]->text(), QStringLiteral("保存"));

        const QList<QAction*> end = control<QMenu>("mnuEnd0")->actions();
        QCOMPARE(end.size(), 3);
        QCOMPARE(end[0]->objectName(), QStringLiteral("mnuLMEnd"));
        QCOMPARE(end[0]->text(), QStringLiteral("表示プログラムをすべて終了させる"));
        QCOMPARE(end[1]->objectName(), QStringLiteral("mnuF1"));
        QVERIFY(end[1]->isSeparator());
        QCOMPARE(end[2]->objectName(), QStringLiteral("mnuLMCEnd"));
        QCOMPARE(end[2]->text(), QStringLiteral("このプログラムを終了する"));
    }

    void answeringNoToTheEndQuestionChangesNothing() {
        start();
        m_window->show();
        writeExchangeAndKeptFiles();
        m_boxes.answers.push_back(false);
        control<QAction>("mnuLMCEnd")->trigger();
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QCOMPARE(m_boxes.shown[0].text,
                 std::string("この、制御プログラムを終了させます。よろしいですか？"));
        QCOMPARE(m_boxes.shown[0].title, std::string("制御プログラムの終了"));
        QVERIFY(m_boxes.shown[0].question);
        QVERIFY(m_window->isVisible());
        QVERIFY(!m_window->isUnloaded());
        QVERIFY(fs::exists(m_work->data() / "LMData1.ini"));
    }

    void answeringYesEndsTheProgramAndCleansUp() {
        start();
        m_window->show();
        writeExchangeAndKeptFiles();
        m_boxes.answers.push_back(true);
        control<QAction>("mnuLMCEnd")->trigger();
        QVERIFY(!m_window->isVisible());
        QVERIFY(m_window->isUnloaded());
        verifyExchangeFilesGoneAndOthersKept();
    }

    void theCloseBoxCleansUpWithoutAsking() {
        start();
        m_window->show();
        writeExchangeAndKeptFiles();
        QVERIFY(m_window->close());
        QVERIFY(m_boxes.shown.empty());
        QVERIFY(m_window->isUnloaded());
        verifyExchangeFilesGoneAndOthersKept();
    }

    void stopWritesSixteenStopJobsAndDeletesTheAnswers() {
        start();
        m_window->show();
        writeExchangeAndKeptFiles();
        control<QLabel>("lblDisplay")->show();
        runEveryTimer();
        QTest::mouseClick(control<QAbstractButton>("cmdStop"), Qt::LeftButton);
        verifyJobFiles(stopJobBytes);
        for (const char* answer : {"LMPNext3.ans", "LMPEnd2.ans", "LMPEnd16.ans"}) {
            QVERIFY(!fs::exists(m_work->data() / answer));
        }
        QCOMPARE(runningTimers(), 0);
        QVERIFY(control<QLabel>("lblDisplay")->isHidden());
        QVERIFY(m_boxes.shown.empty());
    }

    void stopWithoutAShowStillWritesEveryStopJob() {
        start();
        fs::remove_all(m_work->data());
        m_window->cmdStop_Click();
        verifyJobFiles(stopJobBytes);
    }

    void endAnsweredNoWritesNothing() {
        start();
        runEveryTimer();
        m_boxes.answers.push_back(false);
        control<QAction>("mnuLMEnd")->trigger();
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QCOMPARE(m_boxes.shown[0].text,
                 std::string("表示プログラムを終了させます。よろしいですか？"));
        QCOMPARE(m_boxes.shown[0].title, std::string("表示プログラムの終了"));
        // Nothing but the program's own sign of life.
        QCOMPARE(std::distance(fs::directory_iterator(m_work->data()), {}), 1);
        QVERIFY(fs::exists(m_work->data() / "LMControl.dat"));
        QCOMPARE(runningTimers(), RunController::timerCount);
    }

    void endAnsweredYesWritesSixteenEndJobsAndStopsEveryTimer() {
        start();
        runEveryTimer();
        m_boxes.answers.push_back(true);
        control<QAction>("mnuLMEnd")->trigger();
        verifyJobFiles(endJobBytes);
        QCOMPARE(runningTimers(), 0);
        QVERIFY(m_window->isVisible() || !m_window->isUnloaded());
    }

    void failingJobWritesShowUntilWritingWorksAgain() {
        start();
        m_window->show();
        auto* indicator = control<QLabel>("lblJobWrite");
        // A file where the Exchange folder should be: no job can be written.
        fs::remove_all(m_work->data());
        writeFile(m_work->data(), "in the way");
        m_window->cmdStop_Click();
        QVERIFY(indicator->isVisible());
        QVERIFY(indicator->toolTip().contains(QStringLiteral("書き込めません")));
        QVERIFY(m_boxes.shown.empty());
        // It covers no button or list the operator may need while it shows.
        for (const QWidget* other : m_window->findChildren<QWidget*>()) {
            if (other != indicator && other->isVisible() &&
                other->parentWidget() == indicator->parentWidget()) {
                QVERIFY2(!other->geometry().intersects(indicator->geometry()),
                         qPrintable(other->objectName()));
            }
        }

        fs::remove(m_work->data());
        m_window->cmdStop_Click();
        QVERIFY(indicator->isHidden());
        verifyJobFiles(stopJobBytes);
    }

    void closingStopsEveryTimer() {
        start();
        m_window->show();
        runEveryTimer();
        QVERIFY(m_window->close());
        QCOMPARE(runningTimers(), 0);
    }

    void anotherStartFolderUsesItsOwnExchangeFolder() {
        const fs::path other = m_work->path() / "other";
        fs::create_directories(other);
        fs::current_path(other);
        start();
        QCOMPARE(m_window->CurrentDir, other);
        QVERIFY(fs::is_directory(other / "data"));
        QVERIFY(!fs::exists(m_work->data()));
    }
};

} // namespace lm::test

QTEST_MAIN(lm::test::frmLMControlTest)
#include "frmLMControlTest.moc"
