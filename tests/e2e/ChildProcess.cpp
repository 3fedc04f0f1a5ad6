#include "ChildProcess.h"

#include <QProcess>
#include <csignal>
#include <sys/prctl.h>

namespace lm::e2e {

void dieWithParent(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

} // namespace lm::e2e
