#include "frmWeb.h"

#include "JapaneseFont.h"
#include "WebFrontEnd.h"
#include "WebSettingsEdits.h"
#include "WebSettingsStore.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace lm {

namespace {

template <typename Widget, typename... Args>
Widget* named(QWidget* parent, const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

frmWeb::frmWeb(WebFrontEnd& web, QWidget* parent) : QDialog(parent), m_web(web) {
    setObjectName(QStringLiteral("frmWeb"));
    setWindowTitle(QStringLiteral("ウェブ API の設定"));
    setFont(JapaneseFont::gothic(12));
    auto* layout = new QVBoxLayout(this);
    buildServing();
    buildAccess();
    lblWebMessage = named<QLabel>(this, "lblWebMessage");
    lblWebMessage->setWordWrap(true);
    cmdWebClose = named<QPushButton>(this, "cmdWebClose", QStringLiteral("閉じる"));
    cmdWebClose->setAutoDefault(false);
    connect(cmdWebClose, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(findChild<QGroupBox*>(QStringLiteral("fraWebServing")));
    layout->addWidget(findChild<QGroupBox*>(QStringLiteral("fraWebAccess")));
    layout->addWidget(lblWebMessage);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdWebClose);
    layout->addLayout(buttons);
    showSettings();
}

void frmWeb::buildServing() {
    auto* frame = named<QGroupBox>(this, "fraWebServing", QStringLiteral("公開"));
    chkWebOn = named<QCheckBox>(frame, "chkWebOn", QStringLiteral("ウェブ API を使う"));
    spnWebPort = named<QSpinBox>(frame, "spnWebPort");
    spnWebPort->setRange(1, 65535);
    chkWebHttp = named<QCheckBox>(frame, "chkWebHttp",
                                  QStringLiteral("暗号化しない（HTTP。閉じたネットワークだけで）"));
    txtWebShowFolder = named<QLineEdit>(frame, "txtWebShowFolder");
    txtWebShowFolder->setPlaceholderText(QStringLiteral("空欄：作業フォルダー"));
    txtWebShowFolder->setMinimumWidth(360);
    txtWebAddress = named<QLineEdit>(frame, "txtWebAddress");
    txtWebAddress->setPlaceholderText(
        QStringLiteral("0.0.0.0：このコンピュータのすべてのアドレス"));
    txtWebCertificate = named<QLineEdit>(frame, "txtWebCertificate");
    txtWebCertificate->setPlaceholderText(QStringLiteral("空欄：自己署名の証明書"));
    txtWebKey = named<QLineEdit>(frame, "txtWebKey");
    txtWebKey->setPlaceholderText(QStringLiteral("空欄：自己署名の証明書の鍵"));
    cmdWebApply = named<QPushButton>(frame, "cmdWebApply", QStringLiteral("設定する"));
    cmdWebApply->setAutoDefault(false);
    lblWebState = named<QLabel>(frame, "lblWebState");
    lblWebFingerprint = named<QLabel>(frame, "lblWebFingerprint");
    lblWebFingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblWebFingerprint->setFont(JapaneseFont::gothic(9));
    auto* form = new QFormLayout(frame);
    form->addRow(chkWebOn);
    form->addRow(QStringLiteral("アドレス"), txtWebAddress);
    form->addRow(QStringLiteral("ポート"), spnWebPort);
    form->addRow(chkWebHttp);
    form->addRow(QStringLiteral("データファイルのフォルダー"), txtWebShowFolder);
    form->addRow(QStringLiteral("証明書（PEM）"), txtWebCertificate);
    form->addRow(QStringLiteral("秘密鍵（PEM）"), txtWebKey);
    form->addRow(cmdWebApply);
    form->addRow(QStringLiteral("状態"), lblWebState);
    form->addRow(QStringLiteral("証明書の SHA-256"), lblWebFingerprint);
    connect(cmdWebApply, &QPushButton::clicked, this, &frmWeb::cmdWebApply_Click);
}

void frmWeb::buildAccess() {
    auto* frame = named<QGroupBox>(this, "fraWebAccess", QStringLiteral("パスワードとトークン"));
    txtWebPassword = named<QLineEdit>(frame, "txtWebPassword");
    txtWebPassword2 = named<QLineEdit>(frame, "txtWebPassword2");
    for (QLineEdit* box : {txtWebPassword, txtWebPassword2}) {
        box->setEchoMode(QLineEdit::Password);
    }
    cmdWebPassword =
        named<QPushButton>(frame, "cmdWebPassword", QStringLiteral("パスワードを設定する"));
    lstWebTokens = named<QListWidget>(frame, "lstWebTokens");
    lstWebTokens->setMaximumHeight(96);
    txtWebTokenName = named<QLineEdit>(frame, "txtWebTokenName");
    txtWebTokenName->setPlaceholderText(QStringLiteral("名前（英数字 . _ -）"));
    cmdWebTokenMake =
        named<QPushButton>(frame, "cmdWebTokenMake", QStringLiteral("トークンを作る"));
    cmdWebTokenRevoke =
        named<QPushButton>(frame, "cmdWebTokenRevoke", QStringLiteral("選んだトークンを取り消す"));
    txtWebToken = named<QLineEdit>(frame, "txtWebToken");
    txtWebToken->setReadOnly(true);
    txtWebToken->setPlaceholderText(QStringLiteral("作ったトークンは、ここに一度だけ出ます"));
    for (QPushButton* button : {cmdWebPassword, cmdWebTokenMake, cmdWebTokenRevoke}) {
        button->setAutoDefault(false);
    }
    auto* form = new QFormLayout(frame);
    form->addRow(QStringLiteral("パスワード"), txtWebPassword);
    form->addRow(QStringLiteral("もう一度"), txtWebPassword2);
    form->addRow(cmdWebPassword);
    form->addRow(QStringLiteral("トークン"), lstWebTokens);
    form->addRow(QStringLiteral("新しいトークンの名前"), txtWebTokenName);
    auto* tokenButtons = new QHBoxLayout;
    tokenButtons->addWidget(cmdWebTokenMake);
    tokenButtons->addWidget(cmdWebTokenRevoke);
    form->addRow(tokenButtons);
    form->addRow(QStringLiteral("新しいトークン"), txtWebToken);
    connect(cmdWebPassword, &QPushButton::clicked, this, &frmWeb::cmdWebPassword_Click);
    connect(cmdWebTokenMake, &QPushButton::clicked, this, &frmWeb::cmdWebTokenMake_Click);
    connect(cmdWebTokenRevoke, &QPushButton::clicked, this, &frmWeb::cmdWebTokenRevoke_Click);
}

void frmWeb::showSettings() {
    const WebSettings settings = m_web.settings();
    chkWebOn->setChecked(settings.enabled);
    spnWebPort->setValue(settings.port);
    chkWebHttp->setChecked(settings.plainHttp);
    txtWebShowFolder->setText(QString::fromStdString(settings.showFolder));
    txtWebAddress->setText(QString::fromStdString(settings.address));
    txtWebCertificate->setText(QString::fromStdString(settings.certificateFile));
    txtWebKey->setText(QString::fromStdString(settings.privateKeyFile));
    const QString scheme = settings.plainHttp ? QStringLiteral("http") : QStringLiteral("https");
    lblWebState->setText(
        m_web.running() ? QStringLiteral("動作中（%1、ポート %2）").arg(scheme).arg(m_web.port())
                        : QStringLiteral("停止中"));
    std::string why;
    const std::string fingerprint = m_web.fingerprint(why);
    lblWebFingerprint->setText(QString::fromStdString(fingerprint.empty() ? why : fingerprint));
    showTokens();
}

void frmWeb::showTokens() {
    lstWebTokens->clear();
    for (const WebToken& token : m_web.settings().tokens) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1（%2）")
                .arg(QString::fromStdString(token.name), QString::fromStdString(token.created)),
            lstWebTokens);
        item->setData(Qt::UserRole, QString::fromStdString(token.name));
    }
}

void frmWeb::say(const QString& text) {
    lblWebMessage->setText(text);
}

void frmWeb::cmdWebApply_Click() {
    webSettingsEdits::Serving serving;
    serving.enabled = chkWebOn->isChecked();
    serving.port = spnWebPort->value();
    serving.plainHttp = chkWebHttp->isChecked();
    serving.showFolder = txtWebShowFolder->text().trimmed().toStdString();
    serving.address = txtWebAddress->text().trimmed().toStdString();
    serving.certificateFile = txtWebCertificate->text().trimmed().toStdString();
    serving.privateKeyFile = txtWebKey->text().trimmed().toStdString();
    std::string why;
    if (!webSettingsEdits::setServing(*m_web.store(), serving, why)) {
        say(QStringLiteral("設定できません：%1").arg(QString::fromStdString(why)));
        return;
    }
    if (!m_web.applySaved(why)) {
        say(QStringLiteral("設定しましたが、ウェブ API を始められません：%1")
                .arg(QString::fromStdString(why)));
    } else {
        say(QStringLiteral("設定しました。"));
    }
    showSettings();
}

void frmWeb::cmdWebPassword_Click() {
    const std::string password = txtWebPassword->text().toStdString();
    if (password != txtWebPassword2->text().toStdString()) {
        say(QStringLiteral("二つのパスワードが違います。変えていません。"));
        return;
    }
    std::string why;
    if (!webSettingsEdits::setPassword(*m_web.store(), password, why)) {
        say(QStringLiteral("パスワードを設定できません：%1").arg(QString::fromStdString(why)));
        return;
    }
    txtWebPassword->clear();
    txtWebPassword2->clear();
    say(QStringLiteral("パスワードを設定しました。前のパスワードでのログインは終わりました。"));
}

void frmWeb::cmdWebTokenMake_Click() {
    const std::string name = txtWebTokenName->text().trimmed().toStdString();
    std::string why;
    const std::optional<std::string> token = webSettingsEdits::makeToken(*m_web.store(), name, why);
    if (!token) {
        say(QStringLiteral("トークンを作れません：%1").arg(QString::fromStdString(why)));
        return;
    }
    txtWebToken->setText(QString::fromStdString(*token));
    txtWebTokenName->clear();
    say(QStringLiteral("トークン「%1」を作りました。この一度だけ表示します。")
            .arg(QString::fromStdString(name)));
    showTokens();
}

void frmWeb::cmdWebTokenRevoke_Click() {
    const QListWidgetItem* chosen = lstWebTokens->currentItem();
    if (chosen == nullptr) {
        say(QStringLiteral("取り消すトークンを選んで下さい。"));
        return;
    }
    const std::string name = chosen->data(Qt::UserRole).toString().toStdString();
    std::string why;
    if (!webSettingsEdits::revokeToken(*m_web.store(), name, why)) {
        say(QStringLiteral("トークンを取り消せません：%1").arg(QString::fromStdString(why)));
        return;
    }
    say(QStringLiteral("トークン「%1」を取り消しました。").arg(QString::fromStdString(name)));
    showTokens();
}

} // namespace lm
