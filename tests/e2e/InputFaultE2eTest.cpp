// Odd input an operator types or loads into the control program, with the real LMControl under
// Xvfb (and a real Velisto where the show runs): damaged show files, files too long for the
// list, unknown words, texts that code page 932 cannot carry. Each case runs as a test of its
// own (tests/e2e/CMakeLists.txt) and shows that nothing crashes, no stored file changes, and
// the operator is told in a message box wherever the operator has to act.

#include "ControlWindow.h"
#include "ExchangeFolder.h"
#include "ExchangeWatch.h"
#include "LineFile.h"
#include "Program.h"
#include "Screenshot.h"
#include "ShiftJis.h"
#include "TempDir.h"
#include "VelistoOnScreen.h"
#include "Vocabulary.h"
#include "Wait.h"
#include "XDo.h"
#include "XServer.h"

#include <QImage>
#include <QtTest>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace lm::e2e;
namespace fs = std::filesystem;

namespace {

const QString loadChooser = QStringLiteral("データファイルの読み込み");
const QString saveChooser = QStringLiteral("データファイルの保存");
const QString startWarningTitle = QStringLiteral("注意！");
const QString fileWarningTitle = QStringLiteral("注意！！");
const QString notShiftJis =
    QStringLiteral("に、表示プログラムに送れない文字（シフトJISにない文字）が含まれています。");

constexpr int fastEntry = 0; // "速く" in ComboTSpeed

// One item as 11 values; the reserved fields stay empty.
std::vector<std::string> item(const std::string& kind, const std::string& text,
                              const std::string& foreColour = "白",
                              const std::string& backColour = "黒",
                              const std::string& movement = "左へ",
                              const std::string& speed = "速く") {
    return {kind, text, movement, foreColour, backColour, speed, "", "", "", "", ""};
}

// The code page 932 bytes of the items' lines, each ending in CR LF.
std::string showBytes(const std::vector<std::vector<std::string>>& items) {
    std::vector<std::string> lines;
    for (const auto& values : items) {
        lines.insert(lines.end(), values.begin(), values.end());
    }
    std::string bytes;
    if (lm::lineFile::encode(lines, bytes) != lm::WriteStatus::Ok) {
        qFatal("a test item cannot be written in code page 932");
    }
    return bytes;
}

std::string readBytes(const fs::path& path) {
    return lm::lineFile::readBytes(path).value_or(std::string());
}

QColor colourOf(const char* word) {
    const lm::vocabulary::Rgb rgb = lm::vocabulary::colourRgb(*lm::vocabulary::colourNumber(word));
    return {rgb.red, rgb.green, rgb.blue};
}

bool containsColour(const QImage& image, const QRect& area, const QColor& colour) {
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); y += 2) {
        for (int x = inside.left(); x <= inside.right(); x += 2) {
            if (image.pixelColor(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

class InputFaultE2eTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<lm::test::TempDir> m_work;
    std::unique_ptr<XServer> m_screen;
    std::unique_ptr<Program> m_control;
    std::unique_ptr<ControlWindow> m_window;

    fs::path work() const { return m_work->path(); }
    fs::path data() const { return m_work->path() / "data"; }

    // The first line of display 1's job file: "-1" after a stop, " 0 " for row 0 ...
    std::string jobHead() const { return lm::ExchangeFolder(work()).readJobHead(1).line; }

    bool loadShow(const QString& name) const {
        return m_window->click("cmdFileLoad") && m_window->answerChooser(loadChooser, name);
    }
    bool saveShow(const QString& name) const {
        return m_window->click("cmdFileSave") && m_window->answerChooser(saveChooser, name);
    }

    // The text of the message box with that title, which is then answered and gone; a null
    // QString when none shows.
    QString answerWarning(const QString& title) const {
        const QString text = m_window->messageBoxText(title);
        if (text.isNull() || !m_window->answerMessageBox() ||
            !waitUntil([&] { return !m_window->isWindowShown(title); }, 3000, 50)) {
            return {};
        }
        return text;
    }

    // Selects the last line of List1 (End) and returns the text of its item, as Text1 shows it.
    QString lastLineText() const {
        const XDo xdo(*m_screen);
        const QRect list = m_window->rectOf("List1");
        if (!xdo.click(list.topLeft() + QPoint(list.width() / 2, 10)) ||
            !xdo.key(QStringLiteral("End"))) {
            return {};
        }
        QTest::qWait(200);
        return m_window->copyText("Text1");
    }

    void verifyControlRunning() const {
        QVERIFY2(m_control->isRunning(), qPrintable(m_control->output()));
        QVERIFY(m_window->caption() == QStringLiteral("制御機　ミラトス"));
    }

private slots:
    void init() {
        m_work = std::make_unique<lm::test::TempDir>();
        m_screen = std::make_unique<XServer>();
        QVERIFY2(m_screen->isRunning(), qPrintable(m_screen->error()));
        m_control = std::make_unique<Program>(QStringLiteral(LM_LMCONTROL_PATH), work(), *m_screen);
        m_window = std::make_unique<ControlWindow>(*m_screen, *m_control);
        QVERIFY2(m_window->isShown(), qPrintable(m_control->output()));
        QVERIFY(waitUntil([&] { return fs::is_directory(data()); }, 5000));
    }

    void cleanup() {
        m_window.reset();
        m_control.reset();
        m_screen.reset();
        m_work.reset();
    }

    // Bytes that are no Shift-JIS: a lead byte with a byte that cannot follow it, a lead byte
    // alone at a line's end, and single bytes that code page 932 leaves unused.
    void undecodableBytesAreShownReplacedAndNeverSent() {
        const std::vector<std::string> texts{"A\x81\xFF"
                                             "B",
                                             "C\x81",
                                             "\xA0"
                                             "D\x80\xFD"};
        const std::vector<std::vector<std::string>> items(texts.size(), item("文字", "@"));
        // Encoded with a placeholder, then the damaged bytes put in its place.
        std::string bytes = showBytes(items);
        for (const std::string& text : texts) {
            bytes.replace(bytes.find('@'), 1, text);
        }
        const fs::path file = work() / "damaged.txt";
        QVERIFY(lm::lineFile::writeBytes(file, bytes));

        QVERIFY(loadShow(QStringLiteral("damaged.txt")));
        QVERIFY2(!m_window->isWindowShown(fileWarningTitle), "the load itself needs no answer");
        // Every item has its line, the damaged bytes replaced (U+FFFD) and the rest kept.
        QCOMPARE(lastLineText(), QString::fromStdString(lm::ShiftJis::decode(texts.back())));
        QVERIFY(m_window->selectLine(0));
        QCOMPARE(m_window->copyText("Text1"),
                 QString::fromStdString(lm::ShiftJis::decode(texts.front())));
        QVERIFY(m_window->copyText("Text1").contains(QChar(0xFFFD)));

        // Starting names the first item that cannot be sent; no item job is written.
        QVERIFY(m_window->pickFromList("ComboTSpeed", fastEntry));
        QVERIFY(m_window->click("cmdDisplay"));
        const QString startWarning = answerWarning(startWarningTitle);
        QVERIFY2(
            startWarning.contains(QStringLiteral("1番目の項目：「表示させる文字」") + notShiftJis),
            qPrintable(startWarning));
        QTest::qWait(2500); // the start pace at "速く" is 1 s; watcher 1 would write at 2 s
        QCOMPARE(jobHead(), std::string("-1"));

        // Saving it back under its own name is refused: the file keeps every byte.
        QVERIFY(saveShow(QStringLiteral("damaged.txt")));
        const QString saveWarning = answerWarning(fileWarningTitle);
        QVERIFY2(
            saveWarning.contains(QStringLiteral("1番目の項目：「表示させる文字」") + notShiftJis) &&
                saveWarning.contains(QStringLiteral("には保存していません。")),
            qPrintable(saveWarning));
        QCOMPARE(readBytes(file), bytes);
        QCOMPARE(std::distance(fs::directory_iterator(work()), fs::directory_iterator()), 2);
        verifyControlRunning();
    }

    void aLongShowFileLoadsTheFirst101ItemsAndSaysSo() {
        std::vector<std::vector<std::string>> items;
        for (int i = 1; i <= 150; ++i) {
            items.push_back(item("文字", "項目" + std::to_string(i)));
        }
        const std::string bytes = showBytes(items);
        const fs::path file = work() / "long.txt";
        QVERIFY(lm::lineFile::writeBytes(file, bytes));

        QVERIFY(loadShow(QStringLiteral("long.txt")));
        const QString warning = answerWarning(fileWarningTitle);
        QVERIFY2(
            warning.contains(QStringLiteral("101項目を超える表示があります。最初の101項目だけを"
                                            "読み込み、残りは読み込んでいません。")),
            qPrintable(warning));
        QCOMPARE(lastLineText(), QStringLiteral("項目101"));

        // Saved under another name, the list is the first 101 items of the file, byte for byte.
        QVERIFY(saveShow(QStringLiteral("first")));
        QVERIFY(waitUntil([&] { return fs::exists(work() / "first.txt"); }, 3000));
        QVERIFY2(!m_window->isWindowShown(fileWarningTitle), "the save needs no answer");
        QCOMPARE(readBytes(work() / "first.txt"),
                 showBytes(std::vector(items.begin(), items.begin() + 101)));
        QCOMPARE(readBytes(file), bytes);
        verifyControlRunning();
    }

    // Kinds a display cannot show: "終了" would end the display program, any other word would
    // leave the sign standing on the item before.
    void anUnknownKindIsKeptButNotSent_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("otherWord") << QStringLiteral("動画");
        QTest::newRow("end") << QStringLiteral("終了");
    }

    void anUnknownKindIsKeptButNotSent() {
        QFETCH(QString, kind);
        VelistoOnScreen sign(work());
        QVERIFY2(sign.start(1), qPrintable(sign.error()));
        const std::string bytes =
            showBytes({item("文字", "A"), item(kind.toStdString(), "X"), item("文字", "B")});
        QVERIFY(lm::lineFile::writeBytes(work() / "kinds.txt", bytes));

        QVERIFY(loadShow(QStringLiteral("kinds.txt")));
        QVERIFY2(!m_window->isWindowShown(fileWarningTitle), "the load itself needs no answer");
        // Three items, two lines: the last line is the third item.
        QCOMPARE(lastLineText(), QStringLiteral("B"));

        QVERIFY(m_window->pickFromList("ComboTSpeed", fastEntry));
        QVERIFY(m_window->click("cmdDisplay"));
        const QString warning = answerWarning(startWarningTitle);
        QVERIFY2(warning.contains(QStringLiteral("2番目の項目の種類「") + kind +
                                  QStringLiteral("」は表示できません。")) &&
                     warning.contains(QStringLiteral("「すべて削除」して作り直して下さい。")),
                 qPrintable(warning));
        QTest::qWait(2500); // the start pace at "速く" is 1 s; watcher 1 would write at 2 s
        QCOMPARE(jobHead(), std::string("-1"));
        QVERIFY2(sign.program().isRunning(), qPrintable(sign.program().output()));

        // The item is kept: a save writes it back as it was.
        QVERIFY(saveShow(QStringLiteral("again.txt")));
        QVERIFY(waitUntil([&] { return readBytes(work() / "again.txt") == bytes; }, 3000));
        QCOMPARE(readBytes(work() / "kinds.txt"), bytes);
        verifyControlRunning();
    }

    // Colour, movement and speed words outside the vocabulary: the list loads, and the show
    // runs. The display keeps the colour it showed for a colour word it does not know.
    void unknownWordsLoadAndTheShowRuns() {
        VelistoOnScreen sign(work());
        QVERIFY2(sign.start(1), qPrintable(sign.error()));
        const std::string bytes = showBytes({item("文字", "緑", "白", "暗い緑", "右へ", "超速"),
                                             item("文字", "謎", "ピンク", "紫", "上へ", "普通")});
        QVERIFY(lm::lineFile::writeBytes(work() / "words.txt", bytes));

        QVERIFY(loadShow(QStringLiteral("words.txt")));
        QVERIFY2(!m_window->isWindowShown(fileWarningTitle), "the load itself needs no answer");
        QCOMPARE(lastLineText(), QStringLiteral("謎"));

        const ExchangeWatch exchange(data());
        QVERIFY(exchange.isWatching());
        QVERIFY(m_window->pickFromList("ComboTSpeed", fastEntry));
        // Check1 is ticked from the start: after the second item's end comes row 0 again.
        QVERIFY(m_window->click("cmdDisplay"));
        QVERIFY2(!m_window->isWindowShown(startWarningTitle), "the start needs no answer");

        const auto heads = [&] {
            std::vector<int> rows;
            for (const ExchangeWatch::Event& event : exchange.events()) {
                if (event.kind == ExchangeWatch::Event::Kind::Written &&
                    event.file == "LMData1.ini" && !event.head.empty() &&
                    (rows.empty() || rows.back() != itemNumberOf(event.head))) {
                    rows.push_back(itemNumberOf(event.head));
                }
            }
            return rows;
        };
        const QRect topStrip(0, 0, 1024, 24);
        QVERIFY(waitUntil([&] { return heads().size() >= 2; }, 10000, 50));
        // Row 1 enters at the right edge (row 0 has reached the left one): its unknown text
        // colour keeps the white and its unknown background the dark green of row 0.
        const QRect rightHalf(512, 24, 512, 744);
        const QColor darkGreen = colourOf("暗い緑");
        QImage shot;
        QVERIFY(waitUntil(
            [&] {
                shot = Screenshot::take(sign.server());
                return !Screenshot::isUniform(shot, rightHalf, darkGreen, 8);
            },
            5000, 20));
        QCOMPARE(heads().size(), std::size_t{2});
        QVERIFY2(containsColour(shot, rightHalf, Qt::white) &&
                     Screenshot::isUniform(shot, topStrip, darkGreen, 8),
                 qPrintable(Screenshot::describe(shot, {8, 8})));
        // Row 1 runs through: display 1 reports its end, and the show begins again.
        QVERIFY2(waitUntil([&] { return heads().size() >= 3; }, 15000, 50),
                 qPrintable(sign.program().output()));
        QCOMPARE(heads(), (std::vector<int>{0, 1, 0}));
        QVERIFY2(sign.program().isRunning(), qPrintable(sign.program().output()));
        QCOMPARE(readBytes(work() / "words.txt"), bytes);
        verifyControlRunning();
    }

    // A show file from elsewhere whose picture fields name a private file and a file named
    // like display 2's job file that holds an end job: the start is refused, and nothing in the
    // share changes.
    void aShowFileThatCopiesNoPictureIsRefusedAtTheStart() {
        const lm::ExchangeFolder elsewhere(work() / "elsewhere");
        fs::create_directories(elsewhere.folder());
        QVERIFY(elsewhere.writeJob(2, lm::endJob()) == lm::WriteStatus::Ok);
        QVERIFY(lm::lineFile::writeBytes(elsewhere.folder() / "secret.key", "-----BEGIN KEY-----"));
        std::vector<std::vector<std::string>> items{item("文字", "A")};
        for (const char* name : {"LMData2.ini", "secret.key"}) {
            items.push_back(item("画像", "", "白", "黒", "移動しない"));
            items.back()[6] = (elsewhere.folder() / name).string();
        }
        QVERIFY(lm::lineFile::writeBytes(work() / "show.txt", showBytes(items)));
        QVERIFY(loadShow(QStringLiteral("show.txt")));
        const auto share = [&] {
            std::map<std::string, std::string> files;
            for (const auto& entry : fs::directory_iterator(data())) {
                // The control program's sign of life changes every second.
                if (entry.path().filename() != "LMControl.dat") {
                    files[entry.path().filename().string()] = readBytes(entry.path());
                }
            }
            return files;
        };
        QVERIFY(waitUntil([&] { return share().size() == 16; }, 3000, 50)); // the stop jobs
        const std::map<std::string, std::string> before = share();

        QVERIFY(m_window->pickFromList("ComboTSpeed", fastEntry));
        QVERIFY(m_window->click("cmdDisplay"));
        const QString warning = answerWarning(startWarningTitle);
        QVERIFY2(warning.contains(
                     QStringLiteral("2番目の項目：「表示させる画像」のファイル名「"
                                    "LMData2.ini」は、表示プログラムとのやりとりに使う名前です。")),
                 qPrintable(warning));
        QTest::qWait(2500); // the start pace at "速く" is 1 s; watcher 1 would write at 2 s
        QVERIFY(share() == before);
        verifyControlRunning();
    }

    // Texts typed into Text1: "①" is in code page 932 and is added; the euro sign and an emoji
    // are not, and the item is refused with a warning that names the field.
    void aTypedTextOutsideShiftJisIsRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("added");
        QTest::newRow("circledOne") << QStringLiteral("①") << true;
        QTest::newRow("euro") << QStringLiteral("10€") << false;
        QTest::newRow("emoji") << QStringLiteral("猫\U0001F408") << false;
    }

    void aTypedTextOutsideShiftJisIsRefused() {
        QFETCH(QString, text);
        QFETCH(bool, added);
        QVERIFY(m_window->typeInto("Text1", QStringLiteral("前")));
        QVERIFY(m_window->click("cmdText"));
        QVERIFY(waitUntil([&] { return m_window->copyText("Text1").isEmpty(); }, 3000, 100));
        const QImage listBefore = m_window->grab("List1");

        QVERIFY(m_window->typeInto("Text1", text));
        QCOMPARE(m_window->copyText("Text1"), text);
        QVERIFY(m_window->click("cmdText"));
        if (added) {
            QVERIFY(waitUntil([&] { return m_window->grab("List1") != listBefore; }, 3000, 100));
            QVERIFY2(!m_window->isWindowShown(startWarningTitle), "no warning expected");
            QCOMPARE(lastLineText(), text);
        } else {
            const QString warning = answerWarning(startWarningTitle);
            QVERIFY2(warning.contains(QStringLiteral("「表示させる文字」") + notShiftJis),
                     qPrintable(warning));
            // Nothing added, and the text stays for the operator to mend.
            QCOMPARE(m_window->grab("List1"), listBefore);
            QCOMPARE(m_window->copyText("Text1"), text);
            QCOMPARE(lastLineText(), QStringLiteral("前"));
        }

        // What the list holds is saved whole.
        QVERIFY(saveShow(QStringLiteral("typed.txt")));
        std::vector<std::vector<std::string>> items{
            item("文字", "前", "白", "黒", "移動しない", "中")};
        if (added) {
            items.push_back(item("文字", text.toStdString(), "白", "黒", "移動しない", "中"));
        }
        QVERIFY(
            waitUntil([&] { return readBytes(work() / "typed.txt") == showBytes(items); }, 3000));
        verifyControlRunning();
    }
};

QTEST_GUILESS_MAIN(InputFaultE2eTest)
#include "InputFaultE2eTest.moc"
