#include "frmWeb.h"

#include "OperatorDesk.h"
#include "QtDeskThread.h"
#include "TempDir.h"
#include "TestServer.h"
#include "TlsIdentity.h"
#include "WebFrontEnd.h"
#include "WebSettingsStore.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QtTest>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>

namespace lm::test {

namespace fs = std::filesystem;

// The web settings' dialog on a real desk and web front end, in folders of the test's own,
// driven as the operator does: the fields, then a button.
class frmWebTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> m_folder;
    std::unique_ptr<OperatorDesk> m_desk;
    std::unique_ptr<WebFrontEnd> m_web;
    std::unique_ptr<frmWeb> m_dialog;

    template <class T> T* control(const char* name) const {
        T* widget = m_dialog->findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT(widget != nullptr);
        return widget;
    }
    void click(const char* button) {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
    }
    QString said() const { return control<QLabel>("lblWebMessage")->text(); }
    std::string settingsFile() const {
        std::ifstream in(m_web->store()->file());
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static int freePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }
    // GET on the loopback from another thread, while this one runs the desk's event loop.
    static int status(int port, const std::string& path, const std::string& token) {
        auto answer = std::async(std::launch::async, [&] {
            PinnedClient client(port);
            const auto result = client.http().Get(path, {{"Authorization", "Bearer " + token}});
            return result ? result->status : 0;
        });
        // The client's own time-outs end it; the wait only keeps the loop running meanwhile.
        (void)QTest::qWaitFor(
            [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            10000);
        return answer.get();
    }
    void serveOn(int port, const QString& certificate = {}) {
        control<QCheckBox>("chkWebOn")->setChecked(true);
        control<QLineEdit>("txtWebAddress")->setText(QStringLiteral("127.0.0.1"));
        control<QSpinBox>("spnWebPort")->setValue(port);
        control<QLineEdit>("txtWebShowFolder")->clear();
        control<QLineEdit>("txtWebCertificate")->setText(certificate);
        control<QLineEdit>("txtWebKey")->setText(certificate);
        click("cmdWebApply");
    }

private slots:
    void init() {
        m_folder = std::make_unique<TempDir>();
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((m_folder->path() / "c").string()));
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString((m_folder->path() / "s").string()));
        fs::create_directories(m_folder->path() / "work");
        m_desk = std::make_unique<OperatorDesk>(
            OperatorDesk::Options{m_folder->path() / "work", {}, nullptr});
        m_desk->open();
        m_web = std::make_unique<WebFrontEnd>(
            *m_desk,
            WebFrontEnd::Options{m_folder->path() / "work", {}, QtDeskThread::poster(this)});
        m_dialog = std::make_unique<frmWeb>(*m_web);
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }
    void cleanup() {
        m_dialog.reset();
        m_web.reset();
        m_desk.reset();
        m_folder.reset();
    }

    // Turned on, moved to another port and off again, all while the program runs; a token
    // made in the dialog gets in, and the fingerprint shown is the one served.
    void theServerFollowsTheDialogWithoutARestart() {
        control<QLineEdit>("txtWebTokenName")->setText(QStringLiteral("panel"));
        click("cmdWebTokenMake");
        const std::string token = control<QLineEdit>("txtWebToken")->text().toStdString();
        QVERIFY2(token.rfind("lmt_", 0) == 0, qPrintable(said()));
        QCOMPARE(control<QListWidget>("lstWebTokens")->count(), 1);

        const int first = freePort();
        serveOn(first);
        QVERIFY2(m_web->running(), qPrintable(said()));
        QCOMPARE(status(first, "/api/state", token), 200);
        PinnedClient served(first);
        served.http().Get("/api/session");
        QCOMPARE(control<QLabel>("lblWebFingerprint")->text().toStdString(), served.served());

        const int second = freePort();
        serveOn(second);
        QCOMPARE(m_web->port(), second);
        QCOMPARE(status(second, "/api/state", token), 200);
        QCOMPARE(status(first, "/api/state", token), 0);

        // The operator's own certificate (key and certificate in one file), at once.
        const fs::path own = m_folder->path() / "own.pem";
        std::ofstream(own) << TlsIdentity::makeSelfSigned("sign-control");
        serveOn(second, QString::fromStdString(own.string()));
        QVERIFY2(m_web->running(), qPrintable(said()));
        PinnedClient named(second);
        named.http().Get("/api/session");
        QVERIFY(named.served() != served.served());
        QCOMPARE(control<QLabel>("lblWebFingerprint")->text().toStdString(), named.served());

        control<QCheckBox>("chkWebOn")->setChecked(false);
        click("cmdWebApply");
        QVERIFY(!m_web->running());
        QCOMPARE(status(second, "/api/state", token), 0);
        QCOMPARE(control<QLabel>("lblWebState")->text(), QStringLiteral("停止中"));
    }

    // A revoked token no longer gets in, at the next request.
    void aRevokedTokenIsRefusedAtOnce() {
        control<QLineEdit>("txtWebTokenName")->setText(QStringLiteral("old"));
        click("cmdWebTokenMake");
        const std::string token = control<QLineEdit>("txtWebToken")->text().toStdString();
        const int port = freePort();
        serveOn(port);
        QCOMPARE(status(port, "/api/session", token), 200);
        control<QListWidget>("lstWebTokens")->setCurrentRow(0);
        click("cmdWebTokenRevoke");
        QCOMPARE(control<QListWidget>("lstWebTokens")->count(), 0);
        QCOMPARE(status(port, "/api/session", token), 401);
    }

    void refusedChangesLeaveTheSettingsAlone_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("again");
        QTest::addColumn<QString>("tokenName");
        QTest::addColumn<QString>("showFolder");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("words");
        const QString none;
        const QString all = QStringLiteral("0.0.0.0");
        const QString hosts = QStringLiteral("/etc/hosts");
        QTest::newRow("passwords differ")
            << "password-1"
            << "password-2" << none << none << all << none << none << "cmdWebPassword"
            << "二つのパスワードが違います";
        QTest::newRow("password too short")
            << "short"
            << "short" << none << none << all << none << none << "cmdWebPassword"
            << "from 8 to 1024 bytes";
        QTest::newRow("token name with a blank")
            << none << none << "my panel" << none << all << none << none << "cmdWebTokenMake"
            << "is not a token name";
        QTest::newRow("show folder relative")
            << none << none << none << "shows" << all << none << none << "cmdWebApply"
            << "not an absolute path";
        QTest::newRow("show folder missing")
            << none << none << none << "/no/such/folder" << all << none << none << "cmdWebApply"
            << "not an absolute path";
        QTest::newRow("address by name")
            << none << none << none << none << "sign-control" << none << none << "cmdWebApply"
            << "is not an IPv4 or IPv6 address";
        QTest::newRow("certificate without its key")
            << none << none << none << none << all << hosts << none << "cmdWebApply"
            << "or neither";
        QTest::newRow("key file missing")
            << none << none << none << none << all << hosts << "/no/such/key.pem"
            << "cmdWebApply"
            << "not an absolute path of a file";
    }

    void refusedChangesLeaveTheSettingsAlone() {
        QFETCH(QString, password);
        QFETCH(QString, again);
        QFETCH(QString, tokenName);
        QFETCH(QString, showFolder);
        QFETCH(QString, address);
        QFETCH(QString, certificate);
        QFETCH(QString, key);
        QFETCH(QString, button);
        QFETCH(QString, words);
        const std::string before = settingsFile();
        control<QLineEdit>("txtWebPassword")->setText(password);
        control<QLineEdit>("txtWebPassword2")->setText(again);
        control<QLineEdit>("txtWebTokenName")->setText(tokenName);
        control<QLineEdit>("txtWebShowFolder")->setText(showFolder);
        control<QLineEdit>("txtWebAddress")->setText(address);
        control<QLineEdit>("txtWebCertificate")->setText(certificate);
        control<QLineEdit>("txtWebKey")->setText(key);
        click(qPrintable(button));
        QVERIFY2(said().contains(words), qPrintable(said()));
        QCOMPARE(settingsFile(), before);
        QVERIFY(!m_web->running());
    }
};

} // namespace lm::test

QTEST_MAIN(lm::test::frmWebTest)
#include "frmWebTest.moc"
