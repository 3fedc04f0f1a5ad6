#include "FakeFileChooser.h"
#include "FakeMessageBoxes.h"
#include "OperatorDesk.h"
#include "ShowList.h"
#include "TestFiles.h"
#include "TestRows.h"
#include "WorkingFolder.h"
#include "frmFileLoad.h"
#include "frmLMControl.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace lm::test {

namespace fs = std::filesystem;

// The show list as the operator builds it in the control window: entries, the picture choice
// through the chooser, adding, selecting and deleting lines.
class ShowListWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WorkingFolder> m_work;
    std::unique_ptr<TempDir> m_pictures; // pictures outside the working folder
    FakeMessageBoxes m_boxes;
    FakeFileChooser m_chooser;
    std::unique_ptr<frmLMControl> m_window;

    template <class T> T* control(const char* name) const {
        T* widget = m_window->findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT_X(widget != nullptr, "control", name);
        return widget;
    }
    QLineEdit* text() const { return control<QLineEdit>("Text1"); }
    QListWidget* list() const { return control<QListWidget>("List1"); }
    QComboBox* combo(const char* name) const { return control<QComboBox>(name); }
    const ItemTable& table() const { return m_window->desk().list().table(); }

    void click(const char* button) const {
        QTest::mouseClick(control<QAbstractButton>(button), Qt::LeftButton);
    }

    // The operator picks the file in the chooser and presses OK.
    void choosePicture(const fs::path& file) {
        m_chooser.answers.push_back({"OK", file.parent_path().string(), file.filename().string()});
        QTest::mouseClick(control<QLabel>("lblInput"), Qt::LeftButton);
    }

    void addText(const QString& value) {
        text()->setText(value);
        m_window->cmdText_Click();
    }

    void selectLine(int line) {
        const QRect rect = list()->visualItemRect(list()->item(line));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
    }

    // Typing as an input method does it, one character at a time.
    static void typeInto(QWidget* widget, const QString& text) {
        QApplication::setActiveWindow(widget->window());
        widget->setFocus();
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &release);
        }
    }

    bool previewShown() const { return !control<QLabel>("ImagePicture")->pixmap().isNull(); }

    // No picture chosen: path empty, preview blank, label visible.
    void verifyNoPictureChoice() const {
        QVERIFY(m_window->PicturePath[0].empty());
        QVERIFY(!previewShown());
        QVERIFY(control<QLabel>("lblInput")->isVisible());
    }

    // Every List1 line describes the row it stands for.
    void verifyLinesMatchTable() const {
        QCOMPARE(list()->count(), table().count());
        for (int i = 0; i < list()->count(); ++i) {
            QCOMPARE(list()->item(i)->text().toStdString(), m_window->desk().list().lines()[i]);
        }
    }

    bool stopJobWritten() const { return fs::exists(m_work->data() / "LMData16.ini"); }
    void forgetStopJobs() const { fs::remove(m_work->data() / "LMData16.ini"); }

private slots:
    void init() {
        m_work = std::make_unique<WorkingFolder>();
        m_pictures = std::make_unique<TempDir>();
        m_boxes = FakeMessageBoxes{};
        m_chooser = FakeFileChooser{};
        frmLMControl::Services services;
        services.messageBoxes = &m_boxes;
        services.chooser = &m_chooser;
        m_window = std::make_unique<frmLMControl>(services);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        writePicture(m_pictures->path() / "sample.jpg", Qt::red);
        writePicture(m_pictures->path() / "other.bmp", Qt::green);
    }

    void cleanup() {
        m_window.reset();
        m_pictures.reset();
        m_work.reset();
    }

    void addingListsTheItemsDescription_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("foreColour");
        QTest::addColumn<QString>("backColour");
        QTest::addColumn<QString>("movement");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<QString>("line");
        QTest::newRow("text") << "お知らせ"
                              << "白"
                              << "黒"
                              << "移動しない" << false << "文字を左へ白色で黒色の上に「お知らせ」";
        QTest::newRow("empty text") << ""
                                    << "白"
                                    << "黒"
                                    << "移動しない" << false << "文字を左へ白色で黒色の上に「」";
        QTest::newRow("other colours")
            << "A B"
            << "明るい黄色"
            << "暗い青"
            << "左へ" << false << "文字を左へ明るい黄色色で暗い青色の上に「A B」";
        QTest::newRow("picture moving left")
            << ""
            << "白"
            << "黒"
            << "左へ" << true << "画像を 左へ,黒色の上に「sample.jpg」を表示する。";
        QTest::newRow("picture standing still")
            << ""
            << "白"
            << "明るい青"
            << "移動しない" << true
            << "画像を 移動しない,明るい青色の上に「sample.jpg」を表示する。";
    }

    void addingListsTheItemsDescription() {
        QFETCH(QString, value);
        QFETCH(QString, foreColour);
        QFETCH(QString, backColour);
        QFETCH(QString, movement);
        QFETCH(bool, picture);
        QFETCH(QString, line);
        combo("ComboTForeColor")->setEditText(foreColour);
        combo("ComboTBackColor")->setEditText(backColour);
        combo("ComboTMove")->setEditText(movement);
        if (picture) {
            choosePicture(m_pictures->path() / "sample.jpg");
        } else {
            text()->setText(value);
        }
        click("cmdText");
        QCOMPARE(list()->count(), 1);
        QCOMPARE(list()->item(0)->text(), line);
        QCOMPARE(table().count(), 1);
        QVERIFY(m_boxes.shown.empty());
        // The entries are ready for the next item.
        QVERIFY(text()->text().isEmpty());
        verifyNoPictureChoice();
    }

    void addingTakesEveryFieldFromTheEntries() {
        combo("ComboTMove")->setEditText(QStringLiteral("左へ"));
        combo("ComboTForeColor")->setEditText(QStringLiteral("明るい赤"));
        combo("ComboTBackColor")->setEditText(QStringLiteral("暗い緑"));
        combo("ComboTSpeed")->setEditText(QStringLiteral("遅く"));
        addText(QStringLiteral("ご来場ありがとうございます"));
        const ItemTable::Row expected{"文字",   "ご来場ありがとうございます",
                                      "左へ",   "明るい赤",
                                      "暗い緑", "遅く",
                                      "",       "",
                                      "",       "",
                                      ""};
        QVERIFY(table().row(0) == expected);
    }

    void typedChoicesStayAsTyped() {
        // A word that begins like an entry ("明るい赤") is not completed to it.
        QLineEdit* colour = combo("ComboTForeColor")->lineEdit();
        colour->selectAll();
        typeInto(colour, QStringLiteral("明るい"));
        QLineEdit* speed = combo("ComboTSpeed")->lineEdit();
        speed->selectAll();
        typeInto(speed, QStringLiteral("やや"));
        addText(QStringLiteral("x"));
        QCOMPARE(table().row(0)[ItemTable::textColourField], std::string("明るい"));
        QCOMPARE(table().row(0)[ItemTable::speedField], std::string("やや"));
        QCOMPARE(combo("ComboTForeColor")->count(), 16);
    }

    void aBareNameStaysWholeInTheTable() {
        writePicture(m_work->data() / "sample.jpg");
        m_window->PicturePath[0] = "sample.jpg";
        click("cmdText");
        QCOMPARE(table().row(0)[ItemTable::pictureField], std::string("sample.jpg"));
        QCOMPARE(list()->item(0)->text(),
                 QStringLiteral("画像を 移動しない,黒色の上に「sample.jpg」を表示する。"));
    }

    void everyChangeOfTheListStopsFirst_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("add") << "cmdText";
        QTest::newRow("delete") << "cmdDelete";
        QTest::newRow("delete all") << "cmdAllClear";
    }

    void everyChangeOfTheListStopsFirst() {
        QFETCH(QString, button);
        QVERIFY(!stopJobWritten());
        click(button.toLatin1().constData());
        QVERIFY(stopJobWritten());
    }

    void theListHoldsAtMost101Items() {
        for (int i = 0; i < ItemTable::rowCount; ++i) {
            addText(QString::number(i));
        }
        QCOMPARE(list()->count(), 101);
        QCOMPARE(table().count(), 101);
        QCOMPARE(list()->item(100)->text(), QStringLiteral("文字を左へ白色で黒色の上に「100」"));

        forgetStopJobs();
        text()->setText(QStringLiteral("one too many"));
        click("cmdText");
        QVERIFY(stopJobWritten());
        QCOMPARE(list()->count(), 101);
        QCOMPARE(table().count(), 101);
        QCOMPARE(text()->text(), QStringLiteral("one too many"));
        QVERIFY(m_boxes.shown.empty());
    }

    void deletingFromAFullListLeavesTheLastRowEmpty_data() {
        QTest::addColumn<int>("line");
        QTest::newRow("first") << 0;
        QTest::newRow("middle") << 50;
        QTest::newRow("last") << 100;
    }

    void deletingFromAFullListLeavesTheLastRowEmpty() {
        QFETCH(int, line);
        for (int i = 0; i < ItemTable::rowCount; ++i) {
            addText(QString::number(i));
        }
        list()->scrollToItem(list()->item(line));
        selectLine(line);
        QCOMPARE(text()->text(), QString::number(line));
        click("cmdDelete");
        QCOMPARE(table().count(), 100);
        QVERIFY(rowsFromCountAreEmpty(table()));
        verifyLinesMatchTable();
        if (line < 100) {
            QCOMPARE(table().row(line)[ItemTable::textField], std::to_string(line + 1));
        }
        // No line stays selected, so the entries are cleared.
        QVERIFY(list()->selectedItems().isEmpty());
        QCOMPARE(list()->currentRow(), -1);
        QVERIFY(text()->text().isEmpty());
        verifyNoPictureChoice();
    }

    void deletingWithNoLineSelectedOnlyClearsTheEntries() {
        addText(QStringLiteral("one"));
        addText(QStringLiteral("two"));
        choosePicture(m_pictures->path() / "sample.jpg");
        QVERIFY(previewShown());
        click("cmdDelete");
        QCOMPARE(table().count(), 2);
        QCOMPARE(list()->count(), 2);
        verifyNoPictureChoice();
    }

    void deletingAllThenAddingOneLeavesOneItem() {
        for (int i = 0; i < 5; ++i) {
            addText(QString::number(i));
        }
        text()->setText(QStringLiteral("kept"));
        click("cmdAllClear");
        QCOMPARE(list()->count(), 0);
        QCOMPARE(table().count(), 0);
        // The entries stay as they are.
        QCOMPARE(text()->text(), QStringLiteral("kept"));
        click("cmdText");
        QCOMPARE(list()->count(), 1);
        QCOMPARE(table().row(0)[ItemTable::textField], std::string("kept"));
        QVERIFY(rowsFromCountAreEmpty(table()));
    }

    void choosingAPictureEmptiesTheText() {
        text()->setText(QStringLiteral("will go"));
        choosePicture(m_pictures->path() / "sample.jpg");
        QCOMPARE(m_chooser.modes, std::vector<std::string>{"画像読み込み"});
        QVERIFY(text()->text().isEmpty());
        QVERIFY(previewShown());
        QVERIFY(control<QLabel>("lblInput")->isHidden());
        QCOMPARE(m_window->PicturePath[0], (m_pictures->path() / "sample.jpg").string());
    }

    void clickingThePreviewChoosesAgain() {
        choosePicture(m_pictures->path() / "sample.jpg");
        m_chooser.answers.push_back({"OK", m_pictures->path().string(), "other.bmp"});
        QTest::mouseClick(control<QLabel>("ImagePicture"), Qt::LeftButton);
        QCOMPARE(m_chooser.modes.size(), std::size_t{2});
        QCOMPARE(m_window->PicturePath[0], (m_pictures->path() / "other.bmp").string());
        const QImage shown = control<QLabel>("ImagePicture")->pixmap().toImage();
        QCOMPARE(shown.pixelColor(0, 0), QColor(Qt::green));
    }

    void typingDropsThePicture() {
        choosePicture(m_pictures->path() / "sample.jpg");
        QTest::keyClicks(text(), QStringLiteral("a"));
        verifyNoPictureChoice();
        click("cmdText");
        QCOMPARE(table().row(0)[ItemTable::kindField], std::string("文字"));
        QCOMPARE(table().row(0)[ItemTable::textField], std::string("a"));
    }

    void addingTwiceWithoutChoosingAgainGivesATextItem() {
        choosePicture(m_pictures->path() / "sample.jpg");
        click("cmdText");
        click("cmdText");
        QCOMPARE(table().row(0)[ItemTable::kindField], std::string("画像"));
        QCOMPARE(table().row(1)[ItemTable::kindField], std::string("文字"));
        QCOMPARE(table().row(1)[ItemTable::pictureField], std::string());
    }

    void cancellingTheChooserChangesNothing() {
        text()->setText(QStringLiteral("stays"));
        QTest::mouseClick(control<QLabel>("lblInput"), Qt::LeftButton);
        QCOMPARE(m_chooser.modes.size(), std::size_t{1});
        QCOMPARE(text()->text(), QStringLiteral("stays"));
        verifyNoPictureChoice();
    }

    void aChosenFileThatIsNoPictureOnlyEmptiesTheText() {
        writeFile(m_pictures->path() / "notes.jpg", "no picture");
        choosePicture(m_pictures->path() / "sample.jpg");
        choosePicture(m_pictures->path() / "notes.jpg");
        // The text box was empty, so the earlier choice stays.
        QCOMPARE(m_window->PicturePath[0], (m_pictures->path() / "sample.jpg").string());
        QVERIFY(previewShown());

        text()->setText(QStringLiteral("text"));
        choosePicture(m_pictures->path() / "notes.jpg");
        QVERIFY(text()->text().isEmpty());
        verifyNoPictureChoice();
        QVERIFY(m_boxes.shown.empty());
    }

    void addingCopiesThePictureIntoTheExchangeFolder() {
        writePicture(m_work->data() / "sample.jpg", Qt::blue); // an older picture of that name
        choosePicture(m_pictures->path() / "sample.jpg");
        click("cmdText");
        QCOMPARE(readFile(m_work->data() / "sample.jpg"),
                 readFile(m_pictures->path() / "sample.jpg"));
        QCOMPARE(table().row(0)[ItemTable::pictureField], std::string("sample.jpg"));
        QVERIFY(m_boxes.shown.empty());
    }

    void aPictureFromTheExchangeFolderIsNotCopiedOntoItself() {
        writePicture(m_work->data() / "inside.jpg", Qt::blue);
        const std::string before = readFile(m_work->data() / "inside.jpg");
        choosePicture(m_work->data() / "inside.jpg");
        click("cmdText");
        QCOMPARE(readFile(m_work->data() / "inside.jpg"), before);
        QCOMPARE(table().row(0)[ItemTable::kindField], std::string("画像"));
        QVERIFY(m_boxes.shown.empty());
    }

    void aPictureThatDoesNotReachTheExchangeFolderIsWarnedOf() {
        choosePicture(m_pictures->path() / "sample.jpg");
        fs::remove(m_pictures->path() / "sample.jpg");
        click("cmdText");
        QCOMPARE(table().count(), 1);
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QCOMPARE(m_boxes.shown[0].title, std::string("注意！"));
        QVERIFY(m_boxes.shown[0].text.find("sample.jpg") != std::string::npos);
        QVERIFY(!m_boxes.shown[0].question);
    }

    void selectingAPictureItemSetsItsControls() {
        combo("ComboTBackColor")->setEditText(QStringLiteral("暗い青"));
        combo("ComboTSpeed")->setEditText(QStringLiteral("速く"));
        combo("ComboTMove")->setEditText(QStringLiteral("左へ"));
        choosePicture(m_pictures->path() / "sample.jpg");
        click("cmdText");
        combo("ComboTBackColor")->setEditText(QStringLiteral("白"));
        combo("ComboTSpeed")->setEditText(QStringLiteral("中"));
        combo("ComboTMove")->setEditText(QStringLiteral("移動しない"));
        combo("ComboTForeColor")->setEditText(QStringLiteral("明るい緑"));
        text()->setText(QStringLiteral("typed"));

        selectLine(0);
        QCOMPARE(combo("ComboTBackColor")->currentText(), QStringLiteral("暗い青"));
        QCOMPARE(combo("ComboTSpeed")->currentText(), QStringLiteral("速く"));
        QCOMPARE(m_window->PicturePath[0], std::string("sample.jpg"));
        QVERIFY(previewShown());
        QVERIFY(control<QLabel>("lblInput")->isHidden());
        // These keep what they showed.
        QCOMPARE(combo("ComboTMove")->currentText(), QStringLiteral("移動しない"));
        QCOMPARE(combo("ComboTForeColor")->currentText(), QStringLiteral("明るい緑"));
        QCOMPARE(text()->text(), QStringLiteral("typed"));
        QVERIFY(m_boxes.shown.empty());
    }

    void selectingATextItemSetsEveryEntry() {
        combo("ComboTMove")->setEditText(QStringLiteral("左へ"));
        combo("ComboTForeColor")->setEditText(QStringLiteral("明るい赤"));
        combo("ComboTBackColor")->setEditText(QStringLiteral("暗い緑"));
        combo("ComboTSpeed")->setEditText(QStringLiteral("遅く"));
        addText(QStringLiteral("本日"));
        addText(QStringLiteral("second"));
        for (const char* name :
             {"ComboTMove", "ComboTForeColor", "ComboTBackColor", "ComboTSpeed"}) {
            combo(name)->setEditText(QStringLiteral("x"));
        }
        choosePicture(m_pictures->path() / "sample.jpg");

        selectLine(0);
        QCOMPARE(text()->text(), QStringLiteral("本日"));
        QCOMPARE(combo("ComboTMove")->currentText(), QStringLiteral("左へ"));
        QCOMPARE(combo("ComboTForeColor")->currentText(), QStringLiteral("明るい赤"));
        QCOMPARE(combo("ComboTBackColor")->currentText(), QStringLiteral("暗い緑"));
        QCOMPARE(combo("ComboTSpeed")->currentText(), QStringLiteral("遅く"));
        verifyNoPictureChoice();

        // Selecting by keys does the same.
        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Down);
        QCOMPARE(text()->text(), QStringLiteral("second"));
    }

    void aSelectedPictureItemAddedAgainUsesTheSameFile() {
        choosePicture(m_pictures->path() / "sample.jpg");
        click("cmdText");
        const std::string copied = readFile(m_work->data() / "sample.jpg");
        selectLine(0);
        click("cmdText");
        QCOMPARE(table().count(), 2);
        QCOMPARE(table().row(1)[ItemTable::kindField], std::string("画像"));
        QCOMPARE(table().row(1)[ItemTable::pictureField], std::string("sample.jpg"));
        QCOMPARE(readFile(m_work->data() / "sample.jpg"), copied);
        QVERIFY(m_boxes.shown.empty());
        // Adding does not select the new line.
        QVERIFY(!list()->item(1)->isSelected());
    }

    void valuesThatCannotTravelAreRefused_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("named");
        QTest::newRow("line break in the text") << "Text1"
                                                << "一行目\n二行目"
                                                << "表示させる文字";
        QTest::newRow("character outside code page 932") << "Text1"
                                                         << "안녕하세요"
                                                         << "表示させる文字";
        QTest::newRow("emoji") << "Text1"
                               << "😀"
                               << "表示させる文字";
        QTest::newRow("text colour") << "ComboTForeColor"
                                     << "白\r"
                                     << "文字の色";
        QTest::newRow("background colour") << "ComboTBackColor"
                                           << "€"
                                           << "バックの色";
        QTest::newRow("speed") << "ComboTSpeed"
                               << "中\n"
                               << "表示の速さ";
        QTest::newRow("movement") << "ComboTMove"
                                  << "Ü"
                                  << "画像の移動";
        QTest::newRow("picture file name") << "picture"
                                           << "café.jpg"
                                           << "表示させる画像";
    }

    void valuesThatCannotTravelAreRefused() {
        QFETCH(QString, control);
        QFETCH(QString, value);
        QFETCH(QString, named);
        if (control == QLatin1String("picture")) {
            const fs::path file = m_pictures->path() / value.toStdString();
            writePicture(file);
            choosePicture(file);
        } else if (control == QLatin1String("Text1")) {
            text()->setText(value);
        } else {
            combo(control.toLatin1().constData())->setEditText(value);
        }
        click("cmdText");
        QCOMPARE(table().count(), 0);
        QCOMPARE(list()->count(), 0);
        QCOMPARE(m_boxes.shown.size(), std::size_t{1});
        QCOMPARE(m_boxes.shown[0].title, std::string("注意！"));
        QVERIFY(!m_boxes.shown[0].question);
        QVERIFY2(QString::fromStdString(m_boxes.shown[0].text).contains(named),
                 m_boxes.shown[0].text.c_str());
        // Nothing reached the Exchange folder but the stop jobs.
        QVERIFY(!fs::exists(m_work->data() / value.toStdString()));
    }

    void theRealChooserPicksThePicture() {
        frmLMControl::Services services;
        services.messageBoxes = &m_boxes;
        m_window = std::make_unique<frmLMControl>(services);
        m_window->show();
        writePicture(m_work->path() / "here.jpg", Qt::blue);
        QTimer::singleShot(0, this, [] {
            auto* chooser = qobject_cast<frmFileLoad*>(QApplication::activeModalWidget());
            QVERIFY(chooser != nullptr);
            QCOMPARE(chooser->windowTitle(), QStringLiteral("画像ファイルの読み込み"));
            chooser->findChild<QLineEdit*>(QStringLiteral("Text1"))
                ->setText(QStringLiteral("here.jpg"));
            QTest::mouseClick(chooser->findChild<QPushButton*>(QStringLiteral("cmdFileOk")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(control<QLabel>("lblInput"), Qt::LeftButton);
        QCOMPARE(m_window->PicturePath[0], (m_work->path() / "here.jpg").string());
        QVERIFY(previewShown());
    }
};

} // namespace lm::test

QTEST_MAIN(lm::test::ShowListWindowTest)
#include "ShowListWindowTest.moc"
