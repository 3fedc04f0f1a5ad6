#pragma once

#include <QCheckBox>

namespace lm {

// A check box whose caption wraps onto further lines when it is wider than the box.
class WrapCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

} // namespace lm
