#pragma once

class QProcess;

namespace lm::e2e {

// Makes a started child die with the test process, even when the test crashes.
void dieWithParent(QProcess& process);

} // namespace lm::e2e
