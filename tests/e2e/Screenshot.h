#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

namespace lm::e2e {

class XServer;

// Pictures of an X server's screen, taken with ImageMagick's import.
class Screenshot {
public:
    // The whole screen, or a null image when it cannot be taken.
    static QImage take(const XServer& server);
    // Also keeps the picture as a PNG file, for looking at after a failure.
    static QImage take(const XServer& server, const QString& pngFile);

    // True when every pixel of the area has the colour, within the tolerance per channel.
    static bool isUniform(const QImage& image, const QRect& area, const QColor& colour,
                          int tolerance = 0);
    static QString describe(const QImage& image, QPoint at);
};

} // namespace lm::e2e
