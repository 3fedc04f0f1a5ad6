#include "Program.h"
#include "ScreenWatch.h"
#include "Screenshot.h"
#include "TempDir.h"
#include "VelistoOnScreen.h"
#include "Wait.h"
#include "XDo.h"
#include "XServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>

using namespace lm::e2e;
namespace fs = std::filesystem;

namespace {

// Job files as the control program writes them, in code page 932 with CR LF.
const QByteArray crlf = "\r\n";
const QByteArray bunji = "\x95\xB6\x8E\x9A";               // 文字
const QByteArray shuuryou = "\x8F\x49\x97\xB9";            // 終了
const QByteArray hidarie = "\x8D\xB6\x82\xD6";             // 左へ
const QByteArray shiro = "\x94\x92";                       // 白
const QByteArray kuraiMidori = "\x88\xC3\x82\xA2\x97\xCE"; // 暗い緑
const QByteArray kuraiAo = "\x88\xC3\x82\xA2\x90\xC2";     // 暗い青
const QByteArray hayaku = "\x91\xAC\x82\xAD";              // 速く
const QByteArray chuu = "\x92\x86";                        // 中
const QByteArray zenkakuBlanks = "\x81\x40\x81\x40";       // two ideographic spaces
const QByteArray abc = "\x82\x60\x82\x61\x82\x62";         // ＡＢＣ

QByteArray jobBytes(const QByteArray& head, const QByteArray& kind, const QByteArray& back,
                    const QByteArray& speed, const QByteArray& text) {
    return head + crlf + kind + crlf + crlf + hidarie + crlf + crlf + shiro + crlf + back + crlf +
           speed + crlf + text + crlf + crlf;
}

const QColor darkGreen(0, 128, 0);
const QColor darkBlue(0, 0, 128);
const QColor paleYellow(255, 255, 192);

// Where the start-up panel's controls stand at 15 twips per pixel.
QPoint twipsCentre(int left, int top, int width, int height) {
    return {(left + width / 2) / 15, (top + height / 2) / 15};
}
const QPoint combo1 = twipsCentre(840 + 600, 840 + 1080, 1095, 360);
const QPoint command1 = twipsCentre(840 + 2760, 840 + 960, 1575, 615);

} // namespace

class VelistoE2eTest : public QObject {
    Q_OBJECT

private:
    bool writeFile(const fs::path& path, const QByteArray& bytes) {
        QFile file(QString::fromStdString(path.string()));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static QByteArray readFile(const fs::path& path) {
        QFile file(QString::fromStdString(path.string()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Milliseconds from the clock's start until the file holds a whole line, or nothing within
    // ms. A file that has just appeared may not have been written yet.
    static std::optional<qint64> appearance(const fs::path& path, const QElapsedTimer& clock,
                                            int ms) {
        if (!waitUntil([&] { return readFile(path).endsWith('\n'); }, ms, 5)) {
            return std::nullopt;
        }
        return clock.elapsed();
    }

private slots:
    void aHandWrittenJobIsShownAndAnswered() {
        XServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        lm::test::TempDir work;
        const fs::path data = work.path() / "data";
        fs::create_directory(data);

        Program velisto(QStringLiteral(LM_VELISTO_PATH), work.path(), server);
        QVERIFY2(velisto.isRunning(), qPrintable(velisto.output()));
        XDo xdo(server);
        const quint64 window = xdo.waitForWindow(velisto.pid());
        QVERIFY2(window != 0, qPrintable(velisto.output()));
        // The frameless window covers the screen; lblLM1 shows its design colour.
        QVERIFY(waitUntil(
            [&] {
                return Screenshot::isUniform(Screenshot::take(server), {600, 500, 50, 50},
                                             paleYellow);
            },
            10000, 100));
        QCOMPARE(xdo.windowGeometry(window), QRect(QPoint(0, 0), server.size()));

        // Display number 3, typed into Combo1, then "OK".
        QVERIFY(xdo.click(combo1));
        QVERIFY(xdo.key(QStringLiteral("ctrl+a")));
        QVERIFY(xdo.type(QStringLiteral(" 3")));
        QVERIFY(xdo.click(command1));
        QVERIFY(waitUntil([&] { return xdo.windowName(window) == QStringLiteral("ミラトス  3"); },
                          5000, 50));

        // A three-character text at "速く" on a screen 15360 twips wide: the next answer at the
        // 12th tick of 100 ms, the end answer at the 39th. The job starts at the next poll,
        // at most 80 ms after the file appears.
        QElapsedTimer clock;
        QVERIFY(writeFile(data / "LMData3.ini", jobBytes(" 0 ", bunji, kuraiMidori, hayaku, abc)));
        clock.start();

        QVERIFY(waitUntil([&] { return clock.elapsed() >= 500; }, 1000));
        const QImage moving = Screenshot::take(server);
        QVERIFY2(Screenshot::isUniform(moving, {0, 0, 300, 768}, darkGreen),
                 qPrintable(Screenshot::describe(moving, {10, 10})));

        const auto next = appearance(data / "LMPNext3.ans", clock, 4000);
        QVERIFY(next);
        qInfo("next answer after %lld ms", static_cast<long long>(*next));
        QVERIFY2(*next >= 1200 - 20 && *next <= 1280 + 200, qPrintable(QString::number(*next)));
        QCOMPARE(readFile(data / "LMPNext3.ans"), QByteArray(" 0 ,\x8E\x9F\x82\xD6\r\n"));
        const auto end = appearance(data / "LMPEnd3.ans", clock, 6000);
        QVERIFY(end);
        qInfo("end answer after %lld ms", static_cast<long long>(*end));
        QVERIFY2(*end >= 3900 - 20 && *end <= 3980 + 200, qPrintable(QString::number(*end)));
        QCOMPARE(readFile(data / "LMPEnd3.ans"),
                 QByteArray(" 0 ,\x95\x5C\x8E\xA6\x8F\x49\x97\xB9\r\n"));

        // The stop job blanks the sign dark blue and is never answered.
        fs::remove(data / "LMPNext3.ans");
        fs::remove(data / "LMPEnd3.ans");
        QVERIFY(
            writeFile(data / "LMData3.ini", jobBytes("-1", bunji, kuraiAo, chuu, zenkakuBlanks)));
        QVERIFY(waitUntil(
            [&] {
                return Screenshot::isUniform(Screenshot::take(server), {0, 0, 1024, 768}, darkBlue);
            },
            3000, 100));
        QVERIFY(!waitUntil(
            [&] { return fs::exists(data / "LMPNext3.ans") || fs::exists(data / "LMPEnd3.ans"); },
            1000));

        // The end job ends the program without an answer.
        QVERIFY(writeFile(data / "LMData3.ini",
                          jobBytes("-1", shuuryou, kuraiAo, chuu, zenkakuBlanks)));
        QVERIFY2(velisto.waitForExit(3000), qPrintable(velisto.output()));
        QVERIFY(!velisto.crashed());
        QVERIFY2(velisto.exitCode() == 0, qPrintable(velisto.output()));
        QVERIFY(!fs::exists(data / "LMPNext3.ans"));
        QVERIFY(!fs::exists(data / "LMPEnd3.ans"));
    }

    // The same text on a stepping and a gliding sign side by side: a row of the screen read
    // every 2 ms shows the gliding text at many more positions than there are ticks, and both
    // signs answer at the same ticks.
    void smoothMotionGlidesAndAnswersAtTheSameTicks() {
        std::array<lm::test::TempDir, 2> work;
        std::array<std::unique_ptr<VelistoOnScreen>, 2> signs;
        for (std::size_t i = 0; i < signs.size(); ++i) {
            fs::create_directory(work[i].path() / "data");
            signs[i] = std::make_unique<VelistoOnScreen>(work[i].path());
            signs[i]->setArguments(i == 1 ? QStringList{QStringLiteral("--smooth")}
                                          : QStringList{});
            QVERIFY2(signs[i]->start(3), qPrintable(signs[i]->error()));
        }
        ScreenWatch row({&signs[0]->server(), &signs[1]->server()}, {0, 384}, 2, 1024);
        QVERIFY(row.isWatching());

        const auto started = ScreenWatch::Clock::now();
        for (const auto& folder : work) {
            QVERIFY(writeFile(folder.path() / "data" / "LMData3.ini",
                              jobBytes(" 0 ", bunji, kuraiMidori, hayaku, abc)));
        }
        // Answers from the moment each screen turned to the item's background.
        std::array<std::optional<qint64>, 2> next;
        std::array<std::optional<qint64>, 2> end;
        const auto since = [&](std::size_t i) -> std::optional<ScreenWatch::Clock::time_point> {
            for (const ScreenWatch::Change& change : row.changes()) {
                if (change.screen == static_cast<int>(i) && change.at >= started) {
                    return change.at;
                }
            }
            return std::nullopt;
        };
        const auto stamp = [&](std::optional<qint64>& at, std::size_t i, const char* file) {
            if (!at && fs::exists(work[i].path() / "data" / file)) {
                const auto shown = since(i);
                at = shown ? std::chrono::duration_cast<std::chrono::milliseconds>(
                                 ScreenWatch::Clock::now() - *shown)
                                 .count()
                           : -1;
            }
        };
        QVERIFY(waitUntil(
            [&] {
                for (std::size_t i = 0; i < 2; ++i) {
                    stamp(next[i], i, "LMPNext3.ans");
                    stamp(end[i], i, "LMPEnd3.ans");
                }
                return end[0] && end[1];
            },
            10000, 2));

        // Distinct rows between the first tick and the crossing tick (12 ticks of 100 ms).
        std::array<int, 2> positions{};
        for (std::size_t i = 0; i < 2; ++i) {
            const auto shown = since(i);
            QVERIFY(shown);
            for (const ScreenWatch::Change& change : row.changes()) {
                const auto at = change.at - *shown;
                if (change.screen == static_cast<int>(i) && at > std::chrono::milliseconds(50) &&
                    at < std::chrono::milliseconds(1150)) {
                    ++positions[i];
                }
            }
        }
        qInfo("positions in 11 ticks: stepping %d, gliding %d; next answer %lld / %lld ms, end "
              "answer %lld / %lld ms",
              positions[0], positions[1], static_cast<long long>(*next[0]),
              static_cast<long long>(*next[1]), static_cast<long long>(*end[0]),
              static_cast<long long>(*end[1]));
        // Stepping shows at most one position a tick; gliding many more, even when a loaded
        // machine drops frames.
        QVERIFY2(positions[0] <= 12, qPrintable(QString::number(positions[0])));
        QVERIFY2(positions[1] > 12 && positions[1] >= 2 * positions[0],
                 qPrintable(QString::number(positions[1])));
        // The 12th and the 39th tick on both: less than a tick apart.
        for (std::size_t i = 0; i < 2; ++i) {
            QVERIFY(next[i] && *next[i] >= 1200 - 20 && *next[i] <= 1200 + 200);
            QVERIFY(end[i] && *end[i] >= 3900 - 20 && *end[i] <= 3900 + 200);
        }
        QVERIFY2(std::abs(*next[0] - *next[1]) < 100 && std::abs(*end[0] - *end[1]) < 100,
                 "the gliding sign answers at other ticks");
    }
};

QTEST_GUILESS_MAIN(VelistoE2eTest)
#include "VelistoE2eTest.moc"
