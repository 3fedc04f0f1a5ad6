#pragma once

#include <QImage>
#include <QString>

namespace lm::e2e {

class XServer;

// A screenshot of the whole screen, also kept as <name>.png in the folder that
// LM_E2E_SHOTS names, when it is set: the pictures a test looked at, to see after a run.
QImage keptScreenshot(const XServer& server, const QString& name);

} // namespace lm::e2e
