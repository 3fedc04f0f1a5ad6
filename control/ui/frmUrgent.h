#pragma once

#include "UrgentMessage.h"

#include <QDialog>
#include <array>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lm {

// The urgent message's dialog: its text and colours, how long it runs, and the buttons that
// send it and end it. It stays open beside the control window, so the operator can end the
// message from it again.
class frmUrgent : public QDialog {
    Q_OBJECT
public:
    // The minutes the duration list offers; 0 is "終わらせるまで".
    static constexpr std::array<int, 4> durations{1, 5, 15, 0};

    // send: the message with its minutes (0: until ended); why not, or empty once it runs.
    using Send = std::function<std::string(const UrgentMessage& message, int minutes)>;

    frmUrgent(Send send, std::function<void()> end, QWidget* parent = nullptr);

    void cmdUrgentSend_Click();
    void cmdUrgentEnd_Click();
    // Whether a message runs now: the end button is there only then.
    void setRunning(bool running);

private:
    Send m_send;
    std::function<void()> m_end;
    QLineEdit* txtUrgent = nullptr;
    QComboBox* ComboUForeColor = nullptr;
    QComboBox* ComboUBackColor = nullptr;
    QComboBox* ComboUTime = nullptr;
    QPushButton* cmdUrgentSend = nullptr;
    QPushButton* cmdUrgentEnd = nullptr;
    QPushButton* cmdUrgentClose = nullptr;
};

} // namespace lm
