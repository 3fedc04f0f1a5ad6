#include "VelistoOnScreen.h"

#include "Screenshot.h"
#include "Wait.h"

#include <QFile>

namespace lm::e2e {

namespace {

// Where a control of the start-up panel stands, at 15 twips per pixel.
QPoint panelCentre(int left, int top, int width, int height) {
    return {(left + width / 2) / 15, (top + height / 2) / 15};
}
const QPoint combo1 = panelCentre(840 + 600, 840 + 1080, 1095, 360);
const QPoint command1 = panelCentre(840 + 2760, 840 + 960, 1575, 615);

} // namespace

VelistoOnScreen::VelistoOnScreen(std::filesystem::path workDir, QSize screen, Program::User user)
    : m_workDir(std::move(workDir)), m_user(user), m_server(screen) {}

bool VelistoOnScreen::fail(const QString& message) {
    m_error = message;
    if (m_program) {
        m_error += QStringLiteral("\n") + m_program->output();
    }
    return false;
}

bool VelistoOnScreen::start(int number) {
    if (!m_server.isRunning()) {
        return fail(m_server.error());
    }
    m_program = std::make_unique<Program>(QStringLiteral(LM_VELISTO_PATH), m_workDir, m_server,
                                          m_arguments, m_user);
    const XDo xdo(m_server);
    const quint64 window = xdo.waitForWindow(m_program->pid());
    if (window == 0) {
        return fail(QStringLiteral("Velisto showed no window"));
    }
    return chooseNumber(xdo, window, number) ||
           fail(QStringLiteral("the caption never showed the number"));
}

bool VelistoOnScreen::chooseNumber(const XDo& xdo, quint64 window, int number) {
    // The caption shows the number with a blank in the sign position.
    const QString title = QStringLiteral("ミラトス  ") + QString::number(number);
    return xdo.click(combo1) && xdo.key(QStringLiteral("ctrl+a")) &&
           xdo.type(QStringLiteral(" ") + QString::number(number)) && xdo.click(command1) &&
           waitUntil([&] { return xdo.windowName(window) == title; }, 5000, 50);
}

void VelistoOnScreen::kill() {
    if (m_program) {
        m_program->kill();
    }
}

std::optional<qint64> VelistoOnScreen::peakMemoryKb() const {
    if (!isRunning()) {
        return std::nullopt;
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(m_program->pid()));
    if (!status.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return std::nullopt;
}

QImage VelistoOnScreen::screenshot() const {
    return Screenshot::take(m_server);
}

bool VelistoOnScreen::waitForColour(const QRect& area, const QColor& colour, int ms) const {
    return waitUntil([&] { return Screenshot::isUniform(screenshot(), area, colour, 2); }, ms, 100);
}

} // namespace lm::e2e
