#include "ControlInstance.h"
#include "ControlOptions.h"
#include "ControlPresence.h"
#include "ControlProgram.h"
#include "ControlState.h"
#include "DeskJournal.h"
#include "ExchangeFolder.h"
#include "QtDeskThread.h"
#include "QtMessageBoxes.h"
#include "ShiftJis.h"
#include "ShiftedClock.h"
#include "ShutdownSignals.h"
#include "WakeUpPorts.h"
#include "WakeUpSocket.h"
#include "WebCommands.h"
#include "WebFrontEnd.h"
#include "frmLMControl.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace {

// Where the job and answer files must go when the process ends without returning from the
// event loop (the X connection broke at logout): exit() still runs the atexit handlers.
std::filesystem::path exchangeWorkDir;

extern "C" void cleanExchangeAtExit() {
    if (exchangeWorkDir.empty()) {
        return;
    }
    lm::OperatorDesk::removeJobsAndAnswers(exchangeWorkDir);
}

// XDG_STATE_HOME, or ~/.local/state: where programs keep what should outlive a restart.
std::filesystem::path stateHome() {
    const QString set = qEnvironmentVariable("XDG_STATE_HOME");
    if (!set.isEmpty() && QDir::isAbsolutePath(set)) {
        return set.toStdString();
    }
    return (QDir::homePath() + QStringLiteral("/.local/state")).toStdString();
}

// One line on a terminal: a box's two lines are joined.
std::string oneLine(std::string text) {
    for (const char* lineEnd : {"\r\n", "\n", "\r"}) {
        for (std::size_t at = text.find(lineEnd); at != std::string::npos;
             at = text.find(lineEnd)) {
            text.erase(at, std::char_traits<char>::length(lineEnd));
        }
    }
    return text;
}

// A warning before the program can run: a box over the window, or a line on standard error
// without one.
void warnOperator(const std::string& text) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        lm::QtMessageBoxes().warn(text, "注意！");
    } else {
        std::fprintf(stderr, "LMControl: %s\n", oneLine(text).c_str());
    }
}

// Sends the request to the LMControl that runs on this Exchange folder and ends as it says:
// 0 once it is done, 3 when what it sent is not confirmed, 1 when none answers or it refuses;
// its line goes to standard output when done, else to standard error. waitForStart: one holds
// the lock, so it answers as soon as it is up.
int ask(const lm::ControlInstance& instance, const lm::ControlRequest& request, bool waitForStart) {
    constexpr int replyMs = 10000;
    const std::optional<lm::ControlReply> reply = instance.send(request, replyMs, waitForStart);
    if (!reply) {
        std::error_code error;
        std::fprintf(stderr, "LMControl: no LMControl answers on the Exchange folder of %s\n",
                     std::filesystem::current_path(error).c_str());
        return 1;
    }
    if (!reply->line.empty()) {
        std::fprintf(reply->exitStatus() == 0 ? stdout : stderr, "LMControl: %s\n",
                     oneLine(reply->line).c_str());
    }
    return reply->exitStatus();
}

lm::ControlInstance thisFolder() {
    std::error_code error;
    return lm::ControlInstance(std::filesystem::current_path(error),
                               lm::ControlInstance::runtimeFolder());
}

// --say and --say-end, for the LMControl of this Exchange folder, if one runs.
int say(const lm::ControlOptions& options) {
    lm::ControlRequest request;
    request.kind = options.say() ? lm::ControlRequest::Kind::Say : lm::ControlRequest::Kind::SayEnd;
    request.text = options.sayText().toStdString();
    request.minutes = options.minutes();
    return ask(thisFolder(), request, false);
}

// A second LMControl on this Exchange folder hands its command line to the first one: its plan,
// then its show file.
int handOver(const lm::ControlInstance& instance, const lm::ControlOptions& options) {
    if (!options.planFile().empty()) {
        lm::ControlRequest plan;
        plan.kind = lm::ControlRequest::Kind::Plan;
        plan.path = options.planFile().string();
        const int status = ask(instance, plan, true);
        if (status != 0 || options.showFile().empty()) {
            return status;
        }
    }
    lm::ControlRequest request;
    if (!options.showFile().empty()) {
        request.kind =
            options.start() ? lm::ControlRequest::Kind::Start : lm::ControlRequest::Kind::Open;
        request.path = options.showFile().string();
    }
    return ask(instance, request, true);
}

// LMSIGN_CLOCK="2025-12-05T21:59:00+09:00 x6 at 2025-12-01T10:00:00Z": to rehearse a plan, the
// program's real-time clock reads that time from the instant after "at" (else from now on),
// running that many times as fast. Null without it; false after one line on standard error
// when it cannot be read.
bool rehearsalClock(std::unique_ptr<lm::WallClock>& clock) {
    const QString set = qEnvironmentVariable("LMSIGN_CLOCK");
    if (set.isEmpty()) {
        return true;
    }
    const lm::WallClock& system = lm::SystemClock::instance();
    const QStringList words = set.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto instant = [](const QString& text) {
        return QDateTime::fromString(text, Qt::ISODateWithMs);
    };
    const QDateTime reads = instant(words.value(0));
    std::int64_t sinceUs = system.realUs();
    int rate = 1;
    bool good = reads.isValid();
    for (qsizetype i = 1; good && i < words.size(); ++i) {
        if (words[i].startsWith(QLatin1Char('x'))) {
            rate = words[i].mid(1).toInt(&good);
            good = good && rate >= 1 && rate <= 3600;
        } else if (words[i] == QLatin1String("at") && i + 1 < words.size()) {
            const QDateTime since = instant(words[++i]);
            good = since.isValid();
            sinceUs = since.toMSecsSinceEpoch() * 1000;
        } else {
            good = false;
        }
    }
    if (!good) {
        std::fprintf(stderr,
                     "LMControl: LMSIGN_CLOCK: \"%s\" is not \"TIME [xRATE] [at TIME]\" (ISO "
                     "times, RATE 1 to 3600)\n",
                     qUtf8Printable(set));
        return false;
    }
    clock =
        std::make_unique<lm::ShiftedClock>(system, reads.toMSecsSinceEpoch() * 1000, sinceUs, rate);
    return true;
}

// Every job file is written in code page 932; without the converter the first one would fail
// inside a timer tick. False after the box that says so.
bool canConvertShiftJis() {
    const std::string missing = lm::ShiftJis::missingConverters();
    if (missing.empty()) {
        return true;
    }
    warnOperator(
        "このコンピュータの C ライブラリ（iconv）に、シフトJIS（CP932）の変換がありません（" +
        missing +
        "）。表示プログラムへの指示を書けないため、終了します。gconv の CP932 "
        "モジュール（Debian では libc6 に含まれます）を入れて下さい。");
    return false;
}

// Before anything touches the folder: starting would delete the files of a show that another
// computer's control program runs. False after the box that says so.
bool folderIsFree(const std::filesystem::path& workDir) {
    const std::optional<std::string> other = lm::ControlPresence::otherController(
        lm::ExchangeFolder(workDir), [](int ms) { QThread::msleep(static_cast<unsigned>(ms)); });
    if (!other) {
        return true;
    }
    // A record that kept changing but could never be read names no computer.
    const std::string who = other->empty() ? "別のコンピュータ" : "コンピュータ「" + *other + "」";
    warnOperator(who + "の制御プログラムが、この data フォルダーで動いています。制御"
                       "プログラムは一つの data フォルダーに一つだけ動かせます。そち"
                       "らを使うか、そちらを終了させてから起動して下さい。");
    std::fprintf(stderr, "LMControl: the control program on %s uses this Exchange folder\n",
                 other->empty() ? "another computer" : other->c_str());
    return false;
}

// --plan: before the resume, so that the plan of the command line is the one followed.
void followPlanAsAsked(const lm::ControlOptions& options, lm::OperatorDesk& desk) {
    if (options.plan()) {
        desk.usePlan(options.planFile(), *options.plan());
        desk.followPlan(true);
    }
}

// What the command line asks of the program as it starts: the plan to follow, the show of the
// last run, or a show file (and its start).
void startAsAsked(const lm::ControlOptions& options, lm::OperatorDesk& desk,
                  lm::frmLMControl& window) {
    followPlanAsAsked(options, desk);
    if (options.resume()) {
        const lm::DeskOutcome resumed = desk.resume();
        if (resumed.code == lm::DeskOutcome::Code::Unreadable) {
            std::fprintf(stderr, "LMControl: %s\n", resumed.words().c_str());
        }
        // Its boxes stand over the window once it is up.
        desk.announce(resumed.messages);
    }
    if (!options.showFile().empty()) {
        // Once the window is up, so that its message boxes have it to stand over.
        QTimer::singleShot(0, &window, [&window, &desk, &options] {
            const lm::DeskOutcome loaded = desk.load(options.showFile());
            window.showOutcome(loaded);
            if (loaded.done() && options.start()) {
                window.cmdDisplay_Click();
            }
        });
    }
}

lm::ControlProgram::Options programOptions(const lm::ControlOptions& options,
                                           const std::filesystem::path& workDir,
                                           const lm::WallClock* clock) {
    lm::ControlProgram::Options programOptions;
    programOptions.workDir = workDir;
    programOptions.clock = clock;
    programOptions.stateFolder = lm::ControlState::folderFor(stateHome(), workDir);
    const int base = lm::WakeUpSocket::chosenBase(options.portBase());
    programOptions.wakeUpPort = base == 0 ? 0 : lm::WakeUpPorts{base}.control();
    return programOptions;
}

// The web API, made before any view on the desk and served when the settings (or --web) say
// so. A server that cannot start leaves the program running; the line says why.
std::unique_ptr<lm::WebFrontEnd> startWeb(const lm::ControlOptions& options, lm::OperatorDesk& desk,
                                          const std::filesystem::path& workDir, QObject* context) {
    auto web = std::make_unique<lm::WebFrontEnd>(
        desk, lm::WebFrontEnd::Options{workDir, options.web(), lm::QtDeskThread::poster(context)});
    std::string why;
    if (!web->apply(why)) {
        std::fprintf(stderr, "LMControl: the web API does not run: %s\n", why.c_str());
    } else if (web->running()) {
        std::fprintf(stderr, "LMControl: the web API serves on port %d\n", web->port());
    }
    return web;
}

// Starts the program's timers, once it answers a second start: a `--say` that sees this
// program's sign of life must reach it. Requests are served once the event loop runs.
void startProgram(lm::ControlProgram& program, lm::ControlInstance& instance,
                  const std::filesystem::path& workDir) {
    instance.listen(
        [&program](const lm::ControlRequest& request, const lm::ControlInstance::Reply& reply) {
            program.requests().handle(request, reply);
        });
    program.start();
    exchangeWorkDir = workDir;
    std::atexit(cleanExchangeAtExit);
}

// The program with its window, until it ends.
int runWithWindow(const QApplication& app, const lm::ControlOptions& options,
                  lm::ControlInstance& instance, const std::filesystem::path& workDir,
                  const lm::WallClock* clock) {
    lm::ShutdownSignals shutdownSignals;
    lm::ControlProgram program(programOptions(options, workDir, clock));
    startProgram(program, instance, workDir);
    const std::unique_ptr<lm::WebFrontEnd> web =
        startWeb(options, program.desk(), workDir, &program);

    lm::frmLMControl::Services services;
    services.program = &program;
    services.web = web.get();
    lm::frmLMControl window(services);
    // SIGTERM, SIGINT and logout never reach the close box: unload, then leave every event
    // loop, a modal dialog's included. Ctrl+C in a terminal is the operator's; the others end
    // a show that --resume starts again.
    QObject::connect(
        &shutdownSignals, &lm::ShutdownSignals::received, &window, [&window](int signal) {
            window.Form_Unload(signal == SIGINT ? lm::Ending::Operator : lm::Ending::System);
            QCoreApplication::exit(0);
        });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                     [&window] { window.Form_Unload(); });
    startAsAsked(options, program.desk(), window);
    window.show();
    const int status = QApplication::exec();
    window.Form_Unload();
    exchangeWorkDir.clear();
    return status;
}

// The program without a window (--no-window), until a signal ends it: what a box would say
// goes to standard error.
int runWithoutWindow(const lm::ControlOptions& options, lm::ControlInstance& instance,
                     const std::filesystem::path& workDir, const lm::WallClock* clock) {
    lm::ShutdownSignals shutdownSignals;
    lm::ControlProgram program(programOptions(options, workDir, clock));
    startProgram(program, instance, workDir);
    const std::unique_ptr<lm::WebFrontEnd> web =
        startWeb(options, program.desk(), workDir, &program);
    lm::DeskJournal journal(program.desk(), std::cerr);
    lm::Ending ending = lm::Ending::System;
    QObject::connect(&shutdownSignals, &lm::ShutdownSignals::received, &program,
                     [&ending](int signal) {
                         ending = signal == SIGINT ? lm::Ending::Operator : lm::Ending::System;
                         QCoreApplication::exit(0);
                     });
    lm::OperatorDesk& desk = program.desk();
    followPlanAsAsked(options, desk);
    if (options.resume()) {
        journal.write(desk.resume().messages);
    }
    if (!options.showFile().empty()) {
        const lm::DeskOutcome loaded = desk.load(options.showFile());
        journal.write(loaded.messages);
        if (loaded.done() && options.start()) {
            journal.write(desk.start().messages);
        }
    }
    const int status = QCoreApplication::exec();
    // No client holds the ending up: the server stops within half a second, then the desk
    // cleans the Exchange folder up.
    web->stop();
    program.end(ending);
    exchangeWorkDir.clear();
    return status;
}

// Claims the Exchange folder for this program, or hands the command line to the one that has
// it; then runs with or without the window.
int run(const lm::ControlOptions& options, const QApplication* app, const lm::WallClock* clock) {
    if (!canConvertShiftJis()) {
        return 1;
    }
    std::error_code error;
    const std::filesystem::path workDir = std::filesystem::current_path(error);
    lm::ControlInstance instance = thisFolder();
    if (!instance.claim()) {
        return handOver(instance, options);
    }
    if (!folderIsFree(workDir)) {
        return 1;
    }
    return app != nullptr ? runWithWindow(*app, options, instance, workDir, clock)
                          : runWithoutWindow(options, instance, workDir, clock);
}

} // namespace

// Exit status: 0 when the program ended normally or handed its command line to the LMControl
// that runs on this Exchange folder, 1 when it could not run or that one refused, 2 for a wrong
// option, 3 when an urgent message was sent but no screen confirms that it shows it.
int main(int argc, char* argv[]) {
    lm::ControlOptions options;
    {
        // The command line is read before any window system is asked for: --help and a wrong
        // option work without a display.
        const QCoreApplication reading(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("LMControl"));
        if (!options.parse(QCoreApplication::arguments())) {
            std::fprintf(stderr, "LMControl: %s\n", qUtf8Printable(options.error()));
            return 2;
        }
        if (options.helpWanted()) {
            std::fputs(qUtf8Printable(options.helpText()), stdout);
            return 0;
        }
        if (options.say() || options.sayEnd()) {
            return say(options);
        }
        if (options.web().command != lm::WebCommandLine::Command::None) {
            return lm::runWebCommand(options.web());
        }
    }
    std::unique_ptr<lm::WallClock> clock;
    if (!rehearsalClock(clock)) {
        return 2;
    }
    if (options.noWindow()) {
        const QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("LMControl"));
        return run(options, nullptr, clock.get());
    }
    const QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("LMControl"));
    return run(options, &app, clock.get());
}
