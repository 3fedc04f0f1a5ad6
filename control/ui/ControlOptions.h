#pragma once

#include "PortBaseOption.h"
#include "WebCommandLine.h"
#include "WeekPlan.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>

namespace lm {

// LMControl's command line.
//
//   LMControl [SHOW]           start with the show file loaded, as "読み込み" loads it
//   --start                    then press "表示させる" once the window is up (needs SHOW)
//   --resume                   start with the list and settings of the last run, and start its
//                              show again when it was running as the program ended without the
//                              operator (a crash, a kill, a power cut, logout or shutdown)
//   --say TEXT [--minutes N]   have the LMControl that runs show TEXT as an urgent message, for
//                              N minutes or until it is ended; no window of its own
//   --say-end                  end the urgent message of the LMControl that runs
//   --plan FILE                follow the week plan in FILE, as "予定に従う" does
//   --port-base N              the UDP port where the displays' wake-ups arrive (display n takes
//                              N + n); LMSIGN_PORT_BASE when not given
//   --web [--web-port N] [--web-http] [--web-cert FILE --web-key FILE]
//                              serve the web API in this run, over the saved settings
//   --web-password             read a new password for the web API from standard input
//   --web-token NAME           make an API token and print it once
//   --web-revoke NAME          revoke the token
//   --web-info                 print whether the web API is on, its address and the
//                              certificate's SHA-256 fingerprint
//   --no-window                run without a window or a display server (a computer in a
//                              cupboard): the desk, the web API and the local requests
class ControlOptions {
public:
    ControlOptions();

    // False when an option is wrong; error() then says which and why (exit status 2).
    bool parse(const QStringList& arguments);
    const QString& error() const { return m_error; }
    // --help: print helpText() and end.
    bool helpWanted() const { return m_parser.isSet(QStringLiteral("help")); }
    QString helpText() const { return m_parser.helpText(); }

    // Absolute (from the working folder); empty when no show file was named.
    const std::filesystem::path& showFile() const { return m_showFile; }
    bool start() const { return m_parser.isSet(m_startOption); }
    bool resume() const { return m_parser.isSet(m_resumeOption); }
    bool say() const { return m_parser.isSet(m_sayOption); }
    QString sayText() const { return m_parser.value(m_sayOption); }
    // 0: until it is ended.
    int minutes() const { return m_minutes; }
    bool sayEnd() const { return m_parser.isSet(m_sayEndOption); }
    // --plan: the file (absolute), empty when not given, and the plan read from it by parse().
    const std::filesystem::path& planFile() const { return m_planFile; }
    const std::optional<WeekPlan>& plan() const { return m_plan; }
    // The option's text, when given (checked by parse()).
    std::optional<std::string> portBase() const;
    // The web API's options; a one-shot command when web().command is not None.
    const WebCommandLine& web() const { return m_web; }
    bool noWindow() const { return m_parser.isSet(m_noWindowOption); }

private:
    bool fail(const QString& message);
    bool parseWeb();
    bool readPlan();

    QCommandLineParser m_parser;
    QCommandLineOption m_startOption;
    QCommandLineOption m_resumeOption;
    QCommandLineOption m_sayOption;
    QCommandLineOption m_minutesOption;
    QCommandLineOption m_sayEndOption;
    QCommandLineOption m_planOption;
    PortBaseOption m_portBase;
    QCommandLineOption m_webOption;
    QCommandLineOption m_webPortOption;
    QCommandLineOption m_webHttpOption;
    QCommandLineOption m_webCertOption;
    QCommandLineOption m_webKeyOption;
    QCommandLineOption m_webPasswordOption;
    QCommandLineOption m_webTokenOption;
    QCommandLineOption m_webRevokeOption;
    QCommandLineOption m_webInfoOption;
    QCommandLineOption m_noWindowOption;
    WebCommandLine m_web;
    QString m_error;
    int m_minutes = 0;
    std::filesystem::path m_showFile;
    std::filesystem::path m_planFile;
    std::optional<WeekPlan> m_plan;
};

} // namespace lm
