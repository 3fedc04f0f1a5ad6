#include "XServer.h"

#include "ChildProcess.h"

#include <QDir>
#include <QFile>

namespace lm::e2e {

namespace {
constexpr int startTimeoutMs = 15000;
}

XServer::XServer(QSize size, int dpi) : XServer(QList<QSize>{size}, dpi) {}

XServer::XServer(const QList<QSize>& screens, int dpi) : m_size(screens.value(0)) {
    // The runtime folder must be the user's own and private, or Qt looks for another.
    QDir(m_configHome.path()).mkdir(QStringLiteral("run"));
    QFile::setPermissions(m_configHome.filePath(QStringLiteral("run")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    dieWithParent(m_process);
    m_process.setStandardErrorFile(QProcess::nullDevice());
    // -displayfd 1: Xvfb picks a free display and writes its number to its standard output.
    QStringList arguments{QStringLiteral("-displayfd"), QStringLiteral("1")};
    for (qsizetype screen = 0; screen < screens.size(); ++screen) {
        arguments << QStringLiteral("-screen") << QString::number(screen)
                  << QStringLiteral("%1x%2x24")
                         .arg(screens[screen].width())
                         .arg(screens[screen].height());
    }
    arguments << QStringLiteral("-dpi") << QString::number(dpi) << QStringLiteral("-nolisten")
              << QStringLiteral("tcp") << QStringLiteral("-noreset");
    m_process.start(QStringLiteral("Xvfb"), arguments);
    if (!m_process.waitForStarted(startTimeoutMs)) {
        m_error = QStringLiteral("Xvfb did not start: ") + m_process.errorString();
        return;
    }
    QByteArray output;
    while (!output.contains('\n')) {
        if (!m_process.waitForReadyRead(startTimeoutMs)) {
            m_error = QStringLiteral("Xvfb gave no display number");
            return;
        }
        output += m_process.readAllStandardOutput();
    }
    bool ok = false;
    const int number = output.trimmed().toInt(&ok);
    if (!ok) {
        m_error = QStringLiteral("Xvfb wrote no number: ") + QString::fromLatin1(output);
        return;
    }
    m_display = QStringLiteral(":") + QString::number(number);
}

XServer::~XServer() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
}

bool XServer::isRunning() const {
    return !m_display.isEmpty() && m_process.state() == QProcess::Running;
}

QProcessEnvironment XServer::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.remove(QStringLiteral("LC_ALL"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("XAUTHORITY"));
    environment.remove(QStringLiteral("QT_SCALE_FACTOR"));
    environment.remove(QStringLiteral("QT_FONT_DPI"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_configHome.path());
    environment.insert(QStringLiteral("XDG_STATE_HOME"),
                       m_configHome.filePath(QStringLiteral("state")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                       m_configHome.filePath(QStringLiteral("run")));
    // In a sanitizer build a leak inside a system library would fail the program's exit code.
    QString leakOptions = environment.value(QStringLiteral("LSAN_OPTIONS"));
    if (!leakOptions.isEmpty()) {
        leakOptions += QLatin1Char(':');
    }
    leakOptions += QStringLiteral("suppressions=" LM_E2E_LSAN_SUPPRESSIONS ":print_suppressions=0");
    environment.insert(QStringLiteral("LSAN_OPTIONS"), leakOptions);
    return environment;
}

} // namespace lm::e2e
