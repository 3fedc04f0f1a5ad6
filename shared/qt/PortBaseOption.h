#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <optional>
#include <string>

namespace lm {

// --port-base N, the UDP ports of the wake-ups, as both programs take it.
class PortBaseOption {
public:
    // forDisplays: the help speaks of display n's port, else of the control program's.
    explicit PortBaseOption(bool forDisplays);

    const QCommandLineOption& option() const { return m_option; }
    // The value given, when it was given.
    std::optional<std::string> value(const QCommandLineParser& parser) const;
    // What is wrong with the value given, or empty (also when none was given).
    QString problem(const QCommandLineParser& parser) const;

private:
    QCommandLineOption m_option;
};

} // namespace lm
