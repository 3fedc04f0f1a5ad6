#include "frmUrgent.h"

#include "JapaneseFont.h"
#include "Vocabulary.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lm {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QComboBox* colourList(QWidget* parent, const char* name, std::string_view chosen) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    for (const std::string_view word : vocabulary::colourWords) {
        combo->addItem(qs(word));
    }
    combo->setCurrentText(qs(chosen));
    return combo;
}

} // namespace

frmUrgent::frmUrgent(Send send, std::function<void()> end, QWidget* parent)
    : QDialog(parent), m_send(std::move(send)), m_end(std::move(end)) {
    setObjectName(QStringLiteral("frmUrgent"));
    setWindowTitle(QStringLiteral("緊急表示"));
    setFont(JapaneseFont::gothic(12));

    txtUrgent = new QLineEdit(this);
    txtUrgent->setObjectName(QStringLiteral("txtUrgent"));
    txtUrgent->setMinimumWidth(480);
    ComboUForeColor = colourList(this, "ComboUForeColor", UrgentMessage::defaultTextColour);
    ComboUBackColor = colourList(this, "ComboUBackColor", UrgentMessage::defaultBackColour);
    ComboUTime = new QComboBox(this);
    ComboUTime->setObjectName(QStringLiteral("ComboUTime"));
    for (const int minutes : durations) {
        ComboUTime->addItem(minutes == 0 ? QStringLiteral("終わらせるまで")
                                         : QStringLiteral("%1分").arg(minutes));
    }
    ComboUTime->setCurrentIndex(1);

    cmdUrgentSend = new QPushButton(QStringLiteral("送信する"), this);
    cmdUrgentSend->setObjectName(QStringLiteral("cmdUrgentSend"));
    cmdUrgentEnd = new QPushButton(QStringLiteral("緊急表示を終わらせる"), this);
    cmdUrgentEnd->setObjectName(QStringLiteral("cmdUrgentEnd"));
    cmdUrgentClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdUrgentClose->setObjectName(QStringLiteral("cmdUrgentClose"));
    // Enter in the text box does not send: an urgent message goes out only on purpose.
    for (QPushButton* button : {cmdUrgentSend, cmdUrgentEnd, cmdUrgentClose}) {
        button->setAutoDefault(false);
    }

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("表示させる文字"), txtUrgent);
    form->addRow(QStringLiteral("文字の色"), ComboUForeColor);
    form->addRow(QStringLiteral("バックの色"), ComboUBackColor);
    form->addRow(QStringLiteral("表示する時間"), ComboUTime);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdUrgentSend);
    buttons->addWidget(cmdUrgentEnd);
    buttons->addStretch();
    buttons->addWidget(cmdUrgentClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(cmdUrgentSend, &QPushButton::clicked, this, &frmUrgent::cmdUrgentSend_Click);
    connect(cmdUrgentEnd, &QPushButton::clicked, this, &frmUrgent::cmdUrgentEnd_Click);
    connect(cmdUrgentClose, &QPushButton::clicked, this, &QDialog::close);
    setRunning(false);
}

void frmUrgent::cmdUrgentSend_Click() {
    UrgentMessage message;
    message.text = txtUrgent->text().toStdString();
    message.textColour = ComboUForeColor->currentText().toStdString();
    message.backColour = ComboUBackColor->currentText().toStdString();
    const int minutes =
        durations.at(static_cast<std::size_t>(std::max(0, ComboUTime->currentIndex())));
    // A refused text stays for the operator to mend; the caller has said why.
    m_send(message, minutes);
}

void frmUrgent::cmdUrgentEnd_Click() {
    m_end();
}

void frmUrgent::setRunning(bool running) {
    cmdUrgentEnd->setEnabled(running);
}

} // namespace lm
