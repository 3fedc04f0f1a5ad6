#pragma once

// End-to-end harness: the real programs on a private X server.
//
//   XServer x;                                   // Xvfb 1024x768x24 at 96 dpi on a free display
//   lm::test::TempDir work;                      // the programs' working folder
//   Program velisto(LM_VELISTO_PATH, work.path(), x);
//   XDo xdo(x);
//   const quint64 window = xdo.waitForWindow(velisto.pid());
//   xdo.click({132, 140});  xdo.type(" 3");
//   QImage shot = Screenshot::take(x);
//   QVERIFY(waitUntil([&] { return std::filesystem::exists(...); }, 2000));
//
// Every X server and program is killed when its object goes, and also when the test process
// dies, so a crashed test leaves nothing running. Xvfb picks its own display number
// (-displayfd), so tests run in parallel without colliding. Programs run on the xcb platform
// with LANG=C.UTF-8, whatever platform the test itself uses. Register a test with
// lm_add_e2etest (tests/e2e/CMakeLists.txt): it passes each program's path as LM_<NAME>_PATH.

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

namespace lm::e2e {

class XServer {
public:
    explicit XServer(QSize size = {1024, 768}, int dpi = 96);
    // Several monitors: one X screen each (":N.0", ":N.1", ...), every one at 0,0.
    explicit XServer(const QList<QSize>& screens, int dpi = 96);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool isRunning() const;
    // ":N", or empty when the server did not start (see error()).
    const QString& display() const { return m_display; }
    const QString& error() const { return m_error; }
    QSize size() const { return m_size; }

    // The environment for a program on this server. Its settings, state and runtime folders
    // (XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_RUNTIME_DIR) belong to the server, never to the
    // user who runs the tests.
    QProcessEnvironment environment() const;

private:
    QProcess m_process;
    QTemporaryDir m_configHome;
    QString m_display;
    QString m_error;
    QSize m_size;
};

} // namespace lm::e2e
