#pragma once

#include <QJsonArray>
#include <QJsonValue>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

namespace lm::e2e {

// A real Chromium, headless, driven by Selenium (tests/e2e/page_driver.py): the hands and eyes
// of a person at the browser page, one step at a time. Elements are named by CSS selectors;
// the page's ids are the control window's control names ("#cmdStop").
//
//   BrowserPage page({390, 844});
//   QVERIFY2(page.isRunning(), qPrintable(page.error()));   // no browser: says what to install
//   page.open("https://127.0.0.2:8443/");
//   page.type("#txtPassword", password);  page.click("#cmdLogin");
//   QVERIFY(page.waitFor("!document.getElementById('client').hidden", 5000) >= 0);
//
// The browser ends with the object, and with the test process.
class BrowserPage {
public:
    explicit BrowserPage(QSize window);
    ~BrowserPage();
    BrowserPage(const BrowserPage&) = delete;
    BrowserPage& operator=(const BrowserPage&) = delete;

    bool isRunning() const { return m_running; }
    // Why the last step failed, or why the browser did not start.
    const QString& error() const { return m_error; }
    // How long the browser took to start, ms.
    int startMs() const { return m_startMs; }

    // The SHA-256 fingerprint of the certificate served there, "AB:CD:…" as LMControl
    // --web-info writes it.
    QString fingerprint(const QString& host, int port);
    bool open(const QString& url);
    // Clears the field and types the text.
    bool type(const QString& css, const QString& text);
    bool click(const QString& css);
    // Picks the entry of that value in a list (<select>).
    bool choose(const QString& css, const QString& value);
    // The value of a JavaScript expression in the page; null when it failed.
    QJsonValue evaluate(const QString& expression);
    QString text(const QString& css);
    // Milliseconds until the JavaScript expression held, measured in the page; -1 when it did
    // not within ms.
    int waitFor(const QString& expression, int ms);
    // The page's size from now on, as a phone or a desktop shows it.
    bool setViewport(QSize size);
    bool screenshot(const QString& pngFile);
    // The browser's console since the last call: the page's errors and anything it blocked.
    QStringList logs();

private:
    // Sends the step and waits for its answer; sets error() when it failed.
    QJsonValue step(const QJsonArray& request, int ms = 15000);
    bool done(const QJsonArray& request) { return !step(request).isUndefined(); }
    QJsonValue readAnswer(int ms);

    QProcess m_process;
    bool m_running = false;
    int m_startMs = 0;
    QString m_error;
};

} // namespace lm::e2e
