#include "Program.h"

#include "ChildProcess.h"
#include "XServer.h"

namespace lm::e2e {

Program::Program(const QString& path, const std::filesystem::path& workDir, const XServer& server,
                 const QStringList& arguments, User user) {
    if (user == User::Unprivileged) {
        dieWithParentUnprivileged(m_process);
    } else {
        dieWithParent(m_process);
    }
    m_process.setProcessEnvironment(server.environment());
    m_process.setWorkingDirectory(QString::fromStdString(workDir.string()));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(path, arguments);
    m_process.waitForStarted(10000);
}

Program::~Program() {
    kill();
}

bool Program::waitForExit(int ms) {
    if (m_process.state() == QProcess::NotRunning) {
        return true;
    }
    return m_process.waitForFinished(ms);
}

QString Program::output() {
    m_output += QString::fromUtf8(m_process.readAll());
    return m_output;
}

void Program::kill() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

} // namespace lm::e2e
