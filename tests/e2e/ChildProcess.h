#pragma once

class QProcess;

namespace lm::e2e {

// Makes a started child die with the test process, even when the test crashes.
void dieWithParent(QProcess& process);

// The same, and when the test runs as root the child runs as the unprivileged user "nobody",
// for whom file permissions hold (root would write into a read-only folder).
void dieWithParentUnprivileged(QProcess& process);

} // namespace lm::e2e
