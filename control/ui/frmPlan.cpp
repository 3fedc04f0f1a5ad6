#include "frmPlan.h"

#include "JapaneseFont.h"
#include "MessageBoxes.h"
#include "PlanCheck.h"
#include "PlanFile.h"
#include "PlanWeekGrid.h"
#include "PlanWords.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>

namespace lm {

namespace {

constexpr const char* boxTitle = "週の予定";

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <class Widget, class... Args> Widget* named(const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

std::chrono::year_month_day dateOf(const QDate& date) {
    return {std::chrono::year(date.year()), std::chrono::month(static_cast<unsigned>(date.month())),
            std::chrono::day(static_cast<unsigned>(date.day()))};
}

QDate qdate(std::chrono::year_month_day date) {
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day()))};
}

QTime qtime(int minute) {
    return {(minute / 60) % 24, minute % 60};
}

} // namespace

frmPlan::frmPlan(std::filesystem::path planPath, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), m_planPath(std::move(planPath)), m_boxes(boxes) {
    setObjectName(QStringLiteral("frmPlan"));
    setWindowTitle(QStringLiteral("週の予定"));
    setFont(JapaneseFont::gothic(11));
    buildControls();
    std::error_code error;
    if (std::filesystem::exists(m_planPath, error)) {
        PlanRead read = planFile::read(m_planPath);
        if (read.plan) {
            m_plan = std::move(*read.plan);
        } else {
            warn(read.words(m_planPath) +
                 "\n空の予定から始めます。保存すると、このファイルは書き換えられます。");
        }
    }
    showEntry(0x1FU, {9 * 60, 17 * 60}, PlanRun{});
    refresh();
}

void frmPlan::buildControls() {
    QVBoxLayout* left = buildLists();
    auto* entry = named<QGroupBox>("fraPlanEntry", QStringLiteral("予定の内容"), this);
    auto* form = new QFormLayout(entry);
    buildWhenRows(*form, entry);
    buildRunRows(*form, entry);
    cmdPlanAdd = named<QPushButton>("cmdPlanAdd", QStringLiteral("追加"), entry);
    cmdPlanChange = named<QPushButton>("cmdPlanChange", QStringLiteral("変更"), entry);
    cmdPlanDelete = named<QPushButton>("cmdPlanDelete", QStringLiteral("削除"), entry);
    auto* editRow = new QHBoxLayout;
    for (QPushButton* button : {cmdPlanAdd, cmdPlanChange, cmdPlanDelete}) {
        button->setAutoDefault(false);
        editRow->addWidget(button);
    }
    form->addRow(editRow);

    cmdPlanSave = named<QPushButton>("cmdPlanSave", QStringLiteral("保存"), this);
    cmdPlanClose = named<QPushButton>("cmdPlanClose", QStringLiteral("閉じる"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    for (QPushButton* button : {cmdPlanSave, cmdPlanClose}) {
        button->setAutoDefault(false);
        bottom->addWidget(button);
    }

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addWidget(entry, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(bottom);

    wireControls();
}

QVBoxLayout* frmPlan::buildLists() {
    lblPlanFile = named<QLabel>("lblPlanFile", this);
    grdPlanWeek = named<PlanWeekGrid>("grdPlanWeek", this);
    lstPlanDated = named<QListWidget>("lstPlanDated", this);
    lstPlanDated->setMaximumHeight(120);
    cmdPlanOtherwise = named<QPushButton>("cmdPlanOtherwise", this);
    cmdPlanOtherwise->setStyleSheet(QStringLiteral("text-align: left; padding: 4px"));

    auto* left = new QVBoxLayout;
    left->addWidget(lblPlanFile);
    left->addWidget(named<QLabel>("lblPlanWeek", QStringLiteral("毎週の予定"), this));
    left->addWidget(grdPlanWeek, 1);
    left->addWidget(named<QLabel>(
        "lblPlanDated", QStringLiteral("日付の予定（その時刻には毎週の予定より先）"), this));
    left->addWidget(lstPlanDated);
    left->addWidget(cmdPlanOtherwise);
    return left;
}

// The entry's kind, days, dates and time.
void frmPlan::buildWhenRows(QFormLayout& form, QGroupBox* entry) {
    optPlanWeekly = named<QRadioButton>("optPlanWeekly", QStringLiteral("毎週"), entry);
    optPlanDated = named<QRadioButton>("optPlanDated", QStringLiteral("日付"), entry);
    optPlanOtherwise =
        named<QRadioButton>("optPlanOtherwise", QStringLiteral("予定がないとき"), entry);
    auto* kinds = new QButtonGroup(entry);
    kinds->setObjectName(QStringLiteral("grpPlanKind"));
    auto* kindRow = new QHBoxLayout;
    for (QRadioButton* option : {optPlanWeekly, optPlanDated, optPlanOtherwise}) {
        kinds->addButton(option);
        kindRow->addWidget(option);
        connect(option, &QRadioButton::toggled, this, [this] { showKind(kindInFields()); });
    }
    form.addRow(named<QLabel>("lblPlanKind", QStringLiteral("種類"), entry), kindRow);

    auto* dayRow = new QHBoxLayout;
    for (std::size_t day = 0; day < chkPlanDay.size(); ++day) {
        chkPlanDay[day] = new QCheckBox(qs(planWords::dayNames[day]), entry);
        chkPlanDay[day]->setObjectName(QStringLiteral("chkPlanDay%1").arg(day));
        dayRow->addWidget(chkPlanDay[day]);
    }
    form.addRow(named<QLabel>("lblPlanDays", QStringLiteral("曜日"), entry), dayRow);

    dtpPlanFirst = named<QDateEdit>("dtpPlanFirst", QDate::currentDate(), entry);
    dtpPlanLast = named<QDateEdit>("dtpPlanLast", QDate::currentDate(), entry);
    auto* dateRow = new QHBoxLayout;
    for (QDateEdit* date : {dtpPlanFirst, dtpPlanLast}) {
        date->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        date->setCalendarPopup(true);
        date->setDateRange(QDate(2000, 1, 1), QDate(2099, 12, 31));
    }
    dateRow->addWidget(dtpPlanFirst);
    dateRow->addWidget(named<QLabel>("lblPlanDateTo", QStringLiteral("〜"), entry));
    dateRow->addWidget(dtpPlanLast);
    dateRow->addStretch();
    form.addRow(named<QLabel>("lblPlanDates", QStringLiteral("日付"), entry), dateRow);

    chkPlanAllDay = named<QCheckBox>("chkPlanAllDay", QStringLiteral("終日"), entry);
    tmPlanFrom = named<QTimeEdit>("tmPlanFrom", entry);
    tmPlanTo = named<QTimeEdit>("tmPlanTo", entry);
    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(chkPlanAllDay);
    for (QTimeEdit* time : {tmPlanFrom, tmPlanTo}) {
        time->setDisplayFormat(QStringLiteral("HH:mm"));
    }
    timeRow->addWidget(tmPlanFrom);
    timeRow->addWidget(named<QLabel>("lblPlanTimeTo", QStringLiteral("〜"), entry));
    timeRow->addWidget(tmPlanTo);
    timeRow->addStretch();
    connect(chkPlanAllDay, &QCheckBox::toggled, this, [this] { showKind(kindInFields()); });
    form.addRow(named<QLabel>("lblPlanTime", QStringLiteral("時刻"), entry), timeRow);
    form.addRow(QString(), named<QLabel>("lblPlanTimeNote",
                                         QStringLiteral("終わりが始まりより前なら翌日まで。\n"
                                                        "ない時刻は切り替わりから、二度ある時刻は"
                                                        "一度目から。"),
                                         entry));
}

// What the entry runs: blank, or a show file with its settings.
void frmPlan::buildRunRows(QFormLayout& form, QGroupBox* entry) {
    optPlanBlank = named<QRadioButton>("optPlanBlank", QStringLiteral("表示を止める"), entry);
    optPlanShow = named<QRadioButton>("optPlanShow", QStringLiteral("ショーを表示する"), entry);
    auto* runs = new QButtonGroup(entry);
    runs->setObjectName(QStringLiteral("grpPlanRun"));
    auto* runRow = new QHBoxLayout;
    for (QRadioButton* option : {optPlanShow, optPlanBlank}) {
        runs->addButton(option);
        runRow->addWidget(option);
        connect(option, &QRadioButton::toggled, this, [this] { showKind(kindInFields()); });
    }
    form.addRow(named<QLabel>("lblPlanRun", QStringLiteral("表示"), entry), runRow);

    ComboPlanShow = named<QComboBox>("ComboPlanShow", entry);
    ComboPlanShow->setEditable(true);
    ComboPlanShow->setMinimumWidth(240);
    for (const QString& show : showFiles()) {
        ComboPlanShow->addItem(show);
    }
    form.addRow(named<QLabel>("lblPlanShow", QStringLiteral("ショーのファイル"), entry),
                ComboPlanShow);
    ComboPlanMove = named<QComboBox>("ComboPlanMove", entry);
    for (const std::string_view word : vocabulary::movementWords) {
        ComboPlanMove->addItem(qs(word));
    }
    form.addRow(named<QLabel>("lblPlanMove", QStringLiteral("画像の移動"), entry), ComboPlanMove);
    ComboPlanSpeed = named<QComboBox>("ComboPlanSpeed", entry);
    for (const std::string_view word : vocabulary::speedWords) {
        ComboPlanSpeed->addItem(qs(word));
    }
    form.addRow(named<QLabel>("lblPlanSpeed", QStringLiteral("表示の速さ"), entry), ComboPlanSpeed);
    ComboPlanNum = named<QComboBox>("ComboPlanNum", entry);
    for (int count = 1; count <= vocabulary::maxDisplays; ++count) {
        ComboPlanNum->addItem(QString::number(count));
    }
    form.addRow(named<QLabel>("lblPlanNum", QStringLiteral("表示の数"), entry), ComboPlanNum);
    chkPlanRepeat = named<QCheckBox>("chkPlanRepeat", QStringLiteral("繰り返して表示する"), entry);
    form.addRow(QString(), chkPlanRepeat);
}

// The show files beside the plan file, for the entry's list of shows.
std::vector<QString> frmPlan::showFiles() const {
    std::vector<QString> shows;
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator(m_planPath.parent_path(), error)) {
        if (file.path().extension() == ".txt" && file.path() != m_planPath) {
            shows.push_back(QString::fromStdString(file.path().filename().string()));
        }
    }
    std::sort(shows.begin(), shows.end());
    return shows;
}

void frmPlan::wireControls() {
    connect(grdPlanWeek, &PlanWeekGrid::entryClicked, this, &frmPlan::grdPlanWeek_Click);
    connect(lstPlanDated, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { lstPlanDated_Click(lstPlanDated->row(item)); });
    connect(cmdPlanOtherwise, &QPushButton::clicked, this, &frmPlan::cmdPlanOtherwise_Click);
    connect(cmdPlanAdd, &QPushButton::clicked, this, &frmPlan::cmdPlanAdd_Click);
    connect(cmdPlanChange, &QPushButton::clicked, this, &frmPlan::cmdPlanChange_Click);
    connect(cmdPlanDelete, &QPushButton::clicked, this, &frmPlan::cmdPlanDelete_Click);
    connect(cmdPlanSave, &QPushButton::clicked, this, &frmPlan::cmdPlanSave_Click);
    connect(cmdPlanClose, &QPushButton::clicked, this, &QDialog::close);
    optPlanWeekly->setChecked(true);
}

void frmPlan::refresh() {
    lblPlanFile->setText(QStringLiteral("予定のファイル：") +
                         QString::fromStdString(m_planPath.filename().string()) +
                         (m_changed ? QStringLiteral("（まだ保存していません）") : QString()));
    lblPlanFile->setToolTip(QString::fromStdString(m_planPath.string()));
    grdPlanWeek->setEntries(m_plan.weekly);
    grdPlanWeek->setChosen(m_chosen.kind == Kind::Weekly ? m_chosen.index : -1);
    lstPlanDated->clear();
    for (const DatedEntry& entry : m_plan.dated) {
        lstPlanDated->addItem(qs(planWords::dated(entry)));
    }
    if (m_chosen.kind == Kind::Dated) {
        lstPlanDated->setCurrentRow(m_chosen.index);
    }
    cmdPlanOtherwise->setText(QStringLiteral("予定がないとき：") +
                              qs(planWords::run(m_plan.otherwise)));
    cmdPlanDelete->setEnabled(m_chosen.kind == Kind::Weekly || m_chosen.kind == Kind::Dated);
}

frmPlan::Kind frmPlan::kindInFields() const {
    if (optPlanDated->isChecked()) {
        return Kind::Dated;
    }
    return optPlanOtherwise->isChecked() ? Kind::Otherwise : Kind::Weekly;
}

void frmPlan::showKind(Kind kind) {
    for (QCheckBox* day : chkPlanDay) {
        day->setEnabled(kind == Kind::Weekly);
    }
    dtpPlanFirst->setEnabled(kind == Kind::Dated);
    dtpPlanLast->setEnabled(kind == Kind::Dated);
    chkPlanAllDay->setEnabled(kind != Kind::Otherwise);
    const bool timed = kind != Kind::Otherwise && !chkPlanAllDay->isChecked();
    tmPlanFrom->setEnabled(timed);
    tmPlanTo->setEnabled(timed);
    const bool show = optPlanShow->isChecked();
    for (QWidget* field : std::initializer_list<QWidget*>{
             ComboPlanShow, ComboPlanMove, ComboPlanSpeed, ComboPlanNum, chkPlanRepeat}) {
        field->setEnabled(show);
    }
}

void frmPlan::showEntry(unsigned days, const PlanHours& hours, const PlanRun& run) {
    for (std::size_t day = 0; day < chkPlanDay.size(); ++day) {
        chkPlanDay[day]->setChecked((days & planDays::bit(static_cast<int>(day))) != 0);
    }
    chkPlanAllDay->setChecked(hours.from == 0 && hours.to == minutesPerDay);
    tmPlanFrom->setTime(qtime(hours.from));
    tmPlanTo->setTime(qtime(hours.to));
    (run.blank ? optPlanBlank : optPlanShow)->setChecked(true);
    ComboPlanShow->setEditText(QString::fromStdString(run.showFile));
    const PlanRun settings = run.blank ? PlanRun{} : run;
    ComboPlanMove->setCurrentText(QString::fromStdString(settings.movement));
    ComboPlanSpeed->setCurrentText(QString::fromStdString(settings.speed));
    ComboPlanNum->setCurrentText(QString::fromStdString(settings.displayCount));
    chkPlanRepeat->setChecked(settings.repeat);
    showKind(kindInFields());
}

void frmPlan::choose(Chosen chosen) {
    m_chosen = chosen;
    const auto at = static_cast<std::size_t>(chosen.index);
    switch (chosen.kind) {
    case Kind::Weekly:
        optPlanWeekly->setChecked(true);
        showEntry(m_plan.weekly.at(at).days, m_plan.weekly.at(at).hours, m_plan.weekly.at(at).run);
        break;
    case Kind::Dated:
        optPlanDated->setChecked(true);
        dtpPlanFirst->setDate(qdate(m_plan.dated.at(at).first));
        dtpPlanLast->setDate(qdate(m_plan.dated.at(at).last));
        showEntry(0, m_plan.dated.at(at).hours, m_plan.dated.at(at).run);
        break;
    case Kind::Otherwise:
        optPlanOtherwise->setChecked(true);
        showEntry(0, {}, m_plan.otherwise);
        break;
    case Kind::None:
        break;
    }
    refresh();
}

void frmPlan::grdPlanWeek_Click(int entry) {
    choose({Kind::Weekly, entry});
}

void frmPlan::lstPlanDated_Click(int entry) {
    if (entry >= 0 && entry < static_cast<int>(m_plan.dated.size())) {
        choose({Kind::Dated, entry});
    }
}

void frmPlan::cmdPlanOtherwise_Click() {
    choose({Kind::Otherwise, 0});
}

void frmPlan::warn(const std::string& text) {
    m_boxes.warn(text, boxTitle);
}

std::optional<PlanHours> frmPlan::hoursInFields() {
    if (chkPlanAllDay->isChecked()) {
        return PlanHours{};
    }
    const auto minutes = [](const QTime& time) {
        return time.hour() * 60 + time.minute();
    };
    const int from = minutes(tmPlanFrom->time());
    const int to = minutes(tmPlanTo->time());
    if (from == to && from != 0) {
        warn("始まりと終わりが同じ時刻です。一日中なら「終日」を選んでください。");
        return std::nullopt;
    }
    return PlanHours{from, to == 0 ? minutesPerDay : to};
}

std::optional<PlanRun> frmPlan::runInFields() {
    if (optPlanBlank->isChecked()) {
        return PlanRun{};
    }
    PlanRun run;
    run.blank = false;
    run.showFile = ComboPlanShow->currentText().trimmed().toStdString();
    if (run.showFile.empty()) {
        warn("ショーのファイルを入れてください。");
        return std::nullopt;
    }
    run.movement = ComboPlanMove->currentText().toStdString();
    run.speed = ComboPlanSpeed->currentText().toStdString();
    run.displayCount = ComboPlanNum->currentText().toStdString();
    run.repeat = chkPlanRepeat->isChecked();
    return run;
}

bool frmPlan::apply(bool replace) {
    const Kind kind = kindInFields();
    const std::optional<PlanRun> run = runInFields();
    if (!run) {
        return false;
    }
    if (kind == Kind::Otherwise) {
        m_plan.otherwise = *run;
        m_changed = true;
        choose({Kind::Otherwise, 0});
        return true;
    }
    const std::optional<PlanHours> hours = hoursInFields();
    if (!hours) {
        return false;
    }
    WeekPlan next = m_plan;
    // A changed entry keeps its place among its kind; one that changes kind goes last.
    std::optional<std::size_t> place;
    if (replace && m_chosen.kind == Kind::Weekly) {
        next.weekly.erase(next.weekly.begin() + m_chosen.index);
        place = kind == Kind::Weekly ? std::optional<std::size_t>(m_chosen.index) : std::nullopt;
    } else if (replace && m_chosen.kind == Kind::Dated) {
        next.dated.erase(next.dated.begin() + m_chosen.index);
        place = kind == Kind::Dated ? std::optional<std::size_t>(m_chosen.index) : std::nullopt;
    }
    Chosen chosen{kind, 0};
    if (kind == Kind::Weekly) {
        unsigned days = 0;
        for (std::size_t day = 0; day < chkPlanDay.size(); ++day) {
            days |= chkPlanDay[day]->isChecked() ? planDays::bit(static_cast<int>(day)) : 0U;
        }
        if (days == 0) {
            warn("曜日を選んでください。");
            return false;
        }
        const std::size_t at = place.value_or(next.weekly.size());
        next.weekly.insert(next.weekly.begin() + static_cast<std::ptrdiff_t>(at),
                           {days, *hours, *run});
        chosen.index = static_cast<int>(at);
    } else {
        const DatedEntry entry{dateOf(dtpPlanFirst->date()), dateOf(dtpPlanLast->date()), *hours,
                               *run};
        if (entry.last < entry.first) {
            warn("終わりの日付が始まりの日付より前です。");
            return false;
        }
        const std::size_t at = place.value_or(next.dated.size());
        next.dated.insert(next.dated.begin() + static_cast<std::ptrdiff_t>(at), entry);
        chosen.index = static_cast<int>(at);
    }
    if (const std::optional<PlanOverlap> overlap = planCheck::firstOverlap(next)) {
        warn(planCheck::words(next, *overlap));
        return false;
    }
    m_plan = std::move(next);
    m_changed = true;
    choose(chosen);
    return true;
}

void frmPlan::cmdPlanAdd_Click() {
    apply(false);
}

void frmPlan::cmdPlanChange_Click() {
    if (m_chosen.kind == Kind::None ||
        (m_chosen.kind == Kind::Otherwise && kindInFields() != Kind::Otherwise)) {
        warn("変更する予定を、毎週の予定の表か日付の予定から選んでください。");
        return;
    }
    apply(true);
}

void frmPlan::cmdPlanDelete_Click() {
    if (m_chosen.kind == Kind::Weekly) {
        m_plan.weekly.erase(m_plan.weekly.begin() + m_chosen.index);
    } else if (m_chosen.kind == Kind::Dated) {
        m_plan.dated.erase(m_plan.dated.begin() + m_chosen.index);
    } else {
        return;
    }
    m_changed = true;
    m_chosen = {};
    refresh();
}

bool frmPlan::cmdPlanSave_Click() {
    const std::string refusal = planFile::write(m_planPath, m_plan);
    if (!refusal.empty()) {
        warn(refusal);
        return false;
    }
    m_changed = false;
    refresh();
    if (m_onSaved) {
        m_onSaved(m_plan);
    }
    return true;
}

void frmPlan::closeEvent(QCloseEvent* event) {
    if (m_changed && !m_boxes.askYesNo("週の予定の変更を保存せずに閉じますか？", boxTitle)) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace lm
