#pragma once

class QWidget;
class QScreen;

namespace lm {

// Lengths of the windows are designed in twips, 1/1440 inch.
class Twips {
public:
    // Twips per pixel at the logical DPI of the widget's screen: 15 at 96 dpi.
    static double perPixel(const QWidget* widget);
    static double perPixel(const QScreen* screen);
    static int toPixels(double twips, double twipsPerPixel);
};

} // namespace lm
