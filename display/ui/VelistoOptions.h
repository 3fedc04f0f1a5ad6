#pragma once

#include "PortBaseOption.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

class QScreen;

namespace lm {

// Velisto's command line. Without options the display covers the monitor under the mouse
// pointer and asks for its number in its start-up panel.
//
//   --screen NAME|POSITION  the monitor to cover: its name (HDMI-1) or its position from the
//                           left (1, 2, ...)
//   --number N              start as if N had been chosen in the panel with "OK"
//   --smooth                glide between movement steps at the monitor's refresh rate
//   --list-screens          print the monitors and their remembered numbers, then end
//   --port-base N           the UDP ports of the wake-ups: display n takes N + n
//                           (LMSIGN_PORT_BASE when not given)
class VelistoOptions {
public:
    VelistoOptions();

    // False when an option or its value is wrong; error() then names the option and what is
    // wrong (exit status 2). --help and --version print and end the program.
    bool parse(const QStringList& arguments);
    const QString& error() const { return m_error; }

    QScreen* screen() const { return m_screen; }
    std::optional<std::int16_t> number() const { return m_number; }
    bool smooth() const { return m_parser.isSet(m_smoothOption); }
    bool listScreens() const { return m_parser.isSet(m_listScreensOption); }
    // The option's text, when given (checked by parse()).
    std::optional<std::string> portBase() const;

private:
    bool fail(const QString& message);

    QCommandLineParser m_parser;
    QCommandLineOption m_screenOption;
    QCommandLineOption m_numberOption;
    QCommandLineOption m_smoothOption;
    QCommandLineOption m_listScreensOption;
    PortBaseOption m_portBase;
    QString m_error;
    QScreen* m_screen = nullptr;
    std::optional<std::int16_t> m_number;
};

} // namespace lm
