#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace lm {

class WebFrontEnd;

// The web API's settings dialog: on or off, the port, plain HTTP, the folder of show files,
// the password and the tokens, and the certificate's fingerprint to check a browser against.
// Each change goes through the web settings' file as the command line's do, and the running
// server follows it at once.
class frmWeb : public QDialog {
    Q_OBJECT
public:
    explicit frmWeb(WebFrontEnd& web, QWidget* parent = nullptr);

    void cmdWebApply_Click();
    void cmdWebPassword_Click();
    void cmdWebTokenMake_Click();
    void cmdWebTokenRevoke_Click();

private:
    void buildServing();
    void buildAccess();
    // Reads the settings and the server's state anew.
    void showSettings();
    void showTokens();
    void say(const QString& text);

    WebFrontEnd& m_web;
    QCheckBox* chkWebOn = nullptr;
    QSpinBox* spnWebPort = nullptr;
    QCheckBox* chkWebHttp = nullptr;
    QLineEdit* txtWebShowFolder = nullptr;
    QLineEdit* txtWebAddress = nullptr;
    QLineEdit* txtWebCertificate = nullptr;
    QLineEdit* txtWebKey = nullptr;
    QPushButton* cmdWebApply = nullptr;
    QLabel* lblWebState = nullptr;
    QLabel* lblWebFingerprint = nullptr;
    QLineEdit* txtWebPassword = nullptr;
    QLineEdit* txtWebPassword2 = nullptr;
    QPushButton* cmdWebPassword = nullptr;
    QListWidget* lstWebTokens = nullptr;
    QLineEdit* txtWebTokenName = nullptr;
    QPushButton* cmdWebTokenMake = nullptr;
    QPushButton* cmdWebTokenRevoke = nullptr;
    QLineEdit* txtWebToken = nullptr;
    QLabel* lblWebMessage = nullptr;
    QPushButton* cmdWebClose = nullptr;
};

} // namespace lm
