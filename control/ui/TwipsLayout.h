#pragma once

#include "Twips.h"

#include <QFont>
#include <QString>
#include <QWidget>

namespace lm {

// Places controls where the windows are designed, in twips.
class TwipsLayout {
public:
    struct Box {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
    };

    explicit TwipsLayout(double twipsPerPixel) : m_twipsPerPixel(twipsPerPixel) {}

    double twipsPerPixel() const { return m_twipsPerPixel; }
    int pixels(int twips) const { return Twips::toPixels(twips, m_twipsPerPixel); }

    // A new control in the container, with its name, its place and its font.
    template <class Widget>
    Widget* make(QWidget* container, const char* name, const Box& box, const QFont& font) const {
        auto* widget = new Widget(container);
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(pixels(box.left), pixels(box.top), pixels(box.width),
                            pixels(box.height));
        widget->setFont(font);
        return widget;
    }

private:
    double m_twipsPerPixel = 15.0;
};

} // namespace lm
