#include "PortBaseOption.h"

#include "WakeUpPorts.h"

namespace lm {

PortBaseOption::PortBaseOption(bool forDisplays)
    : m_option(QStringLiteral("port-base"),
               QStringLiteral("%1 (N from %2 to %3). Default: LMSIGN_PORT_BASE, or %4.")
                   .arg(forDisplays ? QStringLiteral("The UDP ports where the wake-ups arrive: "
                                                     "display n takes N + n")
                                    : QStringLiteral("The UDP port where the displays' wake-ups "
                                                     "arrive (display n takes N + n)"))
                   .arg(WakeUpPorts::minBase)
                   .arg(WakeUpPorts::maxBase)
                   .arg(WakeUpPorts::defaultBase),
               QStringLiteral("N")) {}

std::optional<std::string> PortBaseOption::value(const QCommandLineParser& parser) const {
    if (!parser.isSet(m_option)) {
        return std::nullopt;
    }
    return parser.value(m_option).toStdString();
}

QString PortBaseOption::problem(const QCommandLineParser& parser) const {
    const std::optional<std::string> given = value(parser);
    if (!given || WakeUpPorts::fromText(*given)) {
        return {};
    }
    return QStringLiteral("--port-base: \"%1\" is not a port from %2 to %3")
        .arg(parser.value(m_option))
        .arg(WakeUpPorts::minBase)
        .arg(WakeUpPorts::maxBase);
}

} // namespace lm
