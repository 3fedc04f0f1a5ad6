#include "PictureLoader.h"

#include "ExchangeFolder.h"
#include "PictureBox.h"
#include "TempDir.h"
#include "UniformJpeg.h"
#include "Velisto.h"
#include "WindowControls.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QtTest>

using lm::PictureBox;
using lm::PictureLoader;
using lm::test::control;

// Pictures decoded to the window's size, whatever they are like on disk.
class PictureLoaderTest : public QObject {
    Q_OBJECT

private:
    lm::test::TempDir m_dir;

    QString path(const char* name) const {
        return QString::fromStdString((m_dir.path() / name).string());
    }
    static bool writeBytes(const QString& file, const QByteArray& bytes) {
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    }
    // Red on the left half, blue on the right, as a JPEG.
    static QByteArray halvesJpeg(QSize size) {
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        painter.fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
        painter.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(),
                         Qt::blue);
        painter.end();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG", 90);
        return bytes;
    }
    // The JPEG with an Exif orientation: 6 means the stored picture is to be turned 90 degrees
    // clockwise for showing.
    static QByteArray withOrientation(const QByteArray& jpeg, quint16 orientation) {
        QByteArray exif("Exif\0\0", 6);
        exif += QByteArray("MM\0\x2A\0\0\0\x08", 8); // big-endian TIFF, first IFD at 8
        exif += QByteArray("\0\x01", 2);             // one entry
        exif += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8);
        exif += static_cast<char>(orientation >> 8);
        exif += static_cast<char>(orientation & 0xFF);
        exif += QByteArray("\0\0", 2);
        exif += QByteArray("\0\0\0\0", 4); // no next IFD
        QByteArray segment("\xFF\xE1", 2);
        const auto length = static_cast<quint16>(exif.size() + 2);
        segment += static_cast<char>(length >> 8);
        segment += static_cast<char>(length & 0xFF);
        segment += exif;
        return jpeg.left(2) + segment + jpeg.mid(2);
    }
    static bool nearly(QColor actual, QColor expected) {
        return std::abs(actual.red() - expected.red()) < 24 &&
               std::abs(actual.green() - expected.green()) < 24 &&
               std::abs(actual.blue() - expected.blue()) < 24;
    }

private slots:
    void aPhotographLargerThanTheWindowIsStretchedToIt() {
        QVERIFY(writeBytes(path("large.jpg"), halvesJpeg({4000, 3000})));
        PictureLoader loader;
        const QImage shown = loader.load(path("large.jpg"), {400, 300}).toImage();
        QCOMPARE(shown.size(), QSize(400, 300));
        QVERIFY(nearly(shown.pixelColor(20, 150), Qt::red));
        QVERIFY(nearly(shown.pixelColor(180, 20), Qt::red));
        QVERIFY(nearly(shown.pixelColor(220, 280), Qt::blue));
        QVERIFY(nearly(shown.pixelColor(380, 150), Qt::blue));
    }

    void aPictureOfTwentyThousandPixelsSquareIsShownAtTheWindowsSize() {
        // Expanded whole it would need 400 MB and more, beyond Qt's allocation limit; decoded
        // straight to the window's size it needs a few megabytes.
        QVERIFY(writeBytes(path("huge.jpg"),
                           QByteArray::fromStdString(lm::test::uniformGreyJpeg(20000, 20000))));
        PictureLoader loader;
        const QImage shown = loader.load(path("huge.jpg"), {1024, 768}).toImage();
        QCOMPARE(shown.size(), QSize(1024, 768));
        QVERIFY(nearly(shown.pixelColor(512, 384), QColor(128, 128, 128)));
        QVERIFY(nearly(shown.pixelColor(1023, 767), QColor(128, 128, 128)));
    }

    void aTurnedPhotographIsShownUpright() {
        // Stored 400 × 200, red left and blue right; shown turned: red on top, blue below.
        QVERIFY(writeBytes(path("turned.jpg"), withOrientation(halvesJpeg({400, 200}), 6)));
        PictureLoader loader;
        const QImage shown = loader.load(path("turned.jpg"), {100, 300}).toImage();
        QCOMPARE(shown.size(), QSize(100, 300));
        QVERIFY(nearly(shown.pixelColor(50, 20), Qt::red));
        QVERIFY(nearly(shown.pixelColor(50, 280), Qt::blue));
    }

    void bothPictureControlsShareOneDecoding() {
        QVERIFY(writeBytes(path("shared.jpg"), halvesJpeg({800, 600})));
        PictureLoader loader;
        const QPixmap first = loader.load(path("shared.jpg"), {400, 300});
        const QPixmap second = loader.load(path("shared.jpg"), {400, 300});
        QVERIFY(!first.isNull());
        QCOMPARE(second.cacheKey(), first.cacheKey());
        // Another size is decoded anew.
        QCOMPARE(loader.load(path("shared.jpg"), {200, 150}).size(), QSize(200, 150));
    }

    void aMovingPictureIsHeldOnceForBothControls() {
        lm::test::TempDir work;
        const lm::ExchangeFolder exchange(work.path());
        exchange.make();
        QVERIFY(writeBytes(QString::fromStdString((exchange.folder() / "photo.jpg").string()),
                           halvesJpeg({1600, 1200})));
        QCOMPARE(exchange.writeJob(
                     2, {" 0 ", "画像", "", "左へ", "", "白", "黒", "中", "", "photo.jpg"}),
                 lm::WriteStatus::Ok);
        lm::Velisto window(work.path());
        window.show();
        control<QComboBox>(window, "Combo1")->setEditText(QStringLiteral("2"));
        QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
        auto* image1 = control<PictureBox>(window, "Image1");
        auto* image2 = control<PictureBox>(window, "Image2");
        QTRY_VERIFY(!image1->pixmap().isNull());
        QCOMPARE(image1->pixmap().size(), window.size());
        // One scaled copy in memory, however many controls show it.
        QCOMPARE(image2->pixmap().cacheKey(), image1->pixmap().cacheKey());
    }

    void aDamagedJpegNeverBreaksTheLoader_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("shown");
        const QByteArray whole = halvesJpeg({640, 480});
        QTest::newRow("cut off halfway") << whole.left(whole.size() / 2) << true;
        QTest::newRow("only its header") << whole.left(200) << false;
        // Bytes of the coded picture flipped, past the top rows; the tables stay whole.
        QByteArray scrambled = whole;
        const qsizetype scan = whole.indexOf(QByteArray("\xFF\xDA", 2));
        for (qsizetype at = scan + 400; at < scrambled.size() - 2; at += 97) {
            // No marker made or broken: a flipped byte is never 0xFF nor follows one.
            const auto flipped = static_cast<char>(scrambled[at] ^ 0x5A);
            if (scrambled[at] != '\xFF' && flipped != '\xFF' && scrambled[at - 1] != '\xFF') {
                scrambled[at] = flipped;
            }
        }
        QTest::newRow("scrambled inside") << scrambled << true;
        QTest::newRow("empty file") << QByteArray() << false;
    }

    void aDamagedJpegNeverBreaksTheLoader() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, shown);
        QVERIFY(writeBytes(path("damaged.jpg"), bytes));
        PictureLoader loader;
        const QPixmap pixmap = loader.load(path("damaged.jpg"), {320, 240});
        // What can be decoded is shown at the window's size; what cannot leaves no picture.
        QCOMPARE(!pixmap.isNull(), shown);
        if (shown) {
            QCOMPARE(pixmap.size(), QSize(320, 240));
            // The top rows came before the damage.
            QVERIFY(nearly(pixmap.toImage().pixelColor(10, 2), Qt::red));
        }
    }
};

QTEST_MAIN(PictureLoaderTest)
#include "PictureLoaderTest.moc"
