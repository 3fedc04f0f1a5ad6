#include "DisplayLogic.h"
#include "ExchangeFolder.h"
#include "PictureBox.h"
#include "SignLabel.h"
#include "TempDir.h"
#include "Velisto.h"
#include "WindowControls.h"

#include <QComboBox>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QtTest>

using lm::PictureBox;
using lm::SignLabel;
using lm::Velisto;
using lm::test::control;

// The sign window driven by real job files in its working folder.
class VelistoSignTest : public QObject {
    Q_OBJECT

private:
    struct Sign {
        lm::test::TempDir dir;
        lm::ExchangeFolder exchange{dir.path()};
        Velisto window{dir.path()};

        Sign() {
            exchange.make();
            window.show();
        }
        void confirm() {
            control<QComboBox>(window, "Combo1")->setEditText(QStringLiteral(" 7"));
            QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
        }
        void writeJob(const lm::JobLines& lines) const {
            QCOMPARE(exchange.writeJob(7, lines), lm::WriteStatus::Ok);
        }
        QString picturePath(const char* name) const {
            return QString::fromStdString((exchange.folder() / name).string());
        }
        void stillPictureJob(const char* picture) const {
            writeJob({" 1 ", "画像", "", "移動しない", "", "白", "黒", "中", "", picture});
        }
        // Shows a plain picture standing still and returns Image1 once it holds it.
        PictureBox* showStillPicture(const QColor& colour) {
            QImage picture(32, 32, QImage::Format_RGB32);
            picture.fill(colour);
            if (!picture.save(picturePath("still.bmp"))) {
                return nullptr;
            }
            stillPictureJob("still.bmp");
            confirm();
            auto* image1 = control<PictureBox>(window, "Image1");
            return QTest::qWaitFor([&] { return !image1->pixmap().isNull(); }) ? image1 : nullptr;
        }
    };

    static bool nearly(QColor actual, QColor expected) {
        return std::abs(actual.red() - expected.red()) < 24 &&
               std::abs(actual.green() - expected.green()) < 24 &&
               std::abs(actual.blue() - expected.blue()) < 24;
    }

private slots:
    void aTextJobColoursAndMovesTheLabel() {
        Sign sign;
        sign.writeJob(
            {" 0 ", "文字", "", "左へ", "", "明るい黄色", "暗い緑", "速く", "ようこそ", ""});
        sign.confirm();
        auto* label = control<SignLabel>(sign.window, "lblLM1");
        QTRY_COMPARE(label->caption(), QStringLiteral("ようこそ"));
        QCOMPARE(label->foreColour(), QColor(255, 255, 0));
        QCOMPARE(label->backColour(), QColor(0, 128, 0));
        QCOMPARE(sign.window.palette().color(QPalette::Window), QColor(0, 128, 0));
        QVERIFY(label->isVisible());
        // One step of 1/12 of the window width per 100 ms tick.
        const int width = sign.window.width();
        QTRY_VERIFY(label->x() < width);
        QCOMPARE((width - label->x()) % qRound(width / 12.0), 0);
    }

    void picturesOfEachFormatFillTheWindow_data() {
        QTest::addColumn<QString>("format");
        QTest::newRow("JPEG") << QStringLiteral("jpg");
        QTest::newRow("BMP") << QStringLiteral("bmp");
        QTest::newRow("GIF") << QStringLiteral("gif");
    }

    void picturesOfEachFormatFillTheWindow() {
        QFETCH(QString, format);
        Sign sign;
        const QString name = QStringLiteral("picture.") + format;
        const QString path = sign.picturePath(name.toLatin1().constData());
        if (format == QLatin1String("gif")) {
            // Qt reads GIF but does not write it: one pixel of colour 0, by hand.
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray::fromHex("474946383961010001008000"
                                           "00c81e1e000000"
                                           "2c00000000010001000002024401003b"));
        } else {
            QImage picture(64, 48, QImage::Format_RGB32);
            picture.fill(QColor(200, 30, 30));
            QVERIFY(picture.save(path));
        }
        sign.stillPictureJob(name.toLatin1().constData());
        sign.confirm();

        auto* image1 = control<PictureBox>(sign.window, "Image1");
        QTRY_VERIFY(!image1->pixmap().isNull());
        QCOMPARE(image1->pixmap().size(), sign.window.size());
        QCOMPARE(image1->pos(), QPoint(0, 0));
        QVERIFY(image1->isVisible());
        QVERIFY(!control<SignLabel>(sign.window, "lblLM1")->isVisible());
        const QImage shown = image1->pixmap().toImage();
        QVERIFY(
            nearly(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(200, 30, 30)));
    }

    void aPictureThatCannotBeShownLeavesThePicturesEmpty_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a picture") << QByteArray("これは画像ではない");
        // A bitmap header claiming 30000 × 30000 pixels of 32 bits: 3.6 GB.
        QByteArray huge;
        QDataStream stream(&huge, QIODevice::WriteOnly);
        stream.setByteOrder(QDataStream::LittleEndian);
        stream.writeRawData("BM", 2);
        stream << quint32(54 + 16) << quint32(0) << quint32(54);
        stream << quint32(40) << qint32(30000) << qint32(30000) << quint16(1) << quint16(32)
               << quint32(0) << quint32(0) << qint32(2835) << qint32(2835) << quint32(0)
               << quint32(0);
        stream << quint32(0) << quint32(0) << quint32(0) << quint32(0);
        QTest::newRow("too large") << huge;
    }

    void aPictureThatCannotBeShownLeavesThePicturesEmpty() {
        QFETCH(QByteArray, bytes);
        Sign sign;
        if (!bytes.isEmpty()) {
            QFile file(sign.picturePath("broken.bmp"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        sign.writeJob({" 1 ", "画像", "", "左へ", "", "白", "暗い赤", "速く", "", "broken.bmp"});
        sign.confirm();
        QTRY_COMPARE(sign.window.logic().poller().LastJobHead(), std::string(" 1 "));
        QVERIFY(control<PictureBox>(sign.window, "Image1")->pixmap().isNull());
        QVERIFY(control<PictureBox>(sign.window, "Image2")->pixmap().isNull());
        QCOMPARE(sign.window.palette().color(QPalette::Window), QColor(128, 0, 0));
        // The movement runs all the same, so the answers come as for any picture.
        QVERIFY(sign.window.logic().timer2().isActive());
        QTRY_VERIFY(sign.window.logic().engine().LMXP() < sign.window.logic().LMScreenWidth());
    }

    void aClickOnAPictureTogglesTheEndButton() {
        Sign sign;
        PictureBox* image1 = sign.showStillPicture(Qt::blue);
        QVERIFY(image1 != nullptr);
        const QPoint spot(sign.window.width() / 3, sign.window.height() / 3);
        QCOMPARE(sign.window.childAt(spot), image1);
        QTest::mouseClick(sign.window.windowHandle(), Qt::LeftButton, {}, spot);
        QVERIFY(control<QPushButton>(sign.window, "Command3")->isVisible());
        QCOMPARE(sign.window.FormFlag(), 1);
    }

    void aResizeRescalesThePictureOnce() {
        Sign sign;
        PictureBox* image1 = sign.showStillPicture(Qt::green);
        QVERIFY(image1 != nullptr);
        sign.window.resize(300, 200);
        QTRY_COMPARE(image1->pixmap().size(), QSize(300, 200));
    }

    void anEndJobClosesTheWindow() {
        Sign sign;
        sign.confirm();
        QVERIFY(sign.window.isVisible());
        sign.writeJob(lm::endJob());
        QTRY_VERIFY(!sign.window.isVisible());
        QVERIFY(!sign.window.logic().timer3().isActive());
        QVERIFY(!std::filesystem::exists(sign.exchange.answerPath(lm::AnswerKind::End, 7)));
    }
};

QTEST_MAIN(VelistoSignTest)
#include "VelistoSignTest.moc"
