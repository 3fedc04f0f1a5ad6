// The browser page says what the windows say, byte for byte: each of its captions against the
// caption of the window's control of the same name, as the program serves the page.

#include "FakeMessageBoxes.h"
#include "FileChooser.h"
#include "OperatorDesk.h"
#include "PageAssets.h"
#include "WorkingFolder.h"
#include "frmFileLoad.h"
#include "frmLMControl.h"
#include "frmUrgent.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

namespace lm::test {

namespace {

QString pageHtml() {
    for (const PageFile& file : pageAssets()) {
        if (file.path == "/") {
            return QString::fromStdString(file.bytes);
        }
    }
    return {};
}

// The text of the page's element with that id, up to its first tag; null when there is none.
QString pageText(const QString& html, const QString& id) {
    const QRegularExpression element(
        QStringLiteral("id=\"%1\"[^>]*>([^<]*)<").arg(QRegularExpression::escape(id)));
    const QRegularExpressionMatch match = element.match(html);
    return match.hasMatch() ? match.captured(1) : QString();
}

// The text of the page's <label for="id">.
QString pageLabelFor(const QString& html, const QString& id) {
    const QRegularExpression element(
        QStringLiteral("<label for=\"%1\"[^>]*>([^<]*)<").arg(QRegularExpression::escape(id)));
    const QRegularExpressionMatch match = element.match(html);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString captionOf(const QObject* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return button->text();
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(control)) {
        return frame->title();
    }
    if (const auto* menu = qobject_cast<const QMenu*>(control)) {
        return menu->title();
    }
    if (const auto* action = qobject_cast<const QAction*>(control)) {
        return action->text();
    }
    if (const auto* widget = qobject_cast<const QWidget*>(control); widget && widget->isWindow()) {
        return widget->windowTitle();
    }
    return {};
}

} // namespace

class PageWordsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WorkingFolder> m_work;
    FakeMessageBoxes m_boxes;
    std::unique_ptr<frmLMControl> m_window;
    std::unique_ptr<frmUrgent> m_urgent;
    std::unique_ptr<frmFileLoad> m_chooser;
    QString m_html;

    QObject* windowNamed(const QString& window) const {
        if (window == QLatin1String("urgent")) {
            return m_urgent.get();
        }
        if (window == QLatin1String("chooser")) {
            return m_chooser.get();
        }
        return m_window.get();
    }

private slots:
    void initTestCase() {
        m_work = std::make_unique<WorkingFolder>();
        frmLMControl::Services services;
        services.messageBoxes = &m_boxes;
        m_window = std::make_unique<frmLMControl>(services);
        m_urgent = std::make_unique<frmUrgent>(
            [](const UrgentMessage&, int) { return std::string(); }, [] {});
        m_chooser = std::make_unique<frmFileLoad>();
        m_html = pageHtml();
        QVERIFY(!m_html.isEmpty());
    }

    void cleanupTestCase() {
        m_window->Form_Unload();
        m_window.reset();
        m_work.reset();
    }

    void captionsAreTheWindows_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("id");
        const auto row = [](const char* window, const char* control, const char* id = nullptr) {
            QTest::newRow(qPrintable(
                QStringLiteral("%1.%2").arg(QLatin1String(window), QLatin1String(control))))
                << QString::fromLatin1(window) << QString::fromLatin1(control)
                << QString::fromLatin1(id != nullptr ? id : control);
        };
        row("main", "frmLMControl");
        for (const char* control :
             {"Frame1",      "Label3",       "cmdTextClear", "cmdClear",        "cmdText",
              "Label8",      "Label4",       "Label5",       "lblComputerName", "lblInput",
              "cmdFileLoad", "cmdFileSave",  "cmdDelete",    "cmdAllClear",     "Label9",
              "Frame2",      "lblDisplay",   "lblCon",       "lblNum",          "Label1",
              "Label6",      "Label7",       "Check1",       "cmdDisplay",      "cmdStop",
              "mnuFile",     "mnuFileLoad",  "mnuFileSave",  "mnuEnd0",         "mnuLMEnd",
              "mnuUrgent",   "mnuUrgentSay", "mnuUrgentEnd", "mnuPlan0",        "mnuPlan",
              "mnuPlanFollow"}) {
            row("main", control);
        }
        row("urgent", "frmUrgent", "lblUrgentTitle");
        for (const char* control : {"cmdUrgentSend", "cmdUrgentEnd", "cmdUrgentClose"}) {
            row("urgent", control);
        }
        row("chooser", "lblFileMessage");
        row("chooser", "Label2", "lblFileName");
        row("chooser", "cmdFileOk");
        row("chooser", "cmdFileCancel");
    }

    void captionsAreTheWindows() {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, id);
        const QObject* found = control == windowNamed(window)->objectName()
                                   ? windowNamed(window)
                                   : windowNamed(window)->findChild<QObject*>(control);
        QVERIFY2(found != nullptr, qPrintable(control));
        const QString caption = captionOf(found);
        QVERIFY(!caption.isEmpty());
        QCOMPARE(pageText(m_html, id), caption);
    }

    // The urgent dialog's form: each field's label.
    void urgentLabelsAreTheDialogs_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("id"); // the page's element, or empty: its <label for>
        QTest::newRow("txtUrgent") << QStringLiteral("txtUrgent") << QString();
        QTest::newRow("ComboUForeColor")
            << QStringLiteral("ComboUForeColor") << QStringLiteral("lblUForeColor");
        QTest::newRow("ComboUBackColor")
            << QStringLiteral("ComboUBackColor") << QStringLiteral("lblUBackColor");
        QTest::newRow("ComboUTime") << QStringLiteral("ComboUTime") << QString();
    }

    void urgentLabelsAreTheDialogs() {
        QFETCH(QString, field);
        QFETCH(QString, id);
        auto* widget = m_urgent->findChild<QWidget*>(field);
        QVERIFY(widget != nullptr);
        auto* form = m_urgent->findChild<QFormLayout*>();
        QVERIFY(form != nullptr);
        const auto* label = qobject_cast<const QLabel*>(form->labelForField(widget));
        QVERIFY(label != nullptr);
        QCOMPARE(id.isEmpty() ? pageLabelFor(m_html, field) : pageText(m_html, id), label->text());
    }

    // How long an urgent message runs: the same choices, in the same order, for the same
    // minutes, with the dialog's first choice.
    void urgentDurationsAreTheDialogs() {
        const auto* combo = m_urgent->findChild<QComboBox*>(QStringLiteral("ComboUTime"));
        QVERIFY(combo != nullptr);
        const QRegularExpression option(
            QStringLiteral("<option value=\"(\\d+)\"( selected)?>([^<]*)</option>"));
        QStringList pageItems;
        QList<int> pageMinutes;
        int pageChosen = -1;
        for (auto it = option.globalMatch(m_html); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            if (!match.captured(2).isEmpty()) {
                pageChosen = static_cast<int>(pageItems.size());
            }
            pageMinutes << match.captured(1).toInt();
            pageItems << match.captured(3);
        }
        QStringList items;
        QList<int> minutes;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
            minutes << frmUrgent::durations.at(static_cast<std::size_t>(i));
        }
        QCOMPARE(pageItems, items);
        QCOMPARE(pageMinutes, minutes);
        QCOMPARE(pageChosen, combo->currentIndex());
    }

    // The question before the displays end, and the chooser's title in each of its uses.
    void questionAndTitlesAreTheWindows_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("expected");
        QTest::newRow("question") << QStringLiteral("lblEndAsk")
                                  << QString::fromUtf8(OperatorDesk::endDisplaysText.data(),
                                                       OperatorDesk::endDisplaysText.size());
        QTest::newRow("question's title")
            << QStringLiteral("lblEndTitle")
            << QString::fromUtf8(OperatorDesk::endDisplaysTitle.data(),
                                 OperatorDesk::endDisplaysTitle.size());
        for (const auto& [id, mode] :
             {std::pair{"lblModeLoad", chooserModeLoad}, std::pair{"lblModeSave", chooserModeSave},
              std::pair{"lblModePicture", chooserModePicture}}) {
            ChooserVariables vars;
            vars.SMode = mode;
            m_chooser->Form_Load(vars);
            QTest::newRow(id) << QString::fromLatin1(id) << m_chooser->windowTitle();
        }
    }

    void questionAndTitlesAreTheWindows() {
        QFETCH(QString, id);
        QFETCH(QString, expected);
        QCOMPARE(pageText(m_html, id), expected);
    }
};

} // namespace lm::test

QTEST_MAIN(lm::test::PageWordsTest)
#include "PageWordsTest.moc"
