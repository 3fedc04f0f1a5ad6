#pragma once

#include "MessageBoxes.h"

class QWidget;

namespace lm {

// Real message boxes, without icons, modal to the given window.
class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}

    void setParent(QWidget* parent) { m_parent = parent; }

    void warn(const std::string& text, const std::string& title) override;
    bool askYesNo(const std::string& text, const std::string& title) override;

private:
    QWidget* m_parent = nullptr;
};

} // namespace lm
