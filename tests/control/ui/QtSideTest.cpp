#include "FilePattern.h"
#include "PictureCopy.h"
#include "QtMessageBoxes.h"
#include "ShutdownSignals.h"
#include "TempDir.h"
#include "TestFiles.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <functional>

namespace lm::test {

namespace fs = std::filesystem;

// The Qt side of the control program's edges: real message boxes, the system's end signals,
// the file list's pattern filter, and real pictures (JPEG and BMP written by Qt, the GIF by
// hand) against the rule of what may be copied into the shared Exchange folder.
class QtSideTest : public QObject {
    Q_OBJECT

private:
    // Runs `inspect` on the message box once it is up.
    void whenBoxShows(std::function<void(QMessageBox*)> inspect) {
        QTimer::singleShot(0, this, [inspect] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            inspect(box);
        });
    }

private slots:
    void questionsHaveYesAsTheDefaultAndNoIcon_data() {
        QTest::addColumn<bool>("pressYes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }

    void questionsHaveYesAsTheDefaultAndNoIcon() {
        QFETCH(bool, pressYes);
        QtMessageBoxes boxes;
        whenBoxShows([pressYes](QMessageBox* box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("制御プログラムの終了"));
            QCOMPARE(box->text(), QStringLiteral("終了させます。よろしいですか？"));
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(static_cast<QAbstractButton*>(box->defaultButton()),
                     box->button(QMessageBox::Yes));
            box->button(pressYes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QCOMPARE(boxes.askYesNo("終了させます。よろしいですか？", "制御プログラムの終了"),
                 pressYes);
    }

    void closingAQuestionAnswersNo() {
        QtMessageBoxes boxes;
        whenBoxShows([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QVERIFY(!boxes.askYesNo("よろしいですか？", "確認"));
    }

    void warningsHaveOnlyAnOkButton() {
        QtMessageBoxes boxes;
        whenBoxShows([](QMessageBox* box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("注意！"));
            QCOMPARE(box->text(), QStringLiteral("ファイル名を正しく入力して下さい"));
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            box->button(QMessageBox::Ok)->click();
        });
        boxes.warn("ファイル名を正しく入力して下さい", "注意！");
    }

    void ctrlCCopiesTheWholeMessage_data() {
        QTest::addColumn<bool>("question");
        QTest::newRow("warning") << false;
        QTest::newRow("question") << true;
    }

    void ctrlCCopiesTheWholeMessage() {
        QFETCH(bool, question);
        QGuiApplication::clipboard()->clear();
        QtMessageBoxes boxes;
        whenBoxShows([](QMessageBox* box) {
            QVERIFY(QTest::qWaitForWindowActive(box));
            QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        if (question) {
            boxes.askYesNo("一行目\r\n二行目", "確認");
        } else {
            boxes.warn("一行目\r\n二行目", "注意！");
        }
        const QString rule = QStringLiteral("---------------------------\n");
        const QString buttons =
            question ? QStringLiteral("はい(Y)   いいえ(N)") : QStringLiteral("OK");
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 rule + (question ? QStringLiteral("確認") : QStringLiteral("注意！")) + "\n" +
                     rule + QStringLiteral("一行目\r\n二行目\n") + rule + buttons + "\n" + rule);
    }

    void endSignalsReachTheEventLoop_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void endSignalsReachTheEventLoop() {
        QFETCH(int, signal);
        ShutdownSignals shutdown;
        QSignalSpy spy(&shutdown, &ShutdownSignals::received);
        QCOMPARE(std::raise(signal), 0);
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.count(), 1);
    }

    void patternsMatchNames_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("extension") << "*.jpg"
                                   << "photo.jpg" << true;
        QTest::newRow("letter case") << "*.jpg"
                                     << "PHOTO.JPG" << true;
        QTest::newRow("other extension") << "*.jpg"
                                         << "photo.jpeg" << false;
        QTest::newRow("whole name") << "*.jpg"
                                    << "jpg" << false;
        QTest::newRow("star dot star, no extension") << "*.*"
                                                     << "README" << true;
        QTest::newRow("second of two") << "*.txt;*.dat"
                                       << "notes.dat" << true;
        QTest::newRow("neither of two") << "*.txt;*.dat"
                                        << "notes.ini" << false;
        QTest::newRow("blanks around") << " *.txt ; *.dat "
                                       << "a.txt" << true;
        QTest::newRow("empty filters nothing") << ""
                                               << "anything" << true;
        QTest::newRow("question mark") << "LMData?.ini"
                                       << "LMData1.ini" << true;
        QTest::newRow("question mark, two") << "LMData?.ini"
                                            << "LMData12.ini" << false;
        QTest::newRow("brackets are plain text") << "[a].txt"
                                                 << "[a].txt" << true;
        QTest::newRow("brackets are no set") << "[a].txt"
                                             << "a.txt" << false;
    }

    void patternsMatchNames() {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(FilePattern(pattern).matches(name), matches);
    }

    void onlyPicturesUnderFreeNamesReachTheExchangeFolder_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // a picture format, or the bytes themselves
        QTest::addColumn<PictureRefusal>("refusal");
        const auto row = [](const char* name, const char* content, PictureRefusal refusal) {
            QTest::newRow(name) << QString::fromUtf8(name) << QByteArray(content) << refusal;
        };
        row("photo.jpg", "JPEG", PictureRefusal::None);
        row("photo.bmp", "BMP", PictureRefusal::None);
        row("anim.gif", "GIF", PictureRefusal::None);
        row("photo.txt", "JPEG", PictureRefusal::None);
        row("LMData1.ini.jpg", "JPEG", PictureRefusal::None);
        row("secret.key", "-----BEGIN KEY-----\n", PictureRefusal::NotAPicture);
        row("BMW.bmp", "BMW 320i, 1987, blue\n", PictureRefusal::NotAPicture);
        row("empty.gif", "", PictureRefusal::NotAPicture);
        row("tool.jpg", "executable", PictureRefusal::NotAPicture);
        for (const char* name :
             {"LMData2.ini", "LMPNext1.ans", "LMPEnd16.ans", "LMAlive3.dat", "lmdata2.INI",
              "LMData2.ini.", ".lmtmp-host-1-2.part", "LMControl.dat", "lmcontrol.DAT"}) {
            row(name, "JPEG", PictureRefusal::ReservedName);
        }
    }

    void onlyPicturesUnderFreeNamesReachTheExchangeFolder() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(PictureRefusal, refusal);
        const TempDir dir;
        const ExchangeFolder exchange(dir.path());
        exchange.make();
        const fs::path source = dir.path() / name.toStdString();
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::blue);
        if (content == "GIF") {
            writeGif(source);
        } else if (content == "executable") {
            fs::copy_file(QCoreApplication::applicationFilePath().toStdString(), source);
        } else if (!image.save(QString::fromStdString(source.string()), content.constData())) {
            writeFile(source, content.toStdString());
        }
        // The rule agrees with the decoder: what is refused as no picture does not decode.
        QCOMPARE(QImageReader(QString::fromStdString(source.string())).read().isNull(),
                 refusal == PictureRefusal::NotAPicture);

        QCOMPARE(pictureRefusal(source.string(), exchange), refusal);
        const bool copied = refusal == PictureRefusal::None;
        QCOMPARE(copyPictureIntoExchange(source.string(), exchange),
                 copied ? PictureCopyResult::Copied : PictureCopyResult::Refused);
        // Nothing else lands in the folder, not even a temporary file.
        QCOMPARE(std::distance(fs::directory_iterator(exchange.folder()), {}), copied ? 1 : 0);
    }
};

} // namespace lm::test

QTEST_MAIN(lm::test::QtSideTest)
#include "QtSideTest.moc"
