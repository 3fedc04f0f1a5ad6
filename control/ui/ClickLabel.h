#pragma once

#include <QLabel>

namespace lm {

// A label that reports a click: the picture preview and the label that lies over it.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace lm
