#include "BrowserPage.h"
#include "ControlWindow.h"
#include "ExchangeFolder.h"
#include "ExchangeWatch.h"
#include "KeptScreenshot.h"
#include "LineFile.h"
#include "Program.h"
#include "Screenshot.h"
#include "StartCheck.h"
#include "TempDir.h"
#include "VelistoOnScreen.h"
#include "Wait.h"
#include "XDo.h"
#include "XServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

using namespace lm::e2e;
namespace fs = std::filesystem;

namespace {

const QColor darkBlue(0, 0, 128);

bool exchangeFilesLeft(const fs::path& data) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(data, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("LMData") || name.starts_with("LMPNext") ||
            name.starts_with("LMPEnd")) {
            return true;
        }
    }
    return false;
}

bool screenIsDarkBlue(const XServer& screen) {
    return Screenshot::isUniform(Screenshot::take(screen), {0, 0, 1024, 768}, darkBlue);
}

const QColor darkGreen(0, 128, 0);
const QRect topStrip(0, 0, 1024, 24);

// A show file of texts, each with its back colour.
void writeTexts(const fs::path& file,
                const std::vector<std::pair<const char*, const char*>>& texts) {
    std::vector<std::string> lines;
    for (const auto& [text, back] : texts) {
        const std::vector<std::string> item{"文字", text, "移動しない", "白", back, "中",
                                            "",     "",   "",           "",   ""};
        lines.insert(lines.end(), item.begin(), item.end());
    }
    std::string bytes;
    QVERIFY(lm::lineFile::encode(lines, bytes) == lm::WriteStatus::Ok);
    QVERIFY(lm::lineFile::writeBytes(file, bytes));
}

// A show file of two texts: "A" on dark green, then "B" on dark red; or only the first.
void writeShow(const fs::path& file, int items = 2) {
    std::vector<std::pair<const char*, const char*>> texts{{"A", "暗い緑"}, {"B", "暗い赤"}};
    texts.resize(static_cast<std::size_t>(items));
    writeTexts(file, texts);
}

// An environment variable set for the programs that a test starts, and unset after it.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value) : m_name(name) {
        qputenv(name, value);
    }
    ~ScopedVariable() { qunsetenv(m_name); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
};

std::string jobHead(const lm::ExchangeFolder& exchange, int display) {
    const lm::JobHead head = exchange.readJobHead(display);
    return head.status == lm::JobHead::Status::Ok ? head.line : std::string("<none>");
}

// The list shows lines: its first line holds text, its last one (the list holds two) none.
bool listShowsItems(const ControlWindow& window) {
    const QImage list = window.grab("List1");
    return !Screenshot::isUniform(list, {4, 2, 300, 14}, Qt::white) &&
           Screenshot::isUniform(list, {4, 60, 300, 14}, Qt::white);
}

// A TCP port of the loopback that nothing listens on now.
int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// LMControl with the environment of the server's folders but no display server at all.
QProcessEnvironment withoutDisplay(const XServer& server) {
    QProcessEnvironment environment = server.environment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // A window would need it, and find no X server.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return environment;
}

// A one-shot LMControl command (--web-password, --web-token): its standard output.
QString runOnce(const XServer& server, const fs::path& work, const QStringList& arguments,
                const QByteArray& input = {}) {
    QProcess once;
    once.setProcessEnvironment(withoutDisplay(server));
    once.setWorkingDirectory(QString::fromStdString(work.string()));
    once.start(QStringLiteral(LM_LMCONTROL_PATH), arguments);
    once.write(input);
    once.closeWriteChannel();
    once.waitForFinished(15000);
    return once.exitCode() == 0 ? QString::fromUtf8(once.readAllStandardOutput()).trimmed()
                                : QString();
}

// curl from another address of this computer (127.0.0.2) with the token, as a script on
// another computer would call the web API: the status and the body.
struct Curled {
    int status = 0;
    QString body;
};
Curled curl(int port, const QString& token, const QString& method, const QString& path,
            const QString& json = {}) {
    QProcess client;
    QStringList arguments{"-sk",
                          "--interface",
                          "127.0.0.2",
                          "-X",
                          method,
                          "-H",
                          "Authorization: Bearer " + token,
                          "-w",
                          "\n%{http_code}",
                          QStringLiteral("https://127.0.0.1:%1%2").arg(port).arg(path)};
    // Every command sends its length, an empty body too.
    arguments << "-H"
              << "Content-Type: application/json"
              << "--data-binary" << json;
    client.start(QStringLiteral("curl"), arguments);
    client.waitForFinished(15000);
    const QString out = QString::fromUtf8(client.readAllStandardOutput());
    const qsizetype split = out.lastIndexOf('\n');
    return {out.mid(split + 1).toInt(), out.left(split)};
}

// The fingerprint line of LMControl --web-info.
QString fingerprintIn(const QString& info) {
    for (const QString& line : info.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("SHA-256:"))) {
            return line.mid(8).trimmed();
        }
    }
    return {};
}

std::string jobText(const lm::ExchangeFolder& exchange, int display) {
    const std::optional<std::vector<std::string>> job = exchange.readJob(display);
    return job ? job->at(lm::jobLine::text) : std::string("<none>");
}

// The page at a phone's size and at a desktop's, kept as page-390x844.png and
// page-1280x800.png in the folder LM_E2E_SHOTS names, when it is set (docs/ has them).
void keepPageShots(BrowserPage& page) {
    const QString folder = qEnvironmentVariable("LM_E2E_SHOTS");
    if (folder.isEmpty()) {
        return;
    }
    for (const QSize size : {QSize(390, 844), QSize(1280, 800)}) {
        QVERIFY(page.setViewport(size));
        QVERIFY2(page.screenshot(QStringLiteral("%1/page-%2x%3.png")
                                     .arg(folder)
                                     .arg(size.width())
                                     .arg(size.height())),
                 qPrintable(page.error()));
    }
}

QString byId(const char* id) {
    return QStringLiteral("document.getElementById('%1')").arg(QLatin1String(id));
}

} // namespace

// LMControl and two Velisto, each on a screen of its own, meeting in one working folder.
class LMControlE2eTest : public QObject {
    Q_OBJECT

private slots:
    void stopEndAndCloseReachEveryDisplay() {
        lm::test::TempDir work;
        const fs::path data = work.path() / "data";

        XServer controlScreen;
        QVERIFY2(controlScreen.isRunning(), qPrintable(controlScreen.error()));
        Program control(QStringLiteral(LM_LMCONTROL_PATH), work.path(), controlScreen);
        const ControlWindow window(controlScreen, control);
        QVERIFY2(window.isShown(), qPrintable(control.output()));
        QCOMPARE(window.caption(), QStringLiteral("制御機　ミラトス"));
        QVERIFY(waitUntil([&] { return fs::is_directory(data); }, 5000));

        VelistoOnScreen one(work.path());
        QVERIFY2(one.start(1), qPrintable(one.error()));
        VelistoOnScreen two(work.path());
        QVERIFY2(two.start(2), qPrintable(two.error()));

        // The window is 10815 twips wide and 8100 high below its menu bar.
        QVERIFY2(window.menuBarHeight() > 0 && window.menuBarHeight() < 60,
                 qPrintable(QString::number(window.menuBarHeight())));

        // "表示を止める": both signs turn dark blue.
        QVERIFY(window.click("cmdStop"));
        QVERIFY(waitUntil([&] { return screenIsDarkBlue(one.server()); }, 5000, 100));
        QVERIFY(waitUntil([&] { return screenIsDarkBlue(two.server()); }, 5000, 100));
        QVERIFY(one.program().isRunning());
        QVERIFY(two.program().isRunning());

        // "終了" > "表示プログラムをすべて終了させる", then Yes (the default button): both end.
        QVERIFY(window.chooseMenuItem(ControlWindow::Menu::End, 0));
        QVERIFY(window.answerMessageBox());
        QVERIFY2(one.program().waitForExit(5000), qPrintable(one.program().output()));
        QVERIFY2(two.program().waitForExit(5000), qPrintable(two.program().output()));
        QCOMPARE(one.program().exitCode(), 0);
        QCOMPARE(two.program().exitCode(), 0);
        QVERIFY(control.isRunning());
        QVERIFY(exchangeFilesLeft(data));

        // "このプログラムを終了する", then Yes: the job and answer files go with the program.
        fs::copy_file(data / "LMData1.ini", data / "picture.jpg");
        QVERIFY(window.chooseMenuItem(ControlWindow::Menu::End, 1));
        QVERIFY(window.answerMessageBox());
        QVERIFY2(control.waitForExit(5000), qPrintable(control.output()));
        QCOMPARE(control.exitCode(), 0);
        QVERIFY(!exchangeFilesLeft(data));
        QVERIFY(fs::exists(data / "picture.jpg"));
    }

    // The control computer comes back by itself: a show the program was killed in is started
    // again from row 0 by --resume, one the operator stopped is not.
    void aKilledShowIsResumedAndAStoppedOneIsNot() {
        lm::test::TempDir work;
        const lm::ExchangeFolder exchange(work.path());
        writeShow(work.path() / "show.txt");
        XServer controlScreen;
        QVERIFY2(controlScreen.isRunning(), qPrintable(controlScreen.error()));
        auto control = std::make_unique<Program>(QStringLiteral(LM_LMCONTROL_PATH), work.path(),
                                                 controlScreen, QStringList{"--start", "show.txt"});
        VelistoOnScreen one(work.path());
        QVERIFY2(one.start(1), qPrintable(one.error()));
        VelistoOnScreen two(work.path());
        QVERIFY2(two.start(2), qPrintable(two.error()));
        // At "中" display 1 gets row 0 two paces (6 s) after the start, display 2 some 4 s later.
        QVERIFY2(waitUntil([&] { return jobHead(exchange, 2) == " 0 "; }, 20000, 50),
                 qPrintable(control->output()));
        QVERIFY(::kill(static_cast<pid_t>(control->pid()), SIGKILL) == 0);
        QVERIFY(control->waitForExit(5000));
        exchange.deleteSet(lm::ExchangeSet::Jobs);

        control = std::make_unique<Program>(QStringLiteral(LM_LMCONTROL_PATH), work.path(),
                                            controlScreen, QStringList{"--resume"});
        for (const VelistoOnScreen* sign : {&one, &two}) {
            const int n = sign == &one ? 1 : 2;
            QVERIFY2(waitUntil([&] { return jobHead(exchange, n) == " 0 "; }, 20000, 50),
                     qPrintable(control->output()));
            QVERIFY(sign->waitForColour(topStrip, darkGreen, 3000));
        }

        // "表示を止める" and the close box: the list comes back, the show does not.
        {
            const ControlWindow window(controlScreen, *control);
            QVERIFY(window.click("cmdStop"));
            QVERIFY(window.clickCloseBox());
            QVERIFY2(control->waitForExit(5000), qPrintable(control->output()));
        }
        control = std::make_unique<Program>(QStringLiteral(LM_LMCONTROL_PATH), work.path(),
                                            controlScreen, QStringList{"--resume"});
        const ControlWindow window(controlScreen, *control);
        QVERIFY(waitUntil([&] { return listShowsItems(window); }, 5000, 100));
        QTest::qWait(7000); // more than the two paces to display 1's first item
        for (int n = 1; n <= 2; ++n) {
            QVERIFY(!fs::exists(exchange.jobPath(n)));
        }
        QVERIFY(control->isRunning());
    }

    // An alarm panel's script: `LMControl --say` puts the text on every screen at once over the
    // running show and says which screens show it; `--say-end` hands the wall back to the show,
    // and the text leaves every screen at once.
    void anUrgentMessageFromTheShellCoversEveryScreenAndHandsBack() {
        lm::test::TempDir work;
        const lm::ExchangeFolder exchange(work.path());
        writeShow(work.path() / "show.txt");
        XServer controlScreen;
        QVERIFY2(controlScreen.isRunning(), qPrintable(controlScreen.error()));
        Program control(QStringLiteral(LM_LMCONTROL_PATH), work.path(), controlScreen,
                        {QStringLiteral("--start"), QStringLiteral("show.txt")});
        QVERIFY(waitUntil([&] { return fs::exists(exchange.controlPath()); }, 5000));

        struct Said {
            int status = -1;
            QString out;
            QString error;
        };
        const auto say = [&](const QStringList& arguments) {
            QProcess shell;
            shell.setProcessEnvironment(controlScreen.environment());
            shell.setWorkingDirectory(QString::fromStdString(work.path().string()));
            shell.start(QStringLiteral(LM_LMCONTROL_PATH), arguments);
            Said said;
            if (shell.waitForFinished(15000)) {
                said.status = shell.exitCode();
                said.out = QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
                said.error = QString::fromUtf8(shell.readAllStandardError()).trimmed();
            }
            return said;
        };
        // No screen to show it on: the alarm panel is told so.
        Said said = say({QStringLiteral("--say"), QStringLiteral("テスト")});
        QCOMPARE(said.status, 1);
        QVERIFY2(said.error.contains(QStringLiteral("表示プログラムが見つからない")),
                 qPrintable(said.error));
        QCOMPARE(say({QStringLiteral("--say-end")}).status, 0);

        std::vector<std::unique_ptr<VelistoOnScreen>> signs;
        for (int n = 1; n <= 3; ++n) {
            signs.push_back(std::make_unique<VelistoOnScreen>(work.path()));
            QVERIFY2(signs.back()->start(n), qPrintable(signs.back()->error()));
        }
        QVERIFY2(waitUntil([&] { return jobHead(exchange, 1) == " 0 "; }, 20000, 50),
                 qPrintable(control.output()));

        said = say({QStringLiteral("--say"), QStringLiteral("緊急のお知らせです"),
                    QStringLiteral("--minutes"), QStringLiteral("5")});
        QCOMPARE(said.status, 0);
        QVERIFY2(said.out.contains(QStringLiteral("コンピュータ 1-3 が表示しています")),
                 qPrintable(said.out + said.error));
        for (std::size_t i = 0; i < signs.size(); ++i) {
            QVERIFY(signs[i]->waitForColour(topStrip, QColor(255, 0, 0), 2000));
            keptScreenshot(signs[i]->server(), QStringLiteral("urgent-%1").arg(i + 1));
        }

        QCOMPARE(say({QStringLiteral("--say-end")}).status, 0);
        // Every screen drops the text at its next look, long before the show reaches it.
        for (const auto& sign : signs) {
            QVERIFY(sign->waitForColour(topStrip, darkBlue, 1000));
        }
        // The show goes on from the row display 1 had, two start paces later.
        QVERIFY2(waitUntil([&] { return jobHead(exchange, 1) == " 0 "; }, 10000, 50),
                 qPrintable(control.output()));
        QVERIFY(signs.front()->waitForColour(topStrip, darkGreen, 3000));
        QVERIFY(control.isRunning());
    }

    // A second LMControl on the same Exchange folder starts no controller of its own: on this
    // computer it hands its show file over and ends; beside another computer's it refuses.
    void aSecondControlProgramHandsOverOrIsRefused() {
        lm::test::TempDir work;
        const lm::ExchangeFolder exchange(work.path());
        writeShow(work.path() / "show.txt");
        XServer screen;
        QVERIFY2(screen.isRunning(), qPrintable(screen.error()));
        {
            Program first(QStringLiteral(LM_LMCONTROL_PATH), work.path(), screen);
            const ControlWindow window(screen, first);
            QVERIFY(window.isShown());
            QVERIFY(waitUntil([&] { return fs::exists(exchange.controlPath()); }, 5000));
            // What a show leaves in the folder, which a second start-up clean-up would delete.
            QVERIFY(exchange.touchPresence(3));
            QVERIFY(exchange.writeJob(5, lm::stopJob()) == lm::WriteStatus::Ok);

            Program second(QStringLiteral(LM_LMCONTROL_PATH), work.path(), screen,
                           {QStringLiteral("show.txt")});
            QVERIFY2(second.waitForExit(10000), qPrintable(second.output()));
            QCOMPARE(second.exitCode(), 0);
            QVERIFY(waitUntil([&] { return listShowsItems(window); }, 5000, 100));
            QVERIFY(fs::exists(exchange.presencePath(3)));
            QVERIFY(fs::exists(exchange.jobPath(5)));
            QVERIFY(first.isRunning());

            // A file that cannot be read, and a start that is refused, are said by the second
            // start in the words of the first one's box, which opens after the reply.
            writeShow(work.path() / "one.txt", 1);
            // What a running show left on display 5; a stop would write "-1" over it.
            lm::JobLines item = lm::stopJob();
            item[lm::jobLine::itemNumber] = " 7 ";
            QVERIFY(exchange.writeJob(5, item) == lm::WriteStatus::Ok);
            struct Refusal {
                QStringList arguments;
                QString title;
                QString words;
                bool loads; // the list is replaced (and the show stopped) before the refusal
            };
            for (const Refusal& refusal :
                 {Refusal{
                      {QStringLiteral("missing.txt")},
                      QStringLiteral("注意！！"),
                      QStringLiteral("」を読み込めませんでした。表示のリストは変わっていません。"),
                      false},
                  Refusal{{QStringLiteral("--start"), QStringLiteral("one.txt")},
                          QStringLiteral("注意！"),
                          QStringLiteral("２項目以上の動作（文字や画像）を設定して下さい。"),
                          true}}) {
                Program refused(QStringLiteral(LM_LMCONTROL_PATH), work.path(), screen,
                                refusal.arguments);
                QVERIFY2(refused.waitForExit(10000), qPrintable(refused.output()));
                QCOMPARE(refused.exitCode(), 1);
                QVERIFY2(refused.output().contains(refusal.words), qPrintable(refused.output()));
                const QString box = window.messageBoxText(refusal.title);
                // The box's own line break is the clipboard's to copy: its last line is enough.
                QVERIFY2(box.contains(refusal.words.right(8)), qPrintable(box));
                QVERIFY(window.answerMessageBox());
                QCOMPARE(jobHead(exchange, 5), std::string(refusal.loads ? "-1" : " 7 "));
            }
            QVERIFY(first.isRunning());
        }

        // Another computer's control program runs on the folder: its beat goes on.
        lm::SignOfLife other;
        other.host = "control-pc-2";
        std::atomic<bool> beating{true};
        std::thread heart([&] {
            while (beating) {
                ++other.beat;
                exchange.writeControlLife(other);
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            }
        });
        QVERIFY(exchange.writeJob(5, lm::stopJob()) == lm::WriteStatus::Ok);
        Program refused(QStringLiteral(LM_LMCONTROL_PATH), work.path(), screen);
        const ControlWindow box(screen, refused);
        const QString text = box.messageBoxText(QStringLiteral("注意！"), 10000);
        QVERIFY2(text.contains(QStringLiteral("コンピュータ「control-pc-2」の制御プログラム")),
                 qPrintable(text + refused.output()));
        QVERIFY(box.answerMessageBox());
        QVERIFY(refused.waitForExit(5000));
        beating = false;
        heart.join();
        QCOMPARE(refused.exitCode(), 1);
        QVERIFY(fs::exists(exchange.jobPath(5)));
    }

    // `LMControl --plan` with two displays on a rehearsal clock that runs six times as fast, so
    // that the plan's minutes pass every ten seconds: at each change display 1 gets its stop
    // job at once, and a show's first item within two start paces and a second; a blank entry
    // is the stop alone. Nothing asks and no box opens; the log says what the plan did.
    void aPlanFromTheCommandLineRunsEachEntryAtItsChange() {
        using namespace std::chrono;
        lm::test::TempDir work;
        const fs::path data = work.path() / "data";
        fs::create_directories(data);
        writeTexts(work.path() / "a.txt", {{"朝", "暗い緑"}, {"昼", "暗い赤"}});
        writeTexts(work.path() / "b.txt", {{"夜", "暗い青"}, {"深夜", "暗い緑"}});
        // 2025-12-05 is a Friday.
        std::ofstream(work.path() / "plan.txt") << "lmsign-plan 1\n"
                                                   "[weekly]\ndays = fri\ntime = 22:00-22:01\n"
                                                   "show = a.txt\nspeed = 速く\n"
                                                   "[weekly]\ndays = fri\ntime = 22:01-22:02\n"
                                                   "blank\n"
                                                   "[weekly]\ndays = fri\ntime = 22:02-22:03\n"
                                                   "show = b.txt\nspeed = やや速く\nrepeat = no\n";
        const ExchangeWatch watch(data);
        QVERIFY(watch.isWatching());
        VelistoOnScreen one(work.path());
        QVERIFY2(one.start(1), qPrintable(one.error()));
        VelistoOnScreen two(work.path());
        QVERIFY2(two.start(2), qPrintable(two.error()));

        constexpr int rate = 6;
        const auto realStart = system_clock::now() + seconds(3);
        const auto steadyStart =
            ExchangeWatch::Clock::now() +
            duration_cast<ExchangeWatch::Clock::duration>(realStart - system_clock::now());
        const QString since =
            QDateTime::fromMSecsSinceEpoch(
                duration_cast<milliseconds>(realStart.time_since_epoch()).count(), QTimeZone::utc())
                .toString(Qt::ISODateWithMs);
        const ScopedVariable zone("TZ", "Asia/Tokyo");
        const ScopedVariable clock(
            "LMSIGN_CLOCK",
            QStringLiteral("2025-12-05T21:59:00+09:00 x%1 at %2").arg(rate).arg(since).toUtf8());
        XServer controlScreen;
        QVERIFY2(controlScreen.isRunning(), qPrintable(controlScreen.error()));
        Program control(QStringLiteral(LM_LMCONTROL_PATH), work.path(), controlScreen,
                        {QStringLiteral("--plan"), QStringLiteral("plan.txt")});
        // Each plan minute is 60 / rate seconds; the changes fall on minutes 1 to 4.
        const auto change = [&](int minute) {
            return steadyStart + seconds(minute * 60 / rate);
        };
        QTest::qWait(static_cast<int>(
            duration_cast<milliseconds>(change(4) + seconds(2) - ExchangeWatch::Clock::now())
                .count()));
        QVERIFY2(control.isRunning(), qPrintable(control.output()));

        struct Change {
            int minute;
            const char* text; // display 1's first item; null: blank
            const char* speed;
            int paceMs;
        };
        const std::vector<ExchangeWatch::Event> events = watch.events();
        for (const Change& c : {Change{1, "朝", "速く", 1000}, Change{2, nullptr, "", 0},
                                Change{3, "夜", "やや速く", 2000}, Change{4, nullptr, "", 0}}) {
            const auto from = change(c.minute) - milliseconds(50); // a file time is coarse
            const auto until = change(c.minute + 1) - milliseconds(50);
            const auto firstAfter = [&](const char* file, const auto& wanted) {
                for (const ExchangeWatch::Event& event : events) {
                    if (event.kind == ExchangeWatch::Event::Kind::Written && event.file == file &&
                        event.written >= from && event.written < until && wanted(event)) {
                        return std::optional(event);
                    }
                }
                return std::optional<ExchangeWatch::Event>();
            };
            const auto stop = [](const ExchangeWatch::Event& e) {
                return e.head == "-1";
            };
            const auto item = [](const ExchangeWatch::Event& e) {
                return itemNumberOf(e.head) >= 0;
            };
            const QString at = QStringLiteral("minute %1: ").arg(c.minute);
            for (const char* file : {"LMData1.ini", "LMData2.ini"}) {
                const std::optional<ExchangeWatch::Event> stopped = firstAfter(file, stop);
                QVERIFY2(stopped, qPrintable(at + file + " got no stop job\n" + control.output()));
                qInfo(
                    "%s%s stop job after %lld ms", qPrintable(at), file,
                    static_cast<long long>(
                        duration_cast<milliseconds>(stopped->written - change(c.minute)).count()));
                QVERIFY2(stopped->written - change(c.minute) < milliseconds(500),
                         qPrintable(at +
                                    QString::number(duration_cast<milliseconds>(stopped->written -
                                                                                change(c.minute))
                                                        .count()) +
                                    " ms to the stop job"));
            }
            const std::optional<ExchangeWatch::Event> first = firstAfter("LMData1.ini", item);
            if (c.text == nullptr) {
                QVERIFY2(!first, qPrintable(at + "an item in a blank entry"));
                continue;
            }
            QVERIFY2(first, qPrintable(at + "no item\n" + control.output()));
            QCOMPARE(first->head, std::string(" 0 "));
            const std::vector<std::string> job = lm::lineFile::decode(first->bytes);
            QCOMPARE(job.at(8), std::string(c.text));
            QCOMPARE(job.at(7), std::string(c.speed));
            const auto took = duration_cast<milliseconds>(first->written - change(c.minute));
            qInfo("%s%lld ms to the first item", qPrintable(at),
                  static_cast<long long>(took.count()));
            QVERIFY2(took < milliseconds(2 * c.paceMs + 1000),
                     qPrintable(at + QString::number(took.count()) + " ms to the first item"));
        }
        const ControlWindow window(controlScreen, control);
        QVERIFY(window.isShown());
        for (const char* title : {"注意！！", "注意！", "週の予定"}) {
            QVERIFY2(!window.isWindowShown(QString::fromUtf8(title)), title);
        }
        const QString log = control.output();
        QVERIFY2(log.contains(QStringLiteral("LMControl: 予定：「a.txt」を表示中")),
                 qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("LMControl: 予定：「b.txt」を表示中")),
                 qPrintable(log));
    }

    // The command line is read before any window opens: a wrong option, --help and a --say
    // that no LMControl hears need no display.
    // The browser page, opened from another address of this computer, beside the window: the
    // certificate is the program's own; a list built with the page's swatches runs on the
    // display; the page's urgent message shows in its colours; the window's stop reaches the
    // page within a second; a refusal comes in the window's words; and after the program
    // restarts the page, still logged in, shows the sign again by itself.
    void aBrowserPageRunsTheSignBesideTheWindow() {
        lm::test::TempDir work;
        const lm::ExchangeFolder exchange(work.path());
        XServer controlScreen;
        QVERIFY2(controlScreen.isRunning(), qPrintable(controlScreen.error()));
        const QString password = QStringLiteral("a password for the page");
        QVERIFY(!runOnce(controlScreen, work.path(), {QStringLiteral("--web-password")},
                         password.toUtf8() + '\n')
                     .isEmpty());
        const QString fingerprint =
            fingerprintIn(runOnce(controlScreen, work.path(), {QStringLiteral("--web-info")}));
        QVERIFY(!fingerprint.isEmpty());
        const int port = freePort();
        const QStringList serving{QStringLiteral("--web"), QStringLiteral("--web-port"),
                                  QString::number(port)};
        auto control = std::make_unique<Program>(QStringLiteral(LM_LMCONTROL_PATH), work.path(),
                                                 controlScreen, serving);
        const ControlWindow window(controlScreen, *control);
        QVERIFY2(window.isShown(), qPrintable(control->output()));
        VelistoOnScreen one(work.path());
        QVERIFY2(one.start(1), qPrintable(one.error()));

        BrowserPage page({390, 844});
        QVERIFY2(page.isRunning(), qPrintable(page.error()));
        QVERIFY2(page.setViewport({390, 844}), qPrintable(page.error()));
        QCOMPARE(page.fingerprint(QStringLiteral("127.0.0.2"), port), fingerprint);
        QVERIFY2(page.open(QStringLiteral("https://127.0.0.2:%1/").arg(port)),
                 qPrintable(page.error()));
        const auto logIn = [&](const QString& with) {
            return page.type(QStringLiteral("#txtPassword"), with) &&
                   page.click(QStringLiteral("#cmdLogin"));
        };
        // The page's own words for a refusal before the sign decides anything.
        QVERIFY(logIn(QStringLiteral("not the password")));
        QVERIFY2(
            page.waitFor(byId("lblLogin") + ".textContent === 'パスワードが違います。'", 5000) >= 0,
            qPrintable(page.text(QStringLiteral("#lblLogin"))));
        QVERIFY(logIn(password));
        QVERIFY2(page.waitFor("!" + byId("client") + ".hidden && " + byId("lblWall1") +
                                  ".textContent === '1○'",
                              5000) >= 0,
                 qPrintable(page.error()));

        // Two texts at "速く", yellow on dark green from the swatches.
        QVERIFY2(page.choose(QStringLiteral("#ComboTSpeed"), QStringLiteral("速く")),
                 qPrintable(page.error()));
        const auto swatch = [](const char* group, const char* word) {
            return QStringLiteral("#%1 label:has(input[value='%2'])")
                .arg(QLatin1String(group), QString::fromUtf8(word));
        };
        QVERIFY2(page.click(swatch("ComboTForeColor", "明るい黄色")), qPrintable(page.error()));
        QVERIFY2(page.click(swatch("ComboTBackColor", "暗い緑")), qPrintable(page.error()));
        for (const QString& text : {QStringLiteral("ABC"), QStringLiteral("DEF")}) {
            QVERIFY2(page.type(QStringLiteral("#Text1"), text), qPrintable(page.error()));
            QVERIFY2(page.click(QStringLiteral("#cmdText")), qPrintable(page.error()));
        }
        QVERIFY2(page.waitFor(byId("List1") + ".options.length === 2", 3000) >= 0,
                 qPrintable(control->output()));
        QVERIFY2(page.click(QStringLiteral("#cmdDisplay")), qPrintable(page.error()));
        QVERIFY2(waitUntil([&] { return jobText(exchange, 1) == "ABC"; }, 10000, 20),
                 jobText(exchange, 1).c_str());
        QVERIFY(one.waitForColour(topStrip, darkGreen, 3000));
        QVERIFY(page.waitFor("!" + byId("lblDisplay") + ".hidden && " + byId("lblWall1") +
                                 ".textContent.startsWith('1▶')",
                             3000) >= 0);

        // An urgent message from the page, black on bright yellow.
        QVERIFY2(page.click(QStringLiteral("#mnuUrgent")), qPrintable(page.error()));
        QVERIFY2(page.click(QStringLiteral("#mnuUrgentSay")), qPrintable(page.error()));
        QVERIFY2(page.type(QStringLiteral("#txtUrgent"), QStringLiteral("お知らせ")),
                 qPrintable(page.error()));
        QVERIFY2(page.click(swatch("ComboUForeColor", "黒")), qPrintable(page.error()));
        QVERIFY2(page.click(swatch("ComboUBackColor", "明るい黄色")), qPrintable(page.error()));
        QVERIFY2(page.click(QStringLiteral("#cmdUrgentSend")), qPrintable(page.error()));
        QVERIFY(one.waitForColour(topStrip, QColor(255, 255, 0), 3000));
        keptScreenshot(one.server(), QStringLiteral("page-urgent"));
        QVERIFY(page.waitFor(byId("lblUrgent") + ".textContent.includes('（1 が表示）')", 3000) >=
                0);
        QVERIFY2(page.click(QStringLiteral("#cmdUrgentClose")), qPrintable(page.error()));
        keepPageShots(page);
        QVERIFY2(page.setViewport({390, 844}), qPrintable(page.error()));
        QVERIFY2(page.click(QStringLiteral("#mnuUrgent")), qPrintable(page.error()));
        QVERIFY2(page.click(QStringLiteral("#mnuUrgentEnd")), qPrintable(page.error()));
        QVERIFY2(page.waitFor(byId("lblUrgent") + ".hidden", 3000) >= 0, qPrintable(page.error()));

        // The window's "表示を止める": the page shows it within a second of the click (which
        // counts xdotool's own start and the driver's step too).
        QElapsedTimer sinceClick;
        sinceClick.start();
        QVERIFY(window.click("cmdStop"));
        QVERIFY2(page.waitFor(byId("lblDisplay") + ".hidden", 1000) >= 0, qPrintable(page.error()));
        const qint64 stopSeen = sinceClick.elapsed();
        QVERIFY2(stopSeen < 1000, qPrintable(QString::number(stopSeen)));
        qInfo("the page showed the window's stop %lld ms after the click", stopSeen);

        // A refusal in the words of the window's message box.
        QVERIFY2(page.click(QStringLiteral("#cmdAllClear")), qPrintable(page.error()));
        QVERIFY2(page.waitFor(byId("List1") + ".options.length === 0", 3000) >= 0,
                 qPrintable(page.error()));
        QVERIFY2(page.click(QStringLiteral("#cmdDisplay")), qPrintable(page.error()));
        QVERIFY2(page.waitFor(byId("msgBox") + ".open", 3000) >= 0, qPrintable(page.error()));
        QCOMPARE(page.text(QStringLiteral("#msgText")),
                 QString::fromUtf8(lm::startCheck::tooFewItemsText.data(),
                                   lm::startCheck::tooFewItemsText.size()));
        QCOMPARE(page.text(QStringLiteral("#msgTitle")), QStringLiteral("注意！"));
        QVERIFY2(page.click(QStringLiteral("#msgOk")), qPrintable(page.error()));

        // Nothing the page uses was blocked, and no script failed.
        for (const QString& line : page.logs()) {
            QVERIFY2(!line.contains(QStringLiteral("Content Security Policy")) &&
                         !line.contains(QStringLiteral("Uncaught")),
                     qPrintable(line));
        }

        // The program restarts, with a show file of its own: the page stays logged in, connects
        // again by itself and shows the sign as the new program has it.
        writeTexts(work.path() / "restart.txt", {{"再開", "暗い緑"}, {"二つ目", "暗い青"}});
        control->kill();
        control =
            std::make_unique<Program>(QStringLiteral(LM_LMCONTROL_PATH), work.path(), controlScreen,
                                      serving + QStringList{QStringLiteral("restart.txt")});
        QVERIFY2(
            page.waitFor(byId("List1") + ".options.length === 2 && " + byId("lblLink") + ".hidden",
                         15000) >= 0,
            qPrintable(control->output()));
        QVERIFY2(
            page.waitFor(byId("frmLogin") + ".hidden && !" + byId("client") + ".hidden", 1000) >= 0,
            "the page asked for the log-in again");
    }

    void theCommandLineIsCheckedBeforeAnyWindow_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");  // the start of the one line on standard error
        QTest::addColumn<QString>("clock"); // LMSIGN_CLOCK
        const auto row = [](const char* name, QStringList arguments, int status, const char* said,
                            const char* clock = "") {
            QTest::newRow(name) << arguments << status << QString::fromUtf8(said)
                                << QString::fromUtf8(clock);
        };
        row("unknown option", {"--bogus"}, 2, "LMControl: Unknown option 'bogus'");
        row("start without a show", {"--start"}, 2, "LMControl: --start needs a show file");
        row("two shows", {"a.txt", "b.txt"}, 2, "LMControl: unexpected argument \"b.txt\"");
        row("resume with a show", {"--resume", "a.txt"}, 2, "LMControl: --resume takes no show");
        row("minutes alone", {"--minutes", "5"}, 2, "LMControl: --minutes goes with --say");
        row("no minutes", {"--say", "x", "--minutes", "0"}, 2, "LMControl: --minutes: \"0\"");
        row("say and end", {"--say", "x", "--say-end"}, 2, "LMControl: --say and --say-end");
        row("port", {"--port-base", "99"}, 2, "LMControl: --port-base: \"99\"");
        row("plan that cannot be read", {"--plan", "missing.txt"}, 2,
            "LMControl: --plan: 週の予定「");
        row("say with a plan", {"--say", "x", "--plan", "p.txt"}, 2,
            "LMControl: --say and --say-end take no show file");
        row("rehearsal clock", {}, 2, "LMControl: LMSIGN_CLOCK: \"tomorrow\"", "tomorrow");
        row("nobody hears", {"--say", "火災です"}, 1, "LMControl: no LMControl answers");
        row("help", {"--help"}, 0, "");
    }

    void theCommandLineIsCheckedBeforeAnyWindow() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        QFETCH(QString, clock);
        lm::test::TempDir work;
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!clock.isEmpty()) {
            environment.insert(QStringLiteral("LMSIGN_CLOCK"), clock);
        }
        environment.remove(QStringLiteral("DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(QString::fromStdString(work.path().string()));
        program.start(QStringLiteral(LM_LMCONTROL_PATH), arguments);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), status);
        const QString error = QString::fromUtf8(program.readAllStandardError()).trimmed();
        QVERIFY2(said.isEmpty() ? error.isEmpty() : error.startsWith(said) && !error.contains('\n'),
                 qPrintable(error));
        QVERIFY(status != 0 || program.readAllStandardOutput().contains("--resume"));
    }

    // A control computer in a cupboard: LMControl without a window or a display server, run
    // by a script on another computer through the web API with a token. The list it sends
    // runs on the wall, its urgent message covers every screen, and SIGTERM ends the program
    // at once with a change stream still open, the Exchange folder cleaned up.
    void aControlProgramWithoutAWindowRunsWhatTheWebApiSends() {
        lm::test::TempDir work;
        const lm::ExchangeFolder exchange(work.path());
        XServer folders; // its settings and state folders only: LMControl gets no display
        QVERIFY2(folders.isRunning(), qPrintable(folders.error()));
        QVERIFY(!runOnce(folders, work.path(), {"--web-password"}, "cupboard-pass\n").isEmpty());
        const QString token = runOnce(folders, work.path(), {"--web-token", "panel"});
        QVERIFY(token.startsWith(QStringLiteral("lmt_")));
        const int port = freePort();
        QProcess control;
        control.setProcessEnvironment(withoutDisplay(folders));
        control.setWorkingDirectory(QString::fromStdString(work.path().string()));
        control.setProcessChannelMode(QProcess::MergedChannels);
        control.start(QStringLiteral(LM_LMCONTROL_PATH),
                      {"--no-window", "--web", "--web-port", QString::number(port)});
        QVERIFY(waitUntil([&] { return curl(port, token, "GET", "/api/session").status == 200; },
                          10000, 100));

        VelistoOnScreen one(work.path());
        QVERIFY2(one.start(1), qPrintable(one.error()));
        VelistoOnScreen two(work.path());
        QVERIFY2(two.start(2), qPrintable(two.error()));

        for (const QString& item : {QStringLiteral(R"({"text": "A", "backColour": "暗い緑"})"),
                                    QStringLiteral(R"({"text": "B", "backColour": "暗い赤"})")}) {
            const Curled added = curl(port, token, "POST", "/api/list", item);
            QVERIFY2(added.status == 200, qPrintable(added.body));
        }
        const Curled list = curl(port, token, "GET", "/api/list");
        QVERIFY2(list.body.contains(QStringLiteral(R"("count":2)")), qPrintable(list.body));
        QCOMPARE(curl(port, token, "POST", "/api/show/start").status, 200);
        // At "中" display 1 gets row 0 two paces (6 s) after the start, display 2 some 4 s later.
        for (const VelistoOnScreen* sign : {&one, &two}) {
            const int n = sign == &one ? 1 : 2;
            QVERIFY2(waitUntil([&] { return jobHead(exchange, n) == " 0 "; }, 20000, 50),
                     qPrintable(QString::fromUtf8(control.readAll())));
            QVERIFY(sign->waitForColour(topStrip, darkGreen, 3000));
            keptScreenshot(sign->server(), QStringLiteral("web-show-%1").arg(n));
        }

        const Curled said =
            curl(port, token, "POST", "/api/urgent", R"({"text": "避難して下さい", "minutes": 5})");
        QVERIFY2(said.status == 200, qPrintable(said.body));
        for (const VelistoOnScreen* sign : {&one, &two}) {
            QVERIFY(sign->waitForColour(topStrip, QColor(255, 0, 0), 2000));
            keptScreenshot(sign->server(),
                           QStringLiteral("web-urgent-%1").arg(sign == &one ? 1 : 2));
        }
        // Each display's job file holds the urgent text.
        for (int n = 1; n <= 2; ++n) {
            const std::optional<std::vector<std::string>> job = exchange.readJob(n);
            QVERIFY(job && std::find(job->begin(), job->end(), "避難して下さい") != job->end());
        }
        const Curled state = curl(port, token, "GET", "/api/state");
        QVERIFY2(state.body.contains(QStringLiteral(R"("text":"避難して下さい")")),
                 qPrintable(state.body));

        QProcess stream;
        stream.start(QStringLiteral("curl"),
                     {"-sNk", "--interface", "127.0.0.2", "-H", "Authorization: Bearer " + token,
                      QStringLiteral("https://127.0.0.1:%1/api/events").arg(port)});
        QVERIFY(stream.waitForReadyRead(5000));
        QVERIFY(::kill(static_cast<pid_t>(control.processId()), SIGTERM) == 0);
        QVERIFY2(control.waitForFinished(3000), qPrintable(QString::fromUtf8(control.readAll())));
        QCOMPARE(control.exitCode(), 0);
        QVERIFY(!exchangeFilesLeft(work.path() / "data"));
        QVERIFY(stream.waitForFinished(5000));
    }

    void theSystemEndingTheProgramCleansUpToo_data() {
        QTest::addColumn<int>("signal"); // 0: the X server goes away, as at logout
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("X server gone") << 0;
    }

    void theSystemEndingTheProgramCleansUpToo() {
        QFETCH(int, signal);
        lm::test::TempDir work;
        const fs::path data = work.path() / "data";
        auto screen = std::make_unique<XServer>();
        QVERIFY2(screen->isRunning(), qPrintable(screen->error()));
        Program control(QStringLiteral(LM_LMCONTROL_PATH), work.path(), *screen);
        {
            const ControlWindow window(*screen, control);
            QVERIFY2(window.isShown(), qPrintable(control.output()));
            QVERIFY(window.click("cmdStop"));
        }
        QVERIFY(waitUntil([&] { return fs::exists(data / "LMData16.ini"); }, 5000));

        if (signal != 0) {
            QVERIFY(::kill(static_cast<pid_t>(control.pid()), signal) == 0);
        } else {
            screen.reset();
        }
        QVERIFY2(control.waitForExit(5000), qPrintable(control.output()));
        QVERIFY(!exchangeFilesLeft(data));
    }
};

QTEST_GUILESS_MAIN(LMControlE2eTest)
#include "LMControlE2eTest.moc"
