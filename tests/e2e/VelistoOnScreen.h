#pragma once

#include "Program.h"
#include "XDo.h"
#include "XServer.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <filesystem>
#include <memory>
#include <optional>

namespace lm::e2e {

// One real Velisto on an X server of its own, in a working folder, with its display number
// chosen in its start-up panel as the operator does it. It can be killed and started again on
// the same screen.
//
//   VelistoOnScreen sign(work.path());
//   QVERIFY2(sign.start(1), qPrintable(sign.error()));
//   QVERIFY(sign.waitForColour({0, 0, 100, 100}, Qt::darkBlue, 2000));
class VelistoOnScreen {
public:
    explicit VelistoOnScreen(std::filesystem::path workDir, QSize screen = {1024, 768},
                             Program::User user = Program::User::Caller);

    // Options for the program at its next start.
    void setArguments(const QStringList& arguments) { m_arguments = arguments; }
    // Starts the program and takes the number with "OK"; false (see error()) when it fails.
    bool start(int number);
    // The operator's choice in the start-up panel of any Velisto window: the number typed into
    // Combo1, then "OK"; true once the caption shows the number.
    static bool chooseNumber(const XDo& xdo, quint64 window, int number);
    // Kills the program at once, as a power cut or a crash would.
    void kill();

    bool isRunning() const { return m_program && m_program->isRunning(); }
    Program& program() { return *m_program; }
    const XServer& server() const { return m_server; }
    const QString& error() const { return m_error; }

    // Peak resident memory of the running program (VmHWM), in kilobytes.
    std::optional<qint64> peakMemoryKb() const;
    QImage screenshot() const;
    // True once the whole area shows the colour, within ms.
    bool waitForColour(const QRect& area, const QColor& colour, int ms) const;

private:
    bool fail(const QString& message);

    std::filesystem::path m_workDir;
    Program::User m_user;
    QStringList m_arguments;
    XServer m_server;
    std::unique_ptr<Program> m_program;
    QString m_error;
};

} // namespace lm::e2e
