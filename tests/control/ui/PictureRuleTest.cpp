#include "PictureCopy.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "ValueCheck.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QtTest>

namespace lm::test {

namespace fs = std::filesystem;

// What a picture field may put into the shared Exchange folder, with real files: JPEG and BMP
// written by Qt, the GIF by hand (Qt writes none), and what the displays' decoder makes of each.
class PictureRuleTest : public QObject {
    Q_OBJECT

private:
    // Writes a file of that content: a picture in the format its name's extension says, a
    // JPEG whatever the name, the hand-made GIF, or something that is no picture.
    static void make(const QString& content, const fs::path& file) {
        if (content == "picture") {
            writePicture(file, Qt::red);
        } else if (content == "jpeg") {
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(Qt::blue);
            QVERIFY(image.save(QString::fromStdString(file.string()), "JPEG"));
        } else if (content == "gif") {
            writeGif(file);
        } else if (content == "executable") {
            fs::copy_file(QCoreApplication::applicationFilePath().toStdString(), file);
        } else {
            writeFile(file, content.toStdString());
        }
    }

private slots:
    void onlyPicturesUnderFreeNamesReachTheExchangeFolder_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content");
        QTest::addColumn<PictureRefusal>("refusal");
        const auto row = [](const char* name, const char* content, PictureRefusal refusal) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(content) << refusal;
        };
        row("photo.jpg", "picture", PictureRefusal::None);
        row("photo.bmp", "picture", PictureRefusal::None);
        row("anim.gif", "gif", PictureRefusal::None);
        row("photo.txt", "jpeg", PictureRefusal::None);
        row("secret.key", "-----BEGIN KEY-----\n", PictureRefusal::NotAPicture);
        row("notes.jpg", "Notes\n", PictureRefusal::NotAPicture);
        row("BMW.bmp", "BMW 320i, 1987, blue\n", PictureRefusal::NotAPicture);
        row("empty.gif", "", PictureRefusal::NotAPicture);
        row("tool.jpg", "executable", PictureRefusal::NotAPicture);
        for (const char* name : {"LMData2.ini", "LMPNext1.ans", "LMPEnd16.ans", "LMAlive3.dat",
                                 "lmdata2.INI", "LMData2.ini.", ".lmtmp-host-1-2.part"}) {
            row(name, "jpeg", PictureRefusal::ReservedName);
        }
    }

    void onlyPicturesUnderFreeNamesReachTheExchangeFolder() {
        QFETCH(QString, name);
        QFETCH(QString, content);
        QFETCH(PictureRefusal, refusal);
        const TempDir dir;
        const ExchangeFolder exchange(dir.path());
        exchange.make();
        const fs::path source = dir.path() / "elsewhere" / name.toStdString();
        fs::create_directories(source.parent_path());
        make(content, source);
        // The rule agrees with the decoder: what is refused as no picture does not decode.
        QCOMPARE(QImageReader(QString::fromStdString(source.string())).read().isNull(),
                 refusal == PictureRefusal::NotAPicture);

        QCOMPARE(pictureRefusal(source.string(), exchange), refusal);
        QCOMPARE(pictureProblemWarning(source.string(), exchange).empty(),
                 refusal == PictureRefusal::None);
        const PictureCopyResult copied = copyPictureIntoExchange(source.string(), exchange);
        QCOMPARE(copied, refusal == PictureRefusal::None ? PictureCopyResult::Copied
                                                         : PictureCopyResult::Refused);

        std::vector<std::string> landed;
        for (const auto& entry : fs::directory_iterator(exchange.folder())) {
            landed.push_back(entry.path().filename().string());
        }
        if (copied == PictureCopyResult::Copied) {
            QCOMPARE(landed, std::vector<std::string>{name.toStdString()});
            QCOMPARE(readFile(exchange.folder() / landed[0]), readFile(source));
        } else {
            QVERIFY(landed.empty());
        }
    }
};

} // namespace lm::test

QTEST_GUILESS_MAIN(lm::test::PictureRuleTest)
#include "PictureRuleTest.moc"
