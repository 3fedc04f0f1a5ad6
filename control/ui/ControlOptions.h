#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <filesystem>

namespace lm {

// LMControl's command line.
//
//   LMControl [SHOW]           start with the show file loaded, as "読み込み" loads it
//   --start                    then press "表示させる" once the window is up (needs SHOW)
//   --resume                   start with the list and settings of the last run, and start its
//                              show again when it was running as the program ended without the
//                              operator (a crash, a kill, a power cut, logout or shutdown)
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

private:
    bool fail(const QString& message);

    QCommandLineParser m_parser;
    QCommandLineOption m_startOption;
    QCommandLineOption m_resumeOption;
    QString m_error;
    std::filesystem::path m_showFile;
};

} // namespace lm
