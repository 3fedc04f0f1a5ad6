#include "ControlOptions.h"

#include "PlanFile.h"

#include <system_error>

namespace lm {

namespace {

std::filesystem::path absolute(const QString& name) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(name.toStdString(), error);
    return error ? std::filesystem::path(name.toStdString()) : path;
}

} // namespace

ControlOptions::ControlOptions()
    : m_startOption(QStringLiteral("start"),
                    QStringLiteral("Start the show of SHOW once the window is up, as "
                                   "\"表示させる\" does.")),
      m_resumeOption(QStringLiteral("resume"),
                     QStringLiteral("Start with the show list and settings of the last run, and "
                                    "start its show again if it was running when the program "
                                    "ended without the operator (a crash, a kill, a power cut, a "
                                    "logout or shutdown).")),
      m_sayOption(QStringLiteral("say"),
                  QStringLiteral("Have the LMControl that runs on this Exchange folder show TEXT "
                                 "on every screen at once as an urgent message, until it is "
                                 "ended (--say-end, or the operator) or for --minutes. Exit "
                                 "status 0 once it runs, 1 when no LMControl runs or the text is "
                                 "refused."),
                  QStringLiteral("TEXT")),
      m_minutesOption(QStringLiteral("minutes"),
                      QStringLiteral("With --say: the urgent message ends by itself after N "
                                     "minutes (1 to 1440)."),
                      QStringLiteral("N")),
      m_sayEndOption(QStringLiteral("say-end"),
                     QStringLiteral("End the urgent message of the LMControl that runs; its show "
                                    "goes on. Exit status 0 once it has ended.")),
      m_planOption(QStringLiteral("plan"),
                   QStringLiteral("Follow the week plan in FILE, as \"予定に従う\" does: at each "
                                  "change of its entries its show runs, or the displays stop. "
                                  "Kept for --resume. A plan that cannot be read is refused "
                                  "with its line and the reason."),
                   QStringLiteral("FILE")),
      m_portBase(false),
      m_webOption(QStringLiteral("web"),
                  QStringLiteral("Serve the web API in this run (HTTPS; off unless turned on "
                                 "here or in the window).")),
      m_webPortOption(QStringLiteral("web-port"),
                      QStringLiteral("The web API's TCP port (1 to 65535; 8443 unless set)."),
                      QStringLiteral("N")),
      m_webHttpOption(QStringLiteral("web-http"),
                      QStringLiteral("Serve the web API over plain HTTP instead of HTTPS: only "
                                     "on a closed network.")),
      m_webCertOption(QStringLiteral("web-cert"),
                      QStringLiteral("Serve HTTPS with this certificate (PEM) instead of the "
                                     "self-signed one; needs --web-key."),
                      QStringLiteral("FILE")),
      m_webKeyOption(QStringLiteral("web-key"),
                     QStringLiteral("The private key (PEM, without a pass phrase) of --web-cert."),
                     QStringLiteral("FILE")),
      m_webPasswordOption(QStringLiteral("web-password"),
                          QStringLiteral("Read a new password for the web API from standard "
                                         "input, and end. Sessions opened with the old one end.")),
      m_webTokenOption(QStringLiteral("web-token"),
                       QStringLiteral("Make an API token named NAME for scripts, print it once, "
                                      "and end."),
                       QStringLiteral("NAME")),
      m_webRevokeOption(QStringLiteral("web-revoke"),
                        QStringLiteral("Revoke the API token named NAME, and end."),
                        QStringLiteral("NAME")),
      m_webInfoOption(QStringLiteral("web-info"),
                      QStringLiteral("Print whether the web API is on, its address, the SHA-256 "
                                     "fingerprint of its certificate and its tokens' names, and "
                                     "end.")),
      m_noWindowOption(QStringLiteral("no-window"),
                       QStringLiteral("Run without a window or a display server: the show, the "
                                      "web API and the requests of --say, for a computer without "
                                      "anyone at it. What a message box would say goes to "
                                      "standard error.")) {
    m_parser.setApplicationDescription(
        QStringLiteral("The control program of the scrolling message sign. Only one runs per "
                       "Exchange folder: started again on the same computer, it hands its show "
                       "file to the one that runs and brings that window to the front."));
    m_parser.addHelpOption();
    m_parser.addOptions({m_startOption, m_resumeOption, m_sayOption, m_minutesOption,
                         m_sayEndOption, m_planOption, m_portBase.option(), m_webOption,
                         m_webPortOption, m_webHttpOption, m_webCertOption, m_webKeyOption,
                         m_webPasswordOption, m_webTokenOption, m_webRevokeOption,
                         m_webInfoOption});
    m_parser.addOption(m_noWindowOption);
    m_parser.addPositionalArgument(QStringLiteral("SHOW"),
                                   QStringLiteral("A show file to load, as \"読み込み\" loads it."),
                                   QStringLiteral("[SHOW]"));
}

std::optional<std::string> ControlOptions::portBase() const {
    return m_portBase.value(m_parser);
}

bool ControlOptions::fail(const QString& message) {
    m_error = message;
    return false;
}

bool ControlOptions::parseWeb() {
    m_web = WebCommandLine{};
    int commands = 0;
    for (const auto& [option, command] :
         {std::pair{&m_webPasswordOption, WebCommandLine::Command::Password},
          std::pair{&m_webTokenOption, WebCommandLine::Command::Token},
          std::pair{&m_webRevokeOption, WebCommandLine::Command::Revoke},
          std::pair{&m_webInfoOption, WebCommandLine::Command::Info}}) {
        if (m_parser.isSet(*option)) {
            m_web.command = command;
            ++commands;
        }
    }
    if (commands > 1) {
        return fail(QStringLiteral(
            "--web-password, --web-token, --web-revoke and --web-info exclude each other"));
    }
    for (const QCommandLineOption* option : {&m_webTokenOption, &m_webRevokeOption}) {
        if (m_parser.isSet(*option)) {
            m_web.tokenName = m_parser.value(*option).toStdString();
            if (!isTokenName(m_web.tokenName)) {
                return fail(QStringLiteral("--%1: \"%2\" is not a token name (1 to 64 letters, "
                                           "digits, \".\", \"_\" or \"-\")")
                                .arg(option->names().front(), m_parser.value(*option)));
            }
        }
    }
    if (m_web.command != WebCommandLine::Command::None &&
        (say() || sayEnd() || start() || resume() || !m_parser.positionalArguments().isEmpty())) {
        return fail(QStringLiteral("the --web commands take no show file, --start, --resume, "
                                   "--say or --say-end"));
    }
    m_web.web = m_parser.isSet(m_webOption);
    m_web.plainHttp = m_parser.isSet(m_webHttpOption);
    if (m_parser.isSet(m_webPortOption)) {
        bool number = false;
        const int port = m_parser.value(m_webPortOption).toInt(&number);
        if (!number || port < 1 || port > 65535) {
            return fail(QStringLiteral("--web-port: \"%1\" is not a port from 1 to 65535")
                            .arg(m_parser.value(m_webPortOption)));
        }
        m_web.port = port;
    }
    if (m_parser.isSet(m_webCertOption) != m_parser.isSet(m_webKeyOption)) {
        return fail(QStringLiteral("--web-cert and --web-key go together"));
    }
    if (m_parser.isSet(m_webCertOption)) {
        if (m_web.plainHttp) {
            return fail(QStringLiteral("--web-cert and --web-key are for HTTPS, not --web-http"));
        }
        std::error_code error;
        m_web.certificateFile =
            std::filesystem::absolute(m_parser.value(m_webCertOption).toStdString(), error)
                .string();
        m_web.privateKeyFile =
            std::filesystem::absolute(m_parser.value(m_webKeyOption).toStdString(), error).string();
    }
    return true;
}

bool ControlOptions::parse(const QStringList& arguments) {
    if (!m_parser.parse(arguments)) {
        return fail(m_parser.errorText());
    }
    if (helpWanted()) {
        return true;
    }
    if (const QString problem = m_portBase.problem(m_parser); !problem.isEmpty()) {
        return fail(problem);
    }
    if (!parseWeb()) {
        return false;
    }
    if (say() && sayEnd()) {
        return fail(QStringLiteral("--say and --say-end exclude each other"));
    }
    if (m_parser.isSet(m_minutesOption)) {
        bool number = false;
        m_minutes = m_parser.value(m_minutesOption).toInt(&number);
        if (!say()) {
            return fail(QStringLiteral("--minutes goes with --say"));
        }
        constexpr int longest = 24 * 60;
        if (!number || m_minutes < 1 || m_minutes > longest) {
            return fail(QStringLiteral("--minutes: \"%1\" is not a number of minutes from 1 to %2")
                            .arg(m_parser.value(m_minutesOption))
                            .arg(longest));
        }
    }
    if ((say() || sayEnd()) && (start() || resume() || m_parser.isSet(m_planOption) ||
                                !m_parser.positionalArguments().isEmpty())) {
        return fail(
            QStringLiteral("--say and --say-end take no show file, --start, --resume or --plan"));
    }
    if (m_parser.isSet(m_planOption) && !readPlan()) {
        return false;
    }
    const QStringList positional = m_parser.positionalArguments();
    if (positional.size() > 1) {
        return fail(
            QStringLiteral("unexpected argument \"%1\": one show file at most").arg(positional[1]));
    }
    if (!positional.isEmpty()) {
        if (resume()) {
            return fail(QStringLiteral("--resume takes no show file"));
        }
        m_showFile = absolute(positional.front());
    } else if (start()) {
        return fail(QStringLiteral("--start needs a show file"));
    }
    return true;
}

bool ControlOptions::readPlan() {
    m_planFile = absolute(m_parser.value(m_planOption));
    PlanRead read = planFile::read(m_planFile);
    if (!read.plan) {
        return fail(QStringLiteral("--plan: ") + QString::fromStdString(read.words(m_planFile)));
    }
    m_plan = std::move(read.plan);
    return true;
}

} // namespace lm
