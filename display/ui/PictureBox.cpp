#include "PictureBox.h"

#include <QPaintEvent>
#include <QPainter>

namespace lm {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

void PictureBox::setPixmap(const QPixmap& pixmap) {
    m_pixmap = pixmap;
    // An opaque picture hides everything beneath it; Qt then repaints nothing behind it.
    setAttribute(Qt::WA_OpaquePaintEvent,
                 !m_pixmap.isNull() && !m_pixmap.hasAlphaChannel() && m_pixmap.size() == size());
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    if (m_pixmap.isNull()) {
        return;
    }
    QPainter painter(this);
    const QRect area = event->rect() & m_pixmap.rect();
    painter.drawPixmap(area, m_pixmap, area);
}

} // namespace lm
