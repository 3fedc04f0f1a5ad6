#include "SignLabel.h"

#include <QEvent>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QTextOption>
#include <algorithm>

namespace lm {

SignLabel::SignLabel(QWidget* parent) : QWidget(parent) {
    // Every repainted pixel is filled here, so Qt may scroll the label instead of repainting it.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SignLabel::setCaption(const QString& caption) {
    if (caption == m_caption) {
        return;
    }
    m_caption = caption;
    m_layoutValid = false;
    update();
}

void SignLabel::setForeColour(const QColor& colour) {
    if (colour != m_fore) {
        m_fore = colour;
        update();
    }
}

void SignLabel::setBackColour(const QColor& colour) {
    if (colour != m_back) {
        m_back = colour;
        update();
    }
}

void SignLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        m_layoutValid = false;
        update();
    }
    QWidget::changeEvent(event);
}

void SignLabel::layoutCaption() {
    m_layout.clearLayout();
    m_layout.setText(m_caption);
    m_layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    m_layout.setTextOption(option);
    m_layout.beginLayout();
    QTextLine line = m_layout.createLine();
    m_layout.endLayout();

    m_positions.clear();
    m_x.clear();
    if (line.isValid()) {
        line.setPosition(QPointF(0, 0));
        const int length = static_cast<int>(m_caption.size());
        for (int pos = 0; pos < length; pos = m_layout.nextCursorPosition(pos)) {
            m_positions.push_back(pos);
            m_x.push_back(line.cursorToX(pos));
        }
        m_positions.push_back(length);
        m_x.push_back(line.cursorToX(length));
    }
    m_layoutValid = true;
}

void SignLabel::paintEvent(QPaintEvent* event) {
    const QRect area = event->rect();
    QPainter painter(this);
    painter.fillRect(area, m_back);
    if (!m_layoutValid) {
        layoutCaption();
    }
    if (m_positions.size() < 2) {
        return;
    }
    // Characters whose advance meets the area, with one more on each side for glyphs whose
    // ink reaches beyond their advance.
    const auto firstAfter = std::upper_bound(m_x.begin(), m_x.end(), qreal(area.left()));
    const auto lastBefore = std::upper_bound(m_x.begin(), m_x.end(), qreal(area.right() + 1));
    const auto last = static_cast<std::ptrdiff_t>(m_x.size()) - 1;
    const std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, (firstAfter - m_x.begin()) - 2);
    const std::ptrdiff_t to = std::min<std::ptrdiff_t>(last, (lastBefore - m_x.begin()) + 1);
    if (from >= to) {
        return;
    }
    const int start = m_positions[static_cast<std::size_t>(from)];
    const int end = m_positions[static_cast<std::size_t>(to)];
    painter.setPen(m_fore);
    for (const QGlyphRun& run : m_layout.glyphRuns(start, end - start)) {
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
}

} // namespace lm
