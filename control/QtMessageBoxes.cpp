#include "QtMessageBoxes.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QString>

namespace lm {

void QtMessageBoxes::warn(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, m_parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

bool QtMessageBoxes::askYesNo(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, m_parent);
    // The operator reads Japanese everywhere, the buttons included.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
    box.setDefaultButton(QMessageBox::Yes);
    // The close box and Esc answer No; anything but an explicit Yes changes nothing.
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace lm
