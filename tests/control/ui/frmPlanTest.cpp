#include "frmPlan.h"

#include "FakeMessageBoxes.h"
#include "LineFile.h"
#include "PlanFile.h"
#include "PlanWeekGrid.h"
#include "TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QtTest>
#include <functional>
#include <memory>

namespace lm::test {

namespace fs = std::filesystem;
using namespace std::chrono;

// The dialog on a plan file in a temporary working folder, driven as the operator does: the
// fields, then a button; refusals land in the fake message boxes.
class frmPlanTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> m_folder;
    FakeMessageBoxes m_boxes;
    std::unique_ptr<frmPlan> m_dialog;

    fs::path planPath() const { return m_folder->path() / "plan.txt"; }

    void open() {
        m_dialog = std::make_unique<frmPlan>(planPath(), m_boxes);
        m_dialog->resize(1100, 640);
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }
    template <class T> T* control(const QString& name) const {
        T* widget = m_dialog->findChild<T*>(name);
        Q_ASSERT(widget != nullptr);
        return widget;
    }
    void click(const char* button) {
        QTest::mouseClick(control<QPushButton>(QString::fromLatin1(button)), Qt::LeftButton);
    }
    void check(const char* option) { control<QRadioButton>(QString::fromLatin1(option))->click(); }
    void days(unsigned days) {
        for (int day = 0; day < 7; ++day) {
            control<QCheckBox>(QStringLiteral("chkPlanDay%1").arg(day))
                ->setChecked((days & planDays::bit(day)) != 0);
        }
    }
    void hours(const QString& from, const QString& to) {
        control<QCheckBox>(QStringLiteral("chkPlanAllDay"))->setChecked(false);
        control<QTimeEdit>(QStringLiteral("tmPlanFrom"))->setTime(QTime::fromString(from));
        control<QTimeEdit>(QStringLiteral("tmPlanTo"))->setTime(QTime::fromString(to));
    }
    void show(const QString& file, const QString& movement = QStringLiteral("移動しない")) {
        check("optPlanShow");
        control<QComboBox>(QStringLiteral("ComboPlanShow"))->setEditText(file);
        control<QComboBox>(QStringLiteral("ComboPlanMove"))->setCurrentText(movement);
    }
    void dates(const QDate& first, const QDate& last) {
        control<QDateEdit>(QStringLiteral("dtpPlanFirst"))->setDate(first);
        control<QDateEdit>(QStringLiteral("dtpPlanLast"))->setDate(last);
    }
    PlanWeekGrid* grid() const { return control<PlanWeekGrid>(QStringLiteral("grdPlanWeek")); }

    // Friday 22:00 to 02:00, the displays stopped.
    void addFridayNight() {
        check("optPlanWeekly");
        days(planDays::bit(4));
        hours(QStringLiteral("22:00"), QStringLiteral("02:00"));
        check("optPlanBlank");
        click("cmdPlanAdd");
    }

private slots:
    void init() {
        m_folder = std::make_unique<TempDir>();
        m_boxes = {};
    }
    void cleanup() {
        m_dialog.reset();
        m_folder.reset();
    }

    void entriesOfEveryKindAreAddedShownAndSaved() {
        open();
        WeekPlan saved;
        m_dialog->setOnSaved([&](const WeekPlan& plan) { saved = plan; });
        days(0x1FU);
        hours(QStringLiteral("09:00"), QStringLiteral("17:00"));
        show(QStringLiteral("朝.txt"), QStringLiteral("左へ"));
        click("cmdPlanAdd");
        addFridayNight();
        check("optPlanDated");
        dates(QDate(2025, 12, 24), QDate(2025, 12, 26));
        control<QCheckBox>(QStringLiteral("chkPlanAllDay"))->setChecked(true);
        check("optPlanBlank");
        click("cmdPlanAdd");
        click("cmdPlanOtherwise");
        show(QStringLiteral("idle.txt"));
        click("cmdPlanChange");
        QCOMPARE(m_boxes.shown.size(), 0U);

        // Friday night: a block at the foot of Friday's column, and one at the head of
        // Saturday's.
        QCOMPARE(grid()->blocksOf(0).size(), 5U);
        const std::vector<QRect> night = grid()->blocksOf(1);
        QCOMPARE(night.size(), 2U);
        QVERIFY(night[1].left() > night[0].right());
        QVERIFY(night[0].bottom() >= grid()->height() - 4);
        QVERIFY(night[1].top() < night[0].top());
        QCOMPARE(control<QListWidget>(QStringLiteral("lstPlanDated"))->item(0)->text(),
                 QStringLiteral("2025/12/24〜2025/12/26 終日 表示なし"));
        QCOMPARE(control<QPushButton>(QStringLiteral("cmdPlanOtherwise"))->text(),
                 QStringLiteral("予定がないとき：idle.txt"));

        click("cmdPlanSave");
        PlanRun morning{false, "朝.txt", "左へ", "中", "16", true};
        const WeekPlan expected{
            {{0x1FU, {540, 1020}, morning}, {planDays::bit(4), {1320, 120}, {}}},
            {{year_month_day{year(2025), month(12), day(24)},
              year_month_day{year(2025), month(12), day(26)},
              {0, 1440},
              {}}},
            {false, "idle.txt", "移動しない", "中", "16", true}};
        QVERIFY(planFile::read(planPath()).plan == expected);
        QVERIFY(saved == expected);
        QVERIFY(m_dialog->close());
        QCOMPARE(m_boxes.shown.size(), 0U);
    }

    void whatThePlanCannotHoldIsRefusedWithWords() {
        struct Row {
            const char* what;
            bool fridayNight; // added first, and chosen
            std::function<void(frmPlanTest&)> steps;
            std::string words;
        } const rows[] = {
            {"Saturday early over Friday night", true,
             [](frmPlanTest& t) {
                 t.days(planDays::bit(5));
                 t.hours(QStringLiteral("01:00"), QStringLiteral("03:00"));
                 t.click("cmdPlanAdd");
             },
             "「毎週 金 22:00〜翌02:00 表示なし」と「毎週 土 01:00〜03:00 表示なし」は、土 01:00 "
             "から重なっています。同じ種類の予定は、同じ時刻に一つだけです。"},
            {"no day", true,
             [](frmPlanTest& t) {
                 t.days(0);
                 t.click("cmdPlanAdd");
             },
             "曜日を選んでください。"},
            {"the same start and end", true,
             [](frmPlanTest& t) {
                 t.days(planDays::bit(0));
                 t.hours(QStringLiteral("10:00"), QStringLiteral("10:00"));
                 t.click("cmdPlanAdd");
             },
             "始まりと終わりが同じ時刻です。一日中なら「終日」を選んでください。"},
            {"a show without its file", true,
             [](frmPlanTest& t) {
                 t.days(planDays::bit(0));
                 t.show(QString());
                 t.click("cmdPlanAdd");
             },
             "ショーのファイルを入れてください。"},
            {"dates the wrong way round", true,
             [](frmPlanTest& t) {
                 t.check("optPlanDated");
                 t.dates(QDate(2025, 12, 26), QDate(2025, 12, 24));
                 t.click("cmdPlanAdd");
             },
             "終わりの日付が始まりの日付より前です。"},
            {"a change with nothing chosen", false,
             [](frmPlanTest& t) {
                 t.days(planDays::bit(0));
                 t.click("cmdPlanChange");
             },
             "変更する予定を、毎週の予定の表か日付の予定から選んでください。"},
        };
        for (const Row& row : rows) {
            init();
            open();
            if (row.fridayNight) {
                addFridayNight();
            }
            const WeekPlan before = m_dialog->plan();
            row.steps(*this);
            QVERIFY2(m_boxes.shown.size() == 1, row.what);
            QCOMPARE(m_boxes.shown[0].text, row.words);
            QCOMPARE(m_boxes.shown[0].title, std::string("週の予定"));
            QVERIFY2(m_dialog->plan() == before, row.what);
            cleanup();
        }
    }

    void aClickedBlockIsChangedAndDeletedAndClosingAsksFirst() {
        const WeekPlan plan{{{0x1FU, {540, 1020}, {false, "a.txt", "左へ", "中", "16", true}},
                             {planDays::bit(5), {1320, 120}, {}}},
                            {},
                            {}};
        QCOMPARE(planFile::write(planPath(), plan), std::string());
        open();
        QTest::mouseClick(grid(), Qt::LeftButton, {}, grid()->blocksOf(1)[0].center());
        QCOMPARE(grid()->chosen(), 1);
        QVERIFY(control<QCheckBox>(QStringLiteral("chkPlanDay5"))->isChecked());
        QVERIFY(!control<QCheckBox>(QStringLiteral("chkPlanDay4"))->isChecked());
        QCOMPARE(control<QTimeEdit>(QStringLiteral("tmPlanFrom"))->time(), QTime(22, 0));
        QVERIFY(control<QRadioButton>(QStringLiteral("optPlanBlank"))->isChecked());

        control<QTimeEdit>(QStringLiteral("tmPlanTo"))->setTime(QTime(23, 30));
        click("cmdPlanChange");
        QCOMPARE(m_dialog->plan().weekly.size(), 2U);
        QVERIFY((m_dialog->plan().weekly[1].hours == PlanHours{1320, 1410}));
        QVERIFY(m_dialog->plan().weekly[0] == plan.weekly[0]);

        QTest::mouseClick(grid(), Qt::LeftButton, {}, grid()->blocksOf(0)[2].center());
        QCOMPARE(control<QComboBox>(QStringLiteral("ComboPlanShow"))->currentText(),
                 QStringLiteral("a.txt"));
        click("cmdPlanDelete");
        QCOMPARE(m_dialog->plan().weekly.size(), 1U);
        QCOMPARE(m_dialog->plan().weekly[0].days, planDays::bit(5));

        m_boxes.answers = {false};
        QVERIFY(!m_dialog->close());
        QCOMPARE(m_boxes.shown.back().text, std::string("週の予定の変更を保存せずに閉じますか？"));
        QVERIFY(planFile::read(planPath()).plan == plan);
    }

    void aPlanFileThatCannotBeReadIsNamedWithItsLine() {
        QVERIFY(lineFile::writeBytes(planPath(), "lmsign-plan 1\n[weekly]\ndays = xyz\nblank\n"));
        open();
        QCOMPARE(m_boxes.shown.size(), 1U);
        QCOMPARE(
            m_boxes.shown[0].text,
            "週の予定「" + planPath().string() +
                "」の 3 行目：曜日「xyz」が読めません（mon〜sun か 月〜日。mon-fri のような範囲"
                "も書けます）。\n空の予定から始めます。保存すると、このファイルは書き換えられ"
                "ます。");
        QVERIFY(m_dialog->plan() == WeekPlan{});
    }

    // LM_PLAN_SHOT=<file.png>: the dialog on a shop's plan, for the docs.
    void screenshot() {
        const QString shot = qEnvironmentVariable("LM_PLAN_SHOT");
        if (shot.isEmpty()) {
            QSKIP("LM_PLAN_SHOT is not set");
        }
        const auto date = [](int y, unsigned m, unsigned d) {
            return year_month_day{year(y), month(m), day(d)};
        };
        const WeekPlan plan{
            {{0x1FU, {540, 1080}, {false, "平日の案内.txt", "左へ", "中", "16", true}},
             {0x60U, {600, 1200}, {false, "週末セール.txt", "左へ", "やや速く", "16", true}},
             {0x1FU, {1080, 1380}, {false, "夜の案内.txt", "移動しない", "遅く", "8", true}},
             {planDays::bit(4) | planDays::bit(5), {1380, 120}, {}}},
            {{date(2025, 12, 24),
              date(2025, 12, 25),
              {1020, 1320},
              {false, "クリスマス.txt", "左へ", "中", "16", true}},
             {date(2025, 12, 31),
              date(2025, 12, 31),
              {1320, 120},
              {false, "年越し.txt", "左へ", "速く", "16", true}},
             {date(2026, 1, 2), date(2026, 1, 3), {0, 1440}, {}}},
            {}};
        QCOMPARE(QString::fromStdString(planFile::write(planPath(), plan)), QString());
        for (const char* name : {"平日の案内.txt", "週末セール.txt", "夜の案内.txt"}) {
            QVERIFY(lineFile::writeBytes(m_folder->path() / name, ""));
        }
        open();
        m_dialog->resize(1360, 720);
        QTest::mouseClick(grid(), Qt::LeftButton, {}, grid()->blocksOf(1)[0].center());
        QVERIFY(m_dialog->grab().save(shot));
    }
};

} // namespace lm::test

QTEST_MAIN(lm::test::frmPlanTest)
#include "frmPlanTest.moc"
