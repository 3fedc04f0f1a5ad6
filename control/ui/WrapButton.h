#pragma once

#include <QPushButton>

namespace lm {

// A button whose caption wraps onto further lines when it is wider than the button, as the
// window's narrow buttons are designed ("表示を止める" stands on two lines).
class WrapButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace lm
