#include "ExchangeFolder.h"
#include "FakeFileChooser.h"
#include "FakeMessageBoxes.h"
#include "OperatorDesk.h"
#include "RunController.h"
#include "ShowFile.h"
#include "ShowList.h"
#include "TestFiles.h"
#include "TestRows.h"
#include "VirtualClock.h"
#include "WorkingFolder.h"
#include "frmFileLoad.h"
#include "frmLMControl.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace lm::test {

namespace fs = std::filesystem;

namespace {

QStringList lines(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i) {
        result << list->item(i)->text();
    }
    return result;
}

// A show file of the rows, written as the program writes it.
void writeShow(const fs::path& path, const std::vector<ItemTable::Row>& rows) {
    ItemTable table;
    for (const ItemTable::Row& row : rows) {
        table.append(row);
    }
    QCOMPARE(showFile::write(path, table), WriteStatus::Ok);
}

} // namespace

// Show files saved and loaded through the control window's menu items and buttons.
class ShowFileWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WorkingFolder> m_work;
    std::unique_ptr<TempDir> m_shows; // the folder the operator keeps show files in
    std::unique_ptr<VirtualClock> m_clock;
    FakeMessageBoxes m_boxes;
    FakeFileChooser m_chooser;
    std::unique_ptr<frmLMControl> m_window;

    void open(bool realChooser = false) {
        frmLMControl::Services services;
        services.messageBoxes = &m_boxes;
        services.chooser = realChooser ? nullptr : &m_chooser;
        services.bindTimer = [clock = m_clock.get()](Timer& timer) {
            clock->attach(timer);
        };
        m_window = std::make_unique<frmLMControl>(services);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    template <class T> T* control(const char* name) const {
        T* widget = m_window->findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT_X(widget != nullptr, "control", name);
        return widget;
    }
    QListWidget* list() const { return control<QListWidget>("List1"); }
    const ItemTable& table() const { return m_window->desk().list().table(); }
    fs::path shows() const { return m_shows->path(); }
    void click(const char* button) const {
        QTest::mouseClick(control<QAbstractButton>(button), Qt::LeftButton);
    }

    // The file command as the operator gives it: by menu item or by button.
    void run(const QString& command) const {
        if (command.startsWith(QLatin1String("mnu"))) {
            control<QAction>(command.toLatin1().constData())->trigger();
        } else {
            click(command.toLatin1().constData());
        }
    }

    void addText(const QString& text, const QString& foreColour, const QString& backColour) const {
        control<QLineEdit>("Text1")->setText(text);
        control<QComboBox>("ComboTForeColor")->setEditText(foreColour);
        control<QComboBox>("ComboTBackColor")->setEditText(backColour);
        click("cmdText");
    }

    void choosePicture(const fs::path& file) {
        m_chooser.answers.push_back({"OK", file.parent_path().string(), file.filename().string()});
        QTest::mouseClick(control<QLabel>("lblInput"), Qt::LeftButton);
        QCOMPARE(m_window->PicturePath[0], file.string());
    }

    void answer(const std::string& name) {
        m_chooser.answers.push_back({"OK", shows().string(), name});
    }

    bool pictureChosen() const {
        return !m_window->PicturePath[0].empty() ||
               !control<QLabel>("ImagePicture")->pixmap().isNull() ||
               !control<QLabel>("lblInput")->isVisible();
    }

    void startShow() {
        addText(QStringLiteral("A"), QStringLiteral("白"), QStringLiteral("黒"));
        addText(QStringLiteral("B"), QStringLiteral("白"), QStringLiteral("暗い赤"));
        control<QComboBox>("ComboTSpeed")->setEditText(QStringLiteral("速く"));
        click("cmdDisplay");
        m_clock->advance(2100);
        QCOMPARE(ExchangeFolder(m_work->path()).readJobHead(1).line, std::string(" 0 "));
    }

    int runningTimers() const {
        int running = 0;
        for (int n = 0; n < RunController::timerCount; ++n) {
            running += m_window->desk().chain().timer(n).isActive() ? 1 : 0;
        }
        return running;
    }

private slots:
    void init() {
        m_work = std::make_unique<WorkingFolder>();
        m_shows = std::make_unique<TempDir>();
        m_clock = std::make_unique<VirtualClock>();
        m_boxes = FakeMessageBoxes{};
        m_chooser = FakeFileChooser{};
    }

    void cleanup() {
        m_window.reset();
        m_clock.reset();
        m_shows.reset();
        m_work.reset();
    }

    void bothCommandsStopARunningShowEvenWhenCancelled_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("mode");
        QTest::newRow("menu load") << "mnuFileLoad"
                                   << "データ読み込み";
        QTest::newRow("button load") << "cmdFileLoad"
                                     << "データ読み込み";
        QTest::newRow("menu save") << "mnuFileSave"
                                   << "データ保存";
        QTest::newRow("button save") << "cmdFileSave"
                                     << "データ保存";
    }

    void bothCommandsStopARunningShowEvenWhenCancelled() {
        QFETCH(QString, command);
        QFETCH(QString, mode);
        open();
        startShow();
        const ExchangeFolder exchange(m_work->path());
        // The show is stopped before the chooser opens.
        bool stoppedFirst = false;
        m_chooser.onOpen = [&] {
            stoppedFirst = exchange.readJobHead(16).line == "-1" && runningTimers() == 0;
        };
        run(command);
        QCOMPARE(m_chooser.modes, std::vector<std::string>{mode.toStdString()});
        QVERIFY(stoppedFirst);
        QVERIFY(control<QLabel>("lblDisplay")->isHidden());
        m_clock->advance(10000);
        QCOMPARE(exchange.readJobHead(1).line, std::string("-1"));
        // Cancelled: nothing else changed.
        QCOMPARE(list()->count(), 2);
        QCOMPARE(table().count(), 2);
        QVERIFY(m_boxes.shown.empty());
        QVERIFY(fs::is_empty(shows()));
    }

    void aRoundTripReproducesTheList() {
        open();
        const fs::path picture = shows() / "sky.jpg";
        writePicture(picture, Qt::blue);
        addText(QStringLiteral("お知らせ"), QStringLiteral("明るい黄色"), QStringLiteral("暗い青"));
        choosePicture(picture);
        click("cmdText");
        addText(QStringLiteral("A B"), QStringLiteral("白"), QStringLiteral("暗い緑"));
        const QStringList before = lines(list());
        std::vector<ItemTable::Row> rows;
        for (int r = 0; r < table().count(); ++r) {
            rows.push_back(table().row(r));
        }
        QCOMPARE(before.size(), 3);

        answer("round");
        click("cmdFileSave");
        QCOMPARE(m_window->chooserVariables().SName, std::string("round.txt"));
        QVERIFY(fs::exists(shows() / "round.txt"));

        click("cmdAllClear");
        QCOMPARE(list()->count(), 0);
        // A picture chosen for the next item is dropped by the load.
        choosePicture(picture);
        answer("round.txt");
        control<QAction>("mnuFileLoad")->trigger();
        QCOMPARE(lines(list()), before);
        QCOMPARE(table().count(), 3);
        for (int r = 0; r < 3; ++r) {
            QCOMPARE(table().row(r), rows[static_cast<std::size_t>(r)]);
        }
        QVERIFY(rowsFromCountAreEmpty(table()));
        QVERIFY(!pictureChosen());
        QVERIFY(m_boxes.shown.empty());
    }

    void theNameIsOpenedAsTyped() {
        open();
        writeShow(shows() / "show", {textRow("one")});
        writeShow(shows() / "show.txt", {textRow("a"), textRow("b"), textRow("c")});
        answer("show");
        click("cmdFileLoad");
        QCOMPARE(lines(list()), QStringList{QStringLiteral("文字を左へ白色で黒色の上に「one」")});
        QCOMPARE(table().count(), 1);
    }

    void rowsOfAnUnknownKindGetNoLine() {
        open();
        writeShow(shows() / "mixed.txt", {textRow("one"),
                                          {"XYZ", "", "", "", "", "", "", "", "", "", ""},
                                          pictureRow("sky.jpg", "左へ")});
        answer("mixed.txt");
        click("cmdFileLoad");
        QCOMPARE(table().count(), 3);
        QCOMPARE(lines(list()), (QStringList{QStringLiteral("文字を左へ白色で黒色の上に「one」"),
                                             QStringLiteral("画像を 左へ,黒色の上に「sky.jpg」を"
                                                            "表示する。")}));
        // The second line stands for the third row.
        list()->setCurrentRow(1);
        QCOMPARE(m_window->PicturePath[0], std::string("sky.jpg"));
    }

    void aFailedLoadKeepsTheOldList_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("warning");
        QTest::newRow("no such file") << "missing.txt"
                                      << "読み込めませんでした";
        QTest::newRow("a folder") << "folder"
                                  << "読み込めませんでした";
        QTest::newRow("empty name") << ""
                                    << "ファイル名を正しく入力して下さい";
    }

    void aFailedLoadKeepsTheOldList() {
        QFETCH(QString, name);
        QFETCH(QString, warning);
        open();
        fs::create_directory(shows() / "folder");
        addText(QStringLiteral("A"), QStringLiteral("白"), QStringLiteral("黒"));
        addText(QStringLiteral("B"), QStringLiteral("白"), QStringLiteral("暗い赤"));
        const QStringList before = lines(list());
        answer(name.toStdString());
        click("cmdFileLoad");
        QCOMPARE(lines(list()), before);
        QCOMPARE(table().count(), 2);
        QCOMPARE(table().row(1)[ItemTable::textField], std::string("B"));
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QCOMPARE(m_boxes.shown[0].title, std::string("注意！！"));
        QVERIFY2(QString::fromStdString(m_boxes.shown[0].text).contains(warning),
                 m_boxes.shown[0].text.c_str());
    }

    void aFailedSaveKeepsTheOldFile() {
        open();
        // A show file from elsewhere with bytes that are no Shift-JIS: they load as a
        // replacement character, which no show file can hold.
        writeFile(shows() / "broken.txt", "\x95\xB6\x8E\x9A\r\nA\xFF\xFF\r\n\r\n\r\n\r\n\r\n\r\n"
                                          "\r\n\r\n\r\n\r\n");
        answer("broken.txt");
        click("cmdFileLoad");
        QCOMPARE(table().count(), 1);
        writeFile(shows() / "show.txt", "old");

        answer("show.txt");
        click("cmdFileSave");
        QCOMPARE(readFile(shows() / "show.txt"), std::string("old"));
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QCOMPARE(m_boxes.shown[0].title, std::string("注意！！"));
        QVERIFY2(QString::fromStdString(m_boxes.shown[0].text).contains(QStringLiteral("保存して")),
                 m_boxes.shown[0].text.c_str());
        // Only the old file is there: nothing half-written was left beside it.
        QCOMPARE(std::distance(fs::directory_iterator(shows()), fs::directory_iterator()), 2);
    }

    void aSaveIntoAMissingFolderIsReported() {
        open();
        addText(QStringLiteral("A"), QStringLiteral("白"), QStringLiteral("黒"));
        m_chooser.answers.push_back({"OK", (shows() / "gone").string(), "show"});
        click("cmdFileSave");
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QVERIFY(!fs::exists(shows() / "gone"));
        QCOMPARE(table().count(), 1);
    }

    void theMenusOpenFromTheKeyboard() {
        open();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window.get(), Qt::Key_F10);
        auto* file = control<QMenu>("mnuFile");
        QVERIFY(QTest::qWaitFor([&] { return file->isVisible(); }, 2000));
        // Down past the separator to "保存", then Enter.
        QTest::keyClick(file, Qt::Key_Down);
        QTest::keyClick(file, Qt::Key_Down);
        QTest::keyClick(file, Qt::Key_Return);
        QCOMPARE(m_chooser.modes, std::vector<std::string>{"データ保存"});
    }

    void theRealChooserSavesAndLoads() {
        open(true);
        addText(QStringLiteral("A"), QStringLiteral("白"), QStringLiteral("黒"));
        addText(QStringLiteral("B"), QStringLiteral("白"), QStringLiteral("暗い赤"));
        const QStringList before = lines(list());

        // The operator types a name into the chooser, which starts in the working folder,
        // and presses OK.
        const auto answerWith = [this](const QString& caption, const QString& name) {
            QTimer::singleShot(0, this, [caption, name] {
                auto* chooser = qobject_cast<frmFileLoad*>(QApplication::activeModalWidget());
                QVERIFY(chooser != nullptr);
                QCOMPARE(chooser->windowTitle(), caption);
                chooser->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(name);
                QTest::mouseClick(chooser->findChild<QPushButton*>(QStringLiteral("cmdFileOk")),
                                  Qt::LeftButton);
            });
        };
        answerWith(QStringLiteral("データファイルの保存"), QStringLiteral("mine"));
        control<QAction>("mnuFileSave")->trigger();
        QVERIFY(fs::exists(m_work->path() / "mine.txt"));

        click("cmdAllClear");
        answerWith(QStringLiteral("データファイルの読み込み"), QStringLiteral("mine.txt"));
        click("cmdFileLoad");
        QCOMPARE(lines(list()), before);
        QVERIFY(m_boxes.shown.empty());
    }
};

} // namespace lm::test

QTEST_MAIN(lm::test::ShowFileWindowTest)
#include "ShowFileWindowTest.moc"
