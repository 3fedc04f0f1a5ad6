#include "Screenshot.h"

#include "XServer.h"

#include <QProcess>
#include <cstdlib>

namespace lm::e2e {

QImage Screenshot::take(const XServer& server) {
    QProcess process;
    process.setProcessEnvironment(server.environment());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("import"),
                  {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")});
    if (!process.waitForFinished(15000) || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return QImage::fromData(process.readAllStandardOutput(), "PNG");
}

QImage Screenshot::take(const XServer& server, const QString& pngFile) {
    const QImage image = take(server);
    if (!image.isNull()) {
        image.save(pngFile, "PNG");
    }
    return image;
}

bool Screenshot::isUniform(const QImage& image, const QRect& area, const QColor& colour,
                           int tolerance) {
    const QRect inside = area & image.rect();
    if (inside.isEmpty()) {
        return false;
    }
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) > tolerance ||
                std::abs(pixel.green() - colour.green()) > tolerance ||
                std::abs(pixel.blue() - colour.blue()) > tolerance) {
                return false;
            }
        }
    }
    return true;
}

QString Screenshot::describe(const QImage& image, QPoint at) {
    if (!image.valid(at)) {
        return QStringLiteral("(%1, %2) outside the screen").arg(at.x()).arg(at.y());
    }
    const QColor pixel = image.pixelColor(at);
    return QStringLiteral("(%1, %2) is rgb(%3, %4, %5)")
        .arg(at.x())
        .arg(at.y())
        .arg(pixel.red())
        .arg(pixel.green())
        .arg(pixel.blue());
}

} // namespace lm::e2e
