#include "VelistoOptions.h"

#include "Monitors.h"
#include "NumberText.h"

#include <QRegularExpression>

namespace lm {

VelistoOptions::VelistoOptions()
    : m_screenOption(QStringLiteral("screen"),
                     QStringLiteral("The monitor to cover: its name (e.g. HDMI-1) or its position "
                                    "counted from the left (1, 2, ...). Default: the monitor "
                                    "under the mouse pointer."),
                     QStringLiteral("name|position")),
      m_numberOption(QStringLiteral("number"),
                     QStringLiteral("Start at once as display number N, as if N had been chosen "
                                    "in the start-up panel."),
                     QStringLiteral("N")),
      m_smoothOption(QStringLiteral("smooth"),
                     QStringLiteral("Glide between movement steps at the monitor's refresh rate, "
                                    "instead of moving one step per tick.")),
      m_listScreensOption(QStringLiteral("list-screens"),
                          QStringLiteral("Print one line per monitor, from the left: position, "
                                         "name, geometry and remembered number (- for none), "
                                         "separated by tabs.")),
      m_portBase(true) {
    m_parser.setApplicationDescription(
        QStringLiteral("The display program of the scrolling message sign."));
    m_parser.addHelpOption();
    m_parser.addOptions(
        {m_screenOption, m_numberOption, m_smoothOption, m_listScreensOption, m_portBase.option()});
}

std::optional<std::string> VelistoOptions::portBase() const {
    return m_portBase.value(m_parser);
}

bool VelistoOptions::fail(const QString& message) {
    m_error = message;
    return false;
}

bool VelistoOptions::parse(const QStringList& arguments) {
    if (!m_parser.parse(arguments)) {
        return fail(m_parser.errorText());
    }
    if (m_parser.isSet(QStringLiteral("help"))) {
        m_parser.showHelp(0);
    }
    if (!m_parser.positionalArguments().isEmpty()) {
        return fail(QStringLiteral("unexpected argument \"%1\"")
                        .arg(m_parser.positionalArguments().front()));
    }
    if (const QString problem = m_portBase.problem(m_parser); !problem.isEmpty()) {
        return fail(problem);
    }
    if (m_parser.isSet(m_numberOption)) {
        const QString text = m_parser.value(m_numberOption);
        // The panel's rule (blanks ignored, rounded to even); a text without any number,
        // which the panel would take as 0, is more likely a slip on a command line.
        static const QRegularExpression leadingNumber(QStringLiteral("^[+-]?\\.?[0-9]"));
        QString compact = text;
        compact.remove(QRegularExpression(QStringLiteral("\\s")));
        if (!leadingNumber.match(compact).hasMatch()) {
            return fail(QStringLiteral("--number: \"%1\" is not a number").arg(text));
        }
        m_number = toInt16(numericValue(text.toStdString()));
        if (!m_number) {
            return fail(QStringLiteral("--number: %1 is outside -32768 to 32767").arg(text));
        }
    }
    if (m_parser.isSet(m_screenOption)) {
        QString why;
        m_screen = Monitors::find(m_parser.value(m_screenOption), &why);
        if (m_screen == nullptr) {
            return fail(QStringLiteral("--screen: ") + why);
        }
    } else {
        m_screen = Monitors::underPointer();
    }
    return true;
}

} // namespace lm
