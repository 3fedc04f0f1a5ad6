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
      m_portBase(false) {
    m_parser.setApplicationDescription(
        QStringLiteral("The control program of the scrolling message sign. Only one runs per "
                       "Exchange folder: started again on the same computer, it hands its show "
                       "file to the one that runs and brings that window to the front."));
    m_parser.addHelpOption();
    m_parser.addOptions({m_startOption, m_resumeOption, m_sayOption, m_minutesOption,
                         m_sayEndOption, m_planOption, m_portBase.option()});
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
