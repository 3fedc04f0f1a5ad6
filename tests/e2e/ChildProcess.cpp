#include "ChildProcess.h"

#include <QProcess>
#include <csignal>
#include <grp.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace lm::e2e {

void dieWithParent(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void dieWithParentUnprivileged(QProcess& process) {
    process.setChildProcessModifier([] {
        if (::geteuid() == 0) {
            constexpr gid_t nobodyGroup = 65534;
            constexpr uid_t nobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobodyGroup) != 0 ||
                ::setuid(nobody) != 0) {
                ::_exit(127);
            }
        }
        // After the change of user, which clears the death signal.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
}

} // namespace lm::e2e
