#include "ControlOptions.h"

#include <system_error>

namespace lm {

ControlOptions::ControlOptions()
    : m_startOption(QStringLiteral("start"),
                    QStringLiteral("Start the show of SHOW once the window is up, as "
                                   "\"表示させる\" does.")),
      m_resumeOption(QStringLiteral("resume"),
                     QStringLiteral("Start with the show list and settings of the last run, and "
                                    "start its show again if it was running when the program "
                                    "ended without the operator (a crash, a kill, a power cut, a "
                                    "logout or shutdown).")) {
    m_parser.setApplicationDescription(
        QStringLiteral("The control program of the scrolling message sign. Only one runs per "
                       "Exchange folder: started again on the same computer, it hands its show "
                       "file to the one that runs and brings that window to the front."));
    m_parser.addHelpOption();
    m_parser.addOptions({m_startOption, m_resumeOption});
    m_parser.addPositionalArgument(QStringLiteral("SHOW"),
                                   QStringLiteral("A show file to load, as \"読み込み\" loads it."),
                                   QStringLiteral("[SHOW]"));
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
    const QStringList positional = m_parser.positionalArguments();
    if (positional.size() > 1) {
        return fail(
            QStringLiteral("unexpected argument \"%1\": one show file at most").arg(positional[1]));
    }
    if (!positional.isEmpty()) {
        if (resume()) {
            return fail(QStringLiteral("--resume takes no show file"));
        }
        std::error_code error;
        m_showFile = std::filesystem::absolute(positional.front().toStdString(), error);
        if (error) {
            m_showFile = positional.front().toStdString();
        }
    } else if (start()) {
        return fail(QStringLiteral("--start needs a show file"));
    }
    return true;
}

} // namespace lm
