#include "SignScreen.h"

#include "Wait.h"
#include "XDo.h"

namespace lm::e2e {

namespace {

// The start-up panel's number list and its "OK", at 15 twips a pixel.
QPoint panelCentre(int left, int top, int width, int height) {
    return {(left + width / 2) / 15, (top + height / 2) / 15};
}
const QPoint numberList = panelCentre(840 + 600, 840 + 1080, 1095, 360);
const QPoint numberOk = panelCentre(840 + 2760, 840 + 960, 1575, 615);

} // namespace

SignScreen::SignScreen(const QString& velistoPath, int number, const std::filesystem::path& workDir)
    : m_number(number), m_server(std::make_unique<XServer>()) {
    if (!m_server->isRunning()) {
        m_error = m_server->error();
        return;
    }
    m_program = std::make_unique<Program>(velistoPath, workDir, *m_server);
    const XDo xdo(*m_server);
    const quint64 window = xdo.waitForWindow(m_program->pid());
    if (window == 0) {
        m_error = QStringLiteral("Velisto showed no window: ") + m_program->output();
        return;
    }
    // The caption shows the number with a blank in the sign position.
    const QString title = QStringLiteral("ミラトス  ") + QString::number(number);
    m_ready = xdo.click(numberList) && xdo.key(QStringLiteral("ctrl+a")) &&
              xdo.type(QStringLiteral(" ") + QString::number(number)) && xdo.click(numberOk) &&
              waitUntil([&] { return xdo.windowName(window) == title; }, 5000, 50);
    if (!m_ready) {
        m_error = QStringLiteral("display %1 did not take its number").arg(number);
    }
}

} // namespace lm::e2e
