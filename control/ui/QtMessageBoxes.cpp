#include "QtMessageBoxes.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMessageBox>
#include <QShortcut>
#include <QString>
#include <QStringList>

namespace lm {

namespace {

// Ctrl+C copies the whole message: title, text and buttons between rules, as desktop message
// boxes do, so an operator can pass a warning on word for word.
void copyOnCtrlC(QMessageBox& box) {
    auto* copy = new QShortcut(QKeySequence::Copy, &box);
    QObject::connect(copy, &QShortcut::activated, &box, [&box] {
        const QString rule = QStringLiteral("---------------------------\n");
        QStringList buttons;
        for (const QAbstractButton* button : box.buttons()) {
            buttons << button->text().remove(QLatin1Char('&'));
        }
        QGuiApplication::clipboard()->setText(
            rule + box.windowTitle() + QLatin1Char('\n') + rule + box.text() + QLatin1Char('\n') +
            rule + buttons.join(QStringLiteral("   ")) + QLatin1Char('\n') + rule);
    });
}

} // namespace

void QtMessageBoxes::warn(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, m_parent);
    box.setDefaultButton(QMessageBox::Ok);
    copyOnCtrlC(box);
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
    copyOnCtrlC(box);
    return box.exec() == QMessageBox::Yes;
}

} // namespace lm
