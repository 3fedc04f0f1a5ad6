#include "WrapCheckBox.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace lm {

void WrapCheckBox::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_CheckBox, option);
    option.text = caption;
    const QRect area = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    painter.setPen(option.palette.color(QPalette::WindowText));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, caption);
}

bool WrapCheckBox::hitButton(const QPoint& /*pos*/) const {
    // The whole box, caption included, ticks it.
    return true;
}

} // namespace lm
