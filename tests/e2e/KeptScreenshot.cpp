#include "KeptScreenshot.h"

#include "Screenshot.h"

#include <QDir>

namespace lm::e2e {

QImage keptScreenshot(const XServer& server, const QString& name) {
    const QString folder = qEnvironmentVariable("LM_E2E_SHOTS");
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        return Screenshot::take(server);
    }
    return Screenshot::take(server, QDir(folder).filePath(name + QStringLiteral(".png")));
}

} // namespace lm::e2e
