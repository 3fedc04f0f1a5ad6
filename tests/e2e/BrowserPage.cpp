#include "BrowserPage.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace lm::e2e {

namespace {

// Debian's own Python, which has Debian's Selenium.
constexpr const char* python = "/usr/bin/python3";

// The text as a JavaScript string literal.
QString jsString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

BrowserPage::BrowserPage(QSize window) {
    // A group of its own, so that the driver and the browser it starts end together; SIGTERM
    // when the test dies, which lets the driver end the browser.
    m_process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QString::fromLatin1(python),
                    {QStringLiteral(LM_PAGE_DRIVER), QString::number(window.width()),
                     QString::number(window.height())});
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("%1 did not start: %2 (install python3-selenium, chromium and "
                                 "chromium-driver: scripts/install-deps.sh tests)")
                      .arg(QString::fromLatin1(python), m_process.errorString());
        return;
    }
    const QJsonValue started = readAnswer(60000);
    m_running = !started.isUndefined();
    m_startMs = started.toInt();
}

BrowserPage::~BrowserPage() {
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.write("[\"quit\"]\n");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000)) {
        ::kill(-static_cast<pid_t>(m_process.processId()), SIGKILL);
        m_process.waitForFinished(3000);
    }
}

QJsonValue BrowserPage::readAnswer(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine()) {
        const int left = ms - static_cast<int>(timer.elapsed());
        if (left <= 0 || m_process.state() == QProcess::NotRunning) {
            m_error = QStringLiteral("the page driver gave no answer; it said: %1")
                          .arg(QString::fromUtf8(m_process.readAllStandardError()).right(2000));
            return QJsonValue::Undefined;
        }
        m_process.waitForReadyRead(left);
    }
    const QJsonObject answer = QJsonDocument::fromJson(m_process.readLine()).object();
    if (!answer.value(QStringLiteral("ok")).toBool()) {
        m_error = answer.value(QStringLiteral("error")).toString();
        return QJsonValue::Undefined;
    }
    return answer.value(QStringLiteral("value"));
}

QJsonValue BrowserPage::step(const QJsonArray& request, int ms) {
    if (!m_running) {
        return QJsonValue::Undefined;
    }
    m_process.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    return readAnswer(ms);
}

QString BrowserPage::fingerprint(const QString& host, int port) {
    return step({QStringLiteral("fingerprint"), host, port}).toString();
}

bool BrowserPage::open(const QString& url) {
    return done({QStringLiteral("open"), url});
}

bool BrowserPage::type(const QString& css, const QString& text) {
    return done({QStringLiteral("type"), css, text});
}

bool BrowserPage::click(const QString& css) {
    return done({QStringLiteral("click"), css});
}

bool BrowserPage::choose(const QString& css, const QString& value) {
    return done({QStringLiteral("choose"), css, value});
}

QJsonValue BrowserPage::evaluate(const QString& expression) {
    return step({QStringLiteral("evaluate"), expression});
}

QString BrowserPage::text(const QString& css) {
    return evaluate(QStringLiteral("document.querySelector(%1).textContent").arg(jsString(css)))
        .toString();
}

int BrowserPage::waitFor(const QString& expression, int ms) {
    const QJsonValue spent = step({QStringLiteral("wait"), expression, ms}, ms + 10000);
    return spent.isUndefined() ? -1 : spent.toInt();
}

bool BrowserPage::setViewport(QSize size) {
    return done({QStringLiteral("viewport"), size.width(), size.height()});
}

bool BrowserPage::screenshot(const QString& pngFile) {
    return done({QStringLiteral("shot"), pngFile});
}

QStringList BrowserPage::logs() {
    QStringList lines;
    for (const QJsonValue line : step({QStringLiteral("logs")}).toArray()) {
        lines << line.toString();
    }
    return lines;
}

} // namespace lm::e2e
