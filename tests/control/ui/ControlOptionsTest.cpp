#include "ControlOptions.h"

#include <QTest>

namespace lm {

// The web API's options on LMControl's command line: what each one sets, and the one line
// that names a wrong one (main() exits 2 with it).
class ControlOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void webOptions_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // a part of it; empty: taken
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("port"); // 0: not given
        QTest::addColumn<bool>("web");
        QTest::addColumn<bool>("plainHttp");

        using C = WebCommandLine::Command;
        const auto row = [](const char* tag, QStringList arguments, QString error, C command,
                            QString name = {}, int port = 0, bool web = false,
                            bool plainHttp = false) {
            QTest::newRow(tag) << arguments << error << static_cast<int>(command) << name << port
                               << web << plainHttp;
        };
        row("nothing", {}, {}, C::None);
        row("--web", {"--web"}, {}, C::None, {}, 0, true);
        row("--web --web-port --web-http", {"--web", "--web-port", "8080", "--web-http"}, {},
            C::None, {}, 8080, true, true);
        row("--web-password", {"--web-password"}, {}, C::Password);
        row("--web-token", {"--web-token", "ci-bot"}, {}, C::Token, "ci-bot");
        row("--web-revoke", {"--web-revoke", "panel.2"}, {}, C::Revoke, "panel.2");
        row("--web-info with a port", {"--web-info", "--web-port", "9443"}, {}, C::Info, {}, 9443);
        row("port 0", {"--web-port", "0"}, "--web-port: \"0\"", C::None);
        row("port 65536", {"--web-port", "65536"}, "--web-port: \"65536\"", C::None);
        row("port text", {"--web-port", "https"}, "--web-port: \"https\"", C::None);
        row("token name blank", {"--web-token", "a b"}, "--web-token: \"a b\"", C::None);
        row("revoke name slash", {"--web-revoke", "a/b"}, "--web-revoke: \"a/b\"", C::None);
        row("two commands", {"--web-info", "--web-password"}, "exclude each other", C::None);
        row("command and show", {"--web-info", "show.txt"}, "take no show file", C::None);
        row("command and --say", {"--web-token", "x", "--say", "hi"}, "take no show file", C::None);
        row("cert without key", {"--web-cert", "c.pem"}, "go together", C::None);
        row("cert with plain HTTP", {"--web-http", "--web-cert", "c.pem", "--web-key", "k.pem"},
            "not --web-http", C::None);
    }

    void webOptions() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QFETCH(int, command);
        QFETCH(QString, name);
        QFETCH(int, port);
        QFETCH(bool, web);
        QFETCH(bool, plainHttp);

        ControlOptions options;
        const bool taken = options.parse(QStringList{"LMControl"} + arguments);
        if (!error.isEmpty()) {
            QVERIFY2(!taken, "a wrong option was taken");
            QVERIFY2(options.error().contains(error), qPrintable(options.error()));
            QVERIFY(!options.error().contains('\n'));
            return;
        }
        QVERIFY2(taken, qPrintable(options.error()));
        QCOMPARE(static_cast<int>(options.web().command), command);
        QCOMPARE(QString::fromStdString(options.web().tokenName), name);
        QCOMPARE(options.web().port.value_or(0), port);
        QCOMPARE(options.web().web, web);
        QCOMPARE(options.web().plainHttp, plainHttp);
    }

    void certificatePathsBecomeAbsolute() {
        ControlOptions options;
        QVERIFY(options.parse({"LMControl", "--web-cert", "c.pem", "--web-key", "k.pem"}));
        QVERIFY(std::filesystem::path(options.web().certificateFile).is_absolute());
        QCOMPARE(std::filesystem::path(options.web().privateKeyFile).filename().string(),
                 std::string("k.pem"));
    }
};

} // namespace lm

QTEST_GUILESS_MAIN(lm::ControlOptionsTest)
#include "ControlOptionsTest.moc"
