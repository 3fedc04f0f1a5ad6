#include "frmFileLoad.h"

#include "TestFiles.h"
#include "WorkingFolder.h"

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

namespace {

QStringList texts(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i) {
        result << list->item(i)->text();
    }
    return result;
}

QStringList items(const QComboBox* combo) {
    QStringList result;
    for (int i = 0; i < combo->count(); ++i) {
        result << combo->itemText(i);
    }
    return result;
}

} // namespace

// The chooser in a temporary folder tree: the working folder holds pictures, show files and
// a sub-folder; two further folders stand in for other volumes, and one volume has no medium.
class frmFileLoadTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WorkingFolder> m_work;
    std::unique_ptr<TempDir> m_volumeB;
    std::unique_ptr<frmFileLoad> m_chooser;
    ChooserVariables m_vars;

    fs::path work() const { return m_work->path(); }
    fs::path noMedium() const { return m_volumeB->path().parent_path() / "lm-no-medium-volume"; }

    template <class T> T* control(const char* name) const {
        T* widget = m_chooser->findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT(widget != nullptr);
        return widget;
    }
    QListWidget* fileList() const { return control<QListWidget>("File1"); }
    QLineEdit* nameBox() const { return control<QLineEdit>("Text1"); }
    QComboBox* patternBox() const { return control<QComboBox>("Combo1"); }
    QComboBox* driveList() const { return control<QComboBox>("Drive1"); }

    void load(const char* mode) {
        m_vars.SMode = mode;
        m_chooser->Form_Load(m_vars);
        m_chooser->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_chooser.get()));
    }

    QListWidgetItem* fileItem(const QString& name) const {
        const QList<QListWidgetItem*> found = fileList()->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.front();
    }

    void clickFile(const QString& name) {
        QListWidgetItem* item = fileItem(name);
        QVERIFY2(item != nullptr, qPrintable(name));
        QTest::mouseClick(fileList()->viewport(), Qt::LeftButton, {},
                          fileList()->visualItemRect(item).center());
    }

    void doubleClickFile(const QString& name) {
        QListWidgetItem* item = fileItem(name);
        QVERIFY2(item != nullptr, qPrintable(name));
        const QPoint at = fileList()->visualItemRect(item).center();
        QTest::mouseClick(fileList()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(fileList()->viewport(), Qt::LeftButton, {}, at);
    }

    bool previewShown() const {
        const QLabel* preview = control<QLabel>("ImageP");
        return !preview->pixmap().isNull();
    }

private slots:
    void init() {
        m_work = std::make_unique<WorkingFolder>();
        m_volumeB = std::make_unique<TempDir>();
        writeFile(work() / "show.txt");
        writeFile(work() / "OLD.TXT");
        writeFile(work() / "notes.dat");
        writeFile(work() / "README");
        writeFile(work() / ".hidden.txt");
        writePicture(work() / "red.jpg", Qt::red);
        writePicture(work() / "blue.bmp", Qt::blue);
        writeGif(work() / "green.gif");
        writeFile(work() / "broken.jpg", "not a picture");
        fs::create_directories(work() / "pictures");
        writePicture(work() / "pictures" / "inner.jpg");
        fs::create_directories(m_volumeB->path() / "elsewhere");

        const fs::path volumeA = work();
        const fs::path volumeB = m_volumeB->path();
        const fs::path missing = noMedium();
        m_chooser = std::make_unique<frmFileLoad>([=] {
            return std::vector<fs::path>{volumeA, volumeB, missing};
        });
        m_vars = ChooserVariables{};
    }

    void cleanup() {
        m_chooser.reset();
        m_volumeB.reset();
        m_work.reset();
    }

    void startsInTheCurrentFolderWithItsLayout() {
        QCOMPARE(m_chooser->folderPath(), work());
        QCOMPARE(m_chooser->windowTitle(), QStringLiteral("ファイルの選択"));
        QCOMPARE(control<QLabel>("lblFileMessage")->text(),
                 QStringLiteral("ファイルを選んで下さい"));
        QCOMPARE(control<QPushButton>("cmdFileOk")->text(), QStringLiteral("OK"));
        QCOMPARE(control<QPushButton>("cmdFileCancel")->text(), QStringLiteral("キャンセル"));
        QCOMPARE(control<QLabel>("Label2")->text(), QStringLiteral("ファイル名"));
        QCOMPARE(control<QLabel>("Label1")->text(), QStringLiteral("ファイルの種類の指定"));
        // 9345 x 4620 twips at 15 twips a pixel; the name box at 3360, 3120, 2775, 375.
        QCOMPARE(m_chooser->size(), QSize(623, 308));
        QCOMPARE(nameBox()->geometry(), QRect(224, 208, 185, 25));
        QCOMPARE(m_chooser->focusWidget(), control<QListWidget>("Dir1"));
    }

    void modeSetsCaptionPatternsAndColour_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("patterns");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QStringList>("listed");
        const QStringList showFiles{QStringLiteral("OLD.TXT"), QStringLiteral("show.txt")};
        QTest::newRow("load") << QStringLiteral("データ読み込み")
                              << QStringLiteral("データファイルの読み込み")
                              << QStringList{"*.txt", "*.*"} << QStringLiteral("*.txt")
                              << QColor(0xC0, 0xFF, 0xC0) << showFiles;
        QTest::newRow("save") << QStringLiteral("データ保存")
                              << QStringLiteral("データファイルの保存")
                              << QStringList{"*.txt", "*.*"} << QStringLiteral("*.txt")
                              << QColor(0xFF, 0xFF, 0xC0) << showFiles;
        QTest::newRow("picture") << QStringLiteral("画像読み込み")
                                 << QStringLiteral("画像ファイルの読み込み")
                                 << QStringList{"*.jpg", "*.bmp", "*.gif", "*.*"}
                                 << QStringLiteral("*.jpg") << QColor(0xD0, 0xD0, 0xFF)
                                 << QStringList{"broken.jpg", "red.jpg"};
    }

    void modeSetsCaptionPatternsAndColour() {
        QFETCH(QString, mode);
        QFETCH(QString, title);
        QFETCH(QStringList, patterns);
        QFETCH(QString, pattern);
        QFETCH(QColor, colour);
        QFETCH(QStringList, listed);
        load(mode.toUtf8().constData());
        QCOMPARE(m_chooser->windowTitle(), title);
        QCOMPARE(control<QLabel>("lblFileMessage")->text(), title);
        QCOMPARE(items(patternBox()), patterns);
        QCOMPARE(patternBox()->currentText(), pattern);
        QCOMPARE(m_chooser->palette().color(QPalette::Window), colour);
        QCOMPARE(texts(fileList()), listed);
    }

    void anUnknownModeChangesNoneOfThem() {
        load("画像読み込み");
        patternBox()->setEditText(QStringLiteral("*.gif"));
        load("something else");
        QCOMPARE(m_chooser->windowTitle(), QStringLiteral("画像ファイルの読み込み"));
        QCOMPARE(m_chooser->palette().color(QPalette::Window), QColor(0xD0, 0xD0, 0xFF));
        QVERIFY(items(patternBox()).isEmpty());
    }

    void patternsFilterTheFileList_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("letter case ignored") << "*.txt" << QStringList{"OLD.TXT", "show.txt"};
        QTest::newRow("typed pattern") << "*.dat" << QStringList{"notes.dat"};
        QTest::newRow("several patterns") << "*.gif; *.bmp" << QStringList{"blue.bmp", "green.gif"};
        QTest::newRow("every file")
            << "*.*" << QStringList{"blue.bmp", "broken.jpg", "green.gif", "notes.dat",
                                    "OLD.TXT",  "README",     "red.jpg",   "show.txt"};
        QTest::newRow("no match") << "*.png" << QStringList{};
        QTest::newRow("single character") << "re?.jpg" << QStringList{"red.jpg"};
    }

    void patternsFilterTheFileList() {
        QFETCH(QString, pattern);
        QFETCH(QStringList, listed);
        load("データ読み込み");
        // Typing refilters at once, character by character.
        patternBox()->lineEdit()->selectAll();
        QTest::keyClicks(patternBox()->lineEdit(), pattern);
        QCOMPARE(texts(fileList()), listed);
    }

    void clickingAFilePutsItsNameIntoTheNameBox() {
        load("データ読み込み");
        clickFile(QStringLiteral("show.txt"));
        QCOMPARE(nameBox()->text(), QStringLiteral("show.txt"));
        QVERIFY(!previewShown());
    }

    void pictureModePreviewsTheClickedPicture() {
        load("画像読み込み");
        clickFile(QStringLiteral("red.jpg"));
        QVERIFY(previewShown());
        const QImage shown = control<QLabel>("ImageP")->pixmap().toImage();
        const QRgb middle = shown.pixel(shown.width() / 2, shown.height() / 2);
        QVERIFY(qRed(middle) > 200 && qGreen(middle) < 60);

        // A file that is no picture keeps the preview; its name still goes into the name box.
        clickFile(QStringLiteral("broken.jpg"));
        QCOMPARE(nameBox()->text(), QStringLiteral("broken.jpg"));
        QCOMPARE(control<QLabel>("ImageP")->pixmap().toImage(), shown);

        patternBox()->setEditText(QStringLiteral("*.bmp;*.gif"));
        clickFile(QStringLiteral("blue.bmp"));
        QCOMPARE(control<QLabel>("ImageP")->pixmap().toImage().pixelColor(0, 0), QColor(Qt::blue));
        clickFile(QStringLiteral("green.gif"));
        QCOMPARE(control<QLabel>("ImageP")->pixmap().toImage().pixelColor(0, 0), QColor(Qt::red));
    }

    void eachUseStartsWithAnEmptyNameBoxAndNoPreview() {
        load("画像読み込み");
        clickFile(QStringLiteral("red.jpg"));
        load("画像読み込み");
        QVERIFY(nameBox()->text().isEmpty());
        QVERIFY(!previewShown());
    }

    void okReturnsTheFolderAndTheNameAsTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << QString();
        QTest::newRow("new file") << QStringLiteral("新しいショー");
        QTest::newRow("blanks kept") << QStringLiteral(" show.txt ");
    }

    void okReturnsTheFolderAndTheNameAsTyped() {
        QFETCH(QString, typed);
        load("データ保存");
        nameBox()->setText(typed);
        QTest::mouseClick(control<QPushButton>("cmdFileOk"), Qt::LeftButton);
        QCOMPARE(m_vars.SResult, std::string("OK"));
        QCOMPARE(m_vars.SPath, work().string());
        QCOMPARE(m_vars.SName, typed.toStdString());
        QCOMPARE(m_vars.SDrive, work().string());
        QVERIFY(m_chooser->isHidden());
    }

    void cancelLeavesTheInitialisationValues() {
        m_chooser->openFolder(work() / "pictures");
        load("画像読み込み");
        clickFile(QStringLiteral("inner.jpg"));
        m_chooser->openFolder(work());
        QTest::mouseClick(control<QPushButton>("cmdFileCancel"), Qt::LeftButton);
        QCOMPARE(m_vars.SResult, std::string("Cancel"));
        QCOMPARE(m_vars.SPath, (work() / "pictures").string());
        QCOMPARE(m_vars.SName, std::string());
        QVERIFY(m_chooser->isHidden());
    }

    void closeBoxMeansCancel() {
        load("データ読み込み");
        m_vars.SResult = "OK"; // left over from an earlier use
        QVERIFY(m_chooser->close());
        QCOMPARE(m_vars.SResult, std::string("Cancel"));
        QVERIFY(m_chooser->isHidden());
    }

    void escapeAndEnterPressNoButton() {
        load("データ読み込み");
        nameBox()->setText(QStringLiteral("show.txt"));
        nameBox()->setFocus();
        QTest::keyClick(nameBox(), Qt::Key_Escape);
        QTest::keyClick(nameBox(), Qt::Key_Return);
        QVERIFY(m_chooser->isVisible());
        QVERIFY(m_vars.SResult.empty());
    }

    void doubleClickIsClickThenOk() {
        load("画像読み込み");
        doubleClickFile(QStringLiteral("red.jpg"));
        QCOMPARE(m_vars.SResult, std::string("OK"));
        QCOMPARE(m_vars.SName, std::string("red.jpg"));
        QCOMPARE(m_vars.SPath, work().string());
        QVERIFY(previewShown());
        QVERIFY(m_chooser->isHidden());
    }

    void theNextUseStartsWhereThisOneEnded() {
        load("データ読み込み");
        m_chooser->openFolder(work() / "pictures");
        QCOMPARE(texts(fileList()), QStringList{});
        QTest::mouseClick(control<QPushButton>("cmdFileCancel"), Qt::LeftButton);

        load("データ保存");
        QCOMPARE(m_vars.SPath, (work() / "pictures").string());
        QCOMPARE(m_chooser->folderPath(), work() / "pictures");
        QCOMPARE(patternBox()->currentText(), QStringLiteral("*.txt"));
        QCOMPARE(m_chooser->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xC0));
    }

    void theFolderListOpensFoldersOnDoubleClick() {
        load("画像読み込み");
        auto* folders = control<QListWidget>("Dir1");
        const QList<QListWidgetItem*> found =
            folders->findItems(QStringLiteral("pictures"), Qt::MatchEndsWith);
        QCOMPARE(found.size(), 1);
        const QPoint at = folders->visualItemRect(found.front()).center();
        QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(m_chooser->folderPath(), work() / "pictures");
        QVERIFY(folders->currentItem()->isSelected());
        QVERIFY(folders->currentItem()->text().endsWith(QStringLiteral("pictures")));
        QCOMPARE(texts(fileList()), QStringList{"inner.jpg"});
    }

    void aFolderThatCannotBeReadChangesNothing() {
        load("データ読み込み");
        m_chooser->openFolder(work() / "vanished");
        QCOMPARE(m_chooser->folderPath(), work());
        QCOMPARE(m_chooser->fileListPath(), work());
        QCOMPARE(texts(fileList()), (QStringList{"OLD.TXT", "show.txt"}));
    }

    void anotherVolumeOpensAtItsRoot() {
        load("データ読み込み");
        m_chooser->pickDrive(m_volumeB->path());
        QCOMPARE(m_chooser->folderPath(), m_volumeB->path());
        QCOMPARE(driveList()->currentText(), QString::fromStdString(m_volumeB->path().string()));
    }

    void aVolumeWithoutMediumSnapsBackToTheDriveOfThisUse() {
        m_chooser->openFolder(work() / "pictures");
        load("画像読み込み");
        // Another volume is visited successfully first; the snap goes back to where this use
        // of the chooser began, not to the volume visited last.
        m_chooser->pickDrive(m_volumeB->path());
        m_chooser->openFolder(m_volumeB->path() / "elsewhere");
        m_chooser->pickDrive(noMedium());
        QCOMPARE(driveList()->currentText(), QString::fromStdString(work().string()));
        QCOMPARE(m_chooser->folderPath(), work() / "pictures");
        QCOMPARE(texts(fileList()), QStringList{"inner.jpg"});
    }

    void aFolderThatCannotBeReadOnAnotherVolumeSnapsBack() {
        load("データ読み込み");
        m_chooser->pickDrive(m_volumeB->path());
        m_chooser->openFolder(m_volumeB->path() / "gone");
        QCOMPARE(driveList()->currentText(), QString::fromStdString(work().string()));
        QCOMPARE(m_chooser->folderPath(), work());
    }

    void theDriveListShowsTheVolumeOfTheFolder() {
        load("データ読み込み");
        m_chooser->openFolder(m_volumeB->path() / "elsewhere");
        QCOMPARE(driveList()->currentText(), QString::fromStdString(m_volumeB->path().string()));
        QTest::mouseClick(control<QPushButton>("cmdFileOk"), Qt::LeftButton);
        QCOMPARE(m_vars.SDrive, m_volumeB->path().string());
        QCOMPARE(m_vars.SPath, (m_volumeB->path() / "elsewhere").string());
    }

    void chooseIsModalUntilHidden() {
        m_vars.SMode = "データ読み込み";
        QTimer::singleShot(0, this, [this] {
            QCOMPARE(QApplication::activeModalWidget(), m_chooser.get());
            nameBox()->setText(QStringLiteral("show.txt"));
            QTest::mouseClick(control<QPushButton>("cmdFileOk"), Qt::LeftButton);
        });
        m_chooser->choose(m_vars);
        QCOMPARE(m_vars.SResult, std::string("OK"));
        QCOMPARE(m_vars.SName, std::string("show.txt"));
        QVERIFY(m_chooser->isHidden());
    }
};

} // namespace lm::test

QTEST_MAIN(lm::test::frmFileLoadTest)
#include "frmFileLoadTest.moc"
