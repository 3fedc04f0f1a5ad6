#include "OperatorDesk.h"

#include "DeskObserver.h"
#include "PlanFile.h"
#include "ShowFile.h"
#include "StartCheck.h"
#include "ValueCheck.h"
#include "WallCells.h"

#include <algorithm>
#include <utility>

namespace lm {

namespace {

constexpr std::string_view fileWarningTitle = "注意！！";
constexpr std::string_view planTitle = "週の予定";
constexpr std::int64_t usPerMinute = 60'000'000;

std::string_view labelOfField(std::size_t field) {
    switch (field) {
    case ItemTable::kindField:
        return fieldLabel::kind;
    case ItemTable::textField:
        return fieldLabel::text;
    case ItemTable::movementField:
        return fieldLabel::movement;
    case ItemTable::textColourField:
        return fieldLabel::textColour;
    case ItemTable::backColourField:
        return fieldLabel::backColour;
    case ItemTable::speedField:
        return fieldLabel::speed;
    case ItemTable::pictureField:
        return fieldLabel::picture;
    default:
        return "予備の欄";
    }
}

// The first item and field that a show file cannot hold, as a warning, or empty.
std::string firstValueProblem(const ItemTable& table) {
    for (int r = 0; r < table.count(); ++r) {
        const ItemTable::Row& row = table.row(r);
        for (std::size_t field = 0; field < row.size(); ++field) {
            if (std::string warning = valueProblemWarning(labelOfField(field), row[field]);
                !warning.empty()) {
                return std::to_string(r + 1) + "番目の項目：" + warning;
            }
        }
    }
    return {};
}

DeskMessage warning(std::string text) {
    return {std::move(text), std::string(startCheck::warningTitle)};
}

DeskMessage fileWarning(std::string text) {
    return {std::move(text), std::string(fileWarningTitle)};
}

} // namespace

OperatorDesk::OperatorDesk(Options options)
    : m_options(std::move(options)),
      m_clock(m_options.clock != nullptr ? *m_options.clock : SystemClock::instance()) {
    RunView& view = *this;
    m_chain = std::make_unique<RunController>(m_table, m_options.currentDir, view);
    m_list = std::make_unique<ShowList>(m_table, m_chain->exchange());
    m_urgent = std::make_unique<UrgentBroadcast>(m_chain->jobs(), m_chain->wall(), view, m_clock);
    m_urgent->setEnded([this](const UrgentBroadcast::Ended& ended) { urgentEnded(ended); });
    m_chain->jobs().setProblemChanged([this](const std::string& problem) {
        m_state.jobWriteProblem = problem;
        notify(static_cast<DeskChanges>(DeskChange::JobWrite));
    });
    if (!m_options.stateFolder.empty()) {
        m_copy = std::make_unique<ControlState>(m_options.stateFolder);
    }
}

OperatorDesk::~OperatorDesk() = default;

void OperatorDesk::removeJobsAndAnswers(const std::filesystem::path& currentDir) {
    // Answers first, then jobs; every set is tried whatever happened to the one before.
    const ExchangeFolder exchange(currentDir);
    exchange.deleteSet(ExchangeSet::EndAnswers);
    exchange.deleteSet(ExchangeSet::NextAnswers);
    exchange.deleteSet(ExchangeSet::Jobs);
    exchange.deleteSet(ExchangeSet::NextInstants);
    exchange.deleteSet(ExchangeSet::StartInstants);
    // A presence file left by a program long gone must not count; a running display makes its
    // own again within a second.
    exchange.deletePresence();
}

void OperatorDesk::open() {
    // Each step on its own: a failure never keeps the later ones from being tried.
    exchange().make();
    removeJobsAndAnswers(m_options.currentDir);
}

void OperatorDesk::close(Ending ending) {
    if (m_closed) {
        return;
    }
    if (ending == Ending::Operator && m_state.showRunning) {
        m_state.showRunning = false;
        keepCopy();
    }
    m_closed = true;
    // The show ends with the program: no tick may write a job after the clean-up.
    for (Timer* timer : timers()) {
        timer->setEnabled(false);
    }
    removeJobsAndAnswers(m_options.currentDir);
}

std::vector<Timer*> OperatorDesk::timers() {
    std::vector<Timer*> all;
    for (int n = 0; n < RunController::timerCount; ++n) {
        all.push_back(&m_chain->timer(n));
    }
    all.push_back(&m_chain->wallTimer());
    all.push_back(&m_urgent->timer());
    return all;
}

void OperatorDesk::addObserver(DeskObserver& observer) {
    m_observers.push_back(&observer);
}

void OperatorDesk::removeObserver(DeskObserver& observer) {
    std::erase(m_observers, &observer);
}

void OperatorDesk::notify(DeskChanges changes) {
    // An observer may go away as it is told.
    const std::vector<DeskObserver*> observers = m_observers;
    for (DeskObserver* observer : observers) {
        if (std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end()) {
            observer->deskChanged(changes);
        }
    }
}

void OperatorDesk::setSettings(const ShowSettings& settings) {
    if (settings == m_state.settings) {
        return;
    }
    m_state.settings = settings;
    keepCopy();
    notify(static_cast<DeskChanges>(DeskChange::Settings));
}

std::optional<DeskOutcome> OperatorDesk::refusedByStep() const {
    if (m_steps.empty()) {
        return std::nullopt;
    }
    return DeskOutcome::refusedQuietly(
        DeskOutcome::Code::Busy,
        "制御機で「" + m_steps.back() +
            "」が開いている間は、表示のリストと表示を変えられません。閉じてから、もう一度して"
            "下さい。");
}

DeskOutcome OperatorDesk::add(const ItemEntry& entry) {
    if (std::optional<DeskOutcome> busy = refusedByStep()) {
        return *busy;
    }
    stopByHand();
    return itemOutcome(m_list->add(entry));
}

DeskOutcome OperatorDesk::change(int line, const ItemEntry& entry) {
    if (std::optional<DeskOutcome> busy = refusedByStep()) {
        return *busy;
    }
    stopByHand();
    return itemOutcome(m_list->change(line, entry));
}

DeskOutcome OperatorDesk::itemOutcome(const ShowList::AddResult& result) {
    switch (result.status) {
    case ShowList::AddResult::Status::Full:
        return DeskOutcome::refusedQuietly(DeskOutcome::Code::Full,
                                           "表示のリストには 101 項目までしか入りません。");
    case ShowList::AddResult::Status::NoSuchLine:
        return noSuchLine();
    case ShowList::AddResult::Status::Refused:
        // The entries stay as they are, so the operator can mend the value.
        return DeskOutcome::refused(DeskOutcome::Code::BadValue, warning(result.warning));
    case ShowList::AddResult::Status::Added:
        break;
    }
    listEdited();
    DeskOutcome outcome;
    if (!result.warning.empty()) {
        outcome.messages.push_back(warning(result.warning));
    }
    return outcome;
}

DeskOutcome OperatorDesk::noSuchLine() {
    return DeskOutcome::refusedQuietly(DeskOutcome::Code::NoSuchLine,
                                       "表示のリストにその行はありません。");
}

DeskOutcome OperatorDesk::remove(int line) {
    if (std::optional<DeskOutcome> busy = refusedByStep()) {
        return *busy;
    }
    stopByHand();
    if (!m_list->removeLine(line)) {
        return noSuchLine();
    }
    listEdited();
    return {};
}

DeskOutcome OperatorDesk::clear() {
    if (std::optional<DeskOutcome> busy = refusedByStep()) {
        return *busy;
    }
    stopByHand();
    m_list->clear();
    listEdited();
    return {};
}

std::optional<ItemTable::Row> OperatorDesk::choose(int line) {
    const int r = m_list->rowOfLine(line);
    if (r < 0) {
        return std::nullopt;
    }
    const ItemTable::Row row = m_table.row(r);
    ShowSettings settings = m_state.settings;
    if (row[ItemTable::kindField] == vocabulary::kindText) {
        settings.movement = row[ItemTable::movementField];
        settings.speed = row[ItemTable::speedField];
    } else if (row[ItemTable::kindField] == vocabulary::kindPicture) {
        settings.speed = row[ItemTable::speedField];
    }
    setSettings(settings);
    return row;
}

void OperatorDesk::stopBeforeChooser() {
    stopByHand();
}

DeskOutcome OperatorDesk::loadChosen(const ChooserVariables& chosen) {
    if (std::optional<DeskOutcome> busy = refusedByStep()) {
        return *busy;
    }
    if (chosen.SResult != chooserResultOk) {
        return DeskOutcome::refusedQuietly(DeskOutcome::Code::Cancelled, {});
    }
    if (chosen.SName.empty()) {
        return DeskOutcome::refused(DeskOutcome::Code::NoName,
                                    fileWarning(std::string(emptyNameText)));
    }
    // The name is used as typed: the save's extension rule does not apply to a load.
    DeskOutcome outcome = loadFile(showFile::join(chosen.SPath, chosen.SName));
    notify(static_cast<DeskChanges>(DeskChange::ByHand));
    return outcome;
}

DeskOutcome OperatorDesk::saveChosen(ChooserVariables& chosen) {
    if (chosen.SResult != chooserResultOk) {
        return DeskOutcome::refusedQuietly(DeskOutcome::Code::Cancelled, {});
    }
    if (chosen.SName.empty()) {
        return DeskOutcome::refused(DeskOutcome::Code::NoName,
                                    fileWarning(std::string(emptyNameText)));
    }
    chosen.SName = showFile::saveName(chosen.SName);
    return saveFile(showFile::join(chosen.SPath, chosen.SName));
}

DeskOutcome OperatorDesk::load(const std::filesystem::path& path) {
    if (std::optional<DeskOutcome> busy = refusedByStep()) {
        return *busy;
    }
    stopByHand();
    return loadFile(path);
}

DeskOutcome OperatorDesk::save(const std::filesystem::path& path) {
    if (std::optional<DeskOutcome> busy = refusedByStep()) {
        return *busy;
    }
    stopByHand();
    return saveFile(path);
}

DeskOutcome OperatorDesk::handOver(const std::filesystem::path& path, bool start) {
    if (std::optional<DeskOutcome> busy = refusedByStep()) {
        return *busy;
    }
    const std::optional<showFile::Contents> contents = showFile::read(path);
    if (!contents) {
        return unreadable(path);
    }
    stopByHand();
    DeskOutcome outcome = replaceList(*contents, path);
    if (start) {
        DeskOutcome started = startShow();
        outcome.code = started.code;
        outcome.messages.insert(outcome.messages.end(), started.messages.begin(),
                                started.messages.end());
    }
    return outcome;
}

DeskOutcome OperatorDesk::loadFile(const std::filesystem::path& path) {
    const std::optional<showFile::Contents> contents = showFile::read(path);
    return contents ? replaceList(*contents, path) : unreadable(path);
}

DeskOutcome OperatorDesk::unreadable(const std::filesystem::path& path) {
    return DeskOutcome::refused(
        DeskOutcome::Code::Unreadable,
        fileWarning("ファイル「" + path.string() +
                    "」を読み込めませんでした。表示のリストは変わっていません。"));
}

DeskOutcome OperatorDesk::replaceList(const showFile::Contents& contents,
                                      const std::filesystem::path& path) {
    m_list->clear();
    for (const ItemTable::Row& row : contents.items) {
        m_list->appendRow(row);
    }
    m_state.listFile = path.string();
    m_state.listUnsaved = false;
    listChanged();
    notify(static_cast<DeskChanges>(DeskChange::Loaded));
    DeskOutcome outcome;
    if (contents.tooMany) {
        const std::string most = std::to_string(ItemTable::rowCount);
        outcome.messages.push_back(fileWarning("ファイル「" + path.string() + "」には" + most +
                                               "項目を超える表示があります。最初の" + most +
                                               "項目だけを読み込み、残りは読み込んでいません。"));
    }
    return outcome;
}

DeskOutcome OperatorDesk::saveFile(const std::filesystem::path& path) {
    switch (showFile::write(path, m_table)) {
    case WriteStatus::Ok:
        m_state.listFile = path.string();
        m_state.listUnsaved = false;
        keepCopy();
        notify(static_cast<DeskChanges>(DeskChange::List));
        return {};
    case WriteStatus::LineBreak:
    case WriteStatus::NotShiftJis:
        return DeskOutcome::refused(DeskOutcome::Code::BadValue,
                                    fileWarning(firstValueProblem(m_table) + "ファイル「" +
                                                path.string() + "」には保存していません。"));
    case WriteStatus::IoError:
        break;
    }
    return DeskOutcome::refused(
        DeskOutcome::Code::Unwritable,
        fileWarning("ファイル「" + path.string() +
                    "」に保存できませんでした。フォルダーと名前を確かめて下さい。前からある"
                    "ファイルは変わっていません。"));
}

DeskOutcome OperatorDesk::start() {
    if (std::optional<DeskOutcome> busy = refusedByStep()) {
        return *busy;
    }
    DeskOutcome outcome = startShow();
    notify(static_cast<DeskChanges>(DeskChange::ByHand));
    return outcome;
}

DeskOutcome OperatorDesk::startShow() {
    DeskOutcome outcome;
    if (!m_urgent->isRunning()) {
        if (std::string problem = m_chain->cmdDisplay_Click(); !problem.empty()) {
            outcome = DeskOutcome::refused(DeskOutcome::Code::CannotStart, warning(problem));
        }
    } else if (std::string problem =
                   showStartProblem(m_table, movementText(), speedText(), exchange());
               !problem.empty()) {
        // A start that cannot be made leaves the urgent message on the screens.
        return DeskOutcome::refused(DeskOutcome::Code::CannotStart, warning(problem));
    } else {
        // A new show replaces the urgent message; its copies leave every screen at once.
        const std::optional<UrgentBroadcast::Ended> ended = m_urgent->end();
        urgentChanged();
        m_chain->startShow(0, ended ? ended->copies : std::vector<int>{});
    }
    // A start reduces picture paths to bare names: the copy takes them too.
    m_state.showRunning = m_chain->isShowRunning();
    keepCopy();
    notify(static_cast<DeskChanges>(DeskChange::Run));
    return outcome;
}

DeskOutcome OperatorDesk::stop() {
    stopByHand();
    return {};
}

void OperatorDesk::stopByHand() {
    stopShow();
    notify(static_cast<DeskChanges>(DeskChange::ByHand));
}

void OperatorDesk::stopShow() {
    haltShow(&RunController::cmdStop_Click);
    notify(static_cast<DeskChanges>(DeskChange::Run));
}

DeskOutcome OperatorDesk::endDisplays() {
    haltShow(&RunController::endDisplays);
    notify(DeskChange::Run | DeskChange::ByHand);
    return {};
}

void OperatorDesk::haltShow(void (RunController::*halt)()) {
    // The urgent message ends with the show: every display is blanked, or ended.
    if (m_urgent->end()) {
        urgentChanged();
    }
    ((*m_chain).*halt)();
    m_state.showRunning = false;
    keepCopy();
}

DeskOutcome OperatorDesk::say(UrgentMessage message, int minutes) {
    if (std::string problem = message.problem(); !problem.empty()) {
        return DeskOutcome::refused(DeskOutcome::Code::BadValue, warning(problem));
    }
    if (minutes > 0) {
        message.endsAtUs = m_clock.realUs() + minutes * usPerMinute;
    }
    sayNow(std::move(message));
    return {};
}

void OperatorDesk::sayNow(UrgentMessage message) {
    // The chain waits meanwhile; a message over a message keeps what comes after both.
    const bool showWasRunning = m_chain->isShowRunning();
    const int resumeRow = m_chain->pause();
    m_urgent->say(std::move(message), showWasRunning, resumeRow);
    urgentChanged();
}

DeskOutcome OperatorDesk::endUrgent() {
    if (const std::optional<UrgentBroadcast::Ended> ended = m_urgent->end()) {
        urgentEnded(*ended);
    }
    return {};
}

void OperatorDesk::urgentEnded(const UrgentBroadcast::Ended& ended) {
    urgentChanged();
    if (!ended.showWasRunning) {
        m_chain->cmdStop_Click();
        return;
    }
    // The show goes on from the row display 1 had, within a tick: a problem goes to the
    // job-write line, not into a message box, and blanks the wall.
    if (std::string problem = showStartProblem(m_table, movementText(), speedText(), exchange());
        !problem.empty()) {
        m_chain->refuseStart();
        m_chain->cmdStop_Click();
        m_chain->jobs().tell(problem);
        return;
    }
    m_chain->startShow(ended.resumeRow, ended.copies);
}

void OperatorDesk::urgentChanged() {
    m_state.urgent = m_urgent->message();
    keepCopy();
    refreshCells();
    notify(static_cast<DeskChanges>(DeskChange::Urgent));
}

DeskOutcome OperatorDesk::resume() {
    if (!m_copy) {
        return DeskOutcome::refusedQuietly(DeskOutcome::Code::Unreadable,
                                           "no folder for the copy of the show list");
    }
    std::string why;
    const std::optional<ControlState::Copy> copy = m_copy->read(why);
    if (!copy) {
        return DeskOutcome::refusedQuietly(DeskOutcome::Code::Unreadable, why);
    }
    m_list->clear();
    for (const ItemTable::Row& row : copy->items) {
        m_list->appendRow(row);
    }
    // The copy is what it describes: taking it back writes nothing.
    m_state.settings.speed = copy->settings.speed;
    m_state.settings.movement = copy->settings.movement;
    m_state.settings.repeat = copy->settings.repeat;
    m_state.listFile = copy->settings.listFile;
    m_state.listUnsaved = copy->settings.listUnsaved;
    notify(DeskChange::List | DeskChange::Loaded | DeskChange::Settings);
    resumePlan(copy->settings);
    std::optional<UrgentMessage> urgent = copy->settings.urgent;
    if (urgent && urgent->endsAtUs && *urgent->endsAtUs <= m_clock.realUs()) {
        urgent.reset(); // its time ran out while the program was not running
    }
    DeskOutcome outcome;
    // A followed plan says what runs now; the show of the last run is not started under it.
    if (copy->settings.running && !followsPlan()) {
        outcome = startShow();
    }
    if (urgent) {
        // For what is left of its time; the show goes on after it.
        sayNow(*urgent);
    }
    return outcome;
}

void OperatorDesk::resumePlan(const ControlState::Settings& kept) {
    if (m_state.plan || kept.planFile.empty()) {
        return;
    }
    m_state.planFile = kept.planFile;
    // "予定に従う" stays as the operator left it, even when the plan cannot be read now.
    m_state.followPlan = kept.followPlan;
    PlanRead read = planFile::read(kept.planFile);
    m_state.plan = std::move(read.plan);
    notify(static_cast<DeskChanges>(DeskChange::Plan));
    if (!m_state.plan && kept.followPlan) {
        tell(read.words(kept.planFile) + "予定に従えないため、前の表示を続けます。");
    }
}

DeskOutcome OperatorDesk::usePlan(const std::filesystem::path& path) {
    PlanRead read = planFile::read(path);
    if (!read.plan) {
        return DeskOutcome::refused(DeskOutcome::Code::Unreadable,
                                    {read.words(path), std::string(planTitle)});
    }
    usePlan(path, std::move(*read.plan));
    return {};
}

void OperatorDesk::usePlan(const std::filesystem::path& path, WeekPlan plan) {
    m_state.planFile = path.string();
    m_state.plan = std::move(plan);
    keepCopy();
    notify(static_cast<DeskChanges>(DeskChange::Plan));
}

DeskOutcome OperatorDesk::savePlan(WeekPlan plan) {
    const std::filesystem::path path = planPath();
    const std::string refused = planFile::write(path, plan);
    if (!refused.empty()) {
        return DeskOutcome::refused(DeskOutcome::Code::Unwritable,
                                    {refused, std::string(planTitle)});
    }
    usePlan(path, std::move(plan));
    return {};
}

DeskOutcome OperatorDesk::followPlan(bool follow) {
    if (follow && !m_state.plan) {
        return DeskOutcome::refused(
            DeskOutcome::Code::Unreadable,
            {"週の予定がありません。「週の予定」で予定を作って保存して下さい。",
             std::string(planTitle)});
    }
    if (follow != m_state.followPlan) {
        m_state.followPlan = follow;
        keepCopy();
        notify(static_cast<DeskChanges>(DeskChange::Plan));
    }
    return {};
}

DeskOutcome OperatorDesk::followPlanFile(bool follow) {
    DeskOutcome read = follow ? usePlan(planPath()) : DeskOutcome{};
    if (read.done() || m_state.plan) {
        const DeskOutcome followed = followPlan(follow);
        if (read.done()) {
            return followed;
        }
    }
    return read;
}

std::filesystem::path OperatorDesk::planPath() const {
    return m_state.planFile.empty() ? m_options.currentDir / "plan.txt"
                                    : std::filesystem::path(m_state.planFile);
}

void OperatorDesk::tell(std::string notice) {
    m_state.notice = std::move(notice);
    notify(static_cast<DeskChanges>(DeskChange::Notice));
}

OperatorDesk::Step::Step(Step&& other) noexcept : m_desk(std::exchange(other.m_desk, nullptr)) {}

OperatorDesk::Step::~Step() {
    if (m_desk == nullptr) {
        return;
    }
    m_desk->m_steps.pop_back();
    m_desk->m_state.step = m_desk->m_steps.empty() ? std::string() : m_desk->m_steps.back();
    m_desk->notify(static_cast<DeskChanges>(DeskChange::Step));
}

OperatorDesk::Step OperatorDesk::holdStep(std::string what) {
    m_steps.push_back(std::move(what));
    m_state.step = m_steps.back();
    notify(static_cast<DeskChanges>(DeskChange::Step));
    return Step(this);
}

void OperatorDesk::answerChanged(AnswerKind kind, int display) {
    if (m_urgent->isRunning()) {
        m_urgent->answerChanged(kind, display);
        refreshCells();
    } else {
        m_chain->answerChanged(kind, display);
    }
}

void OperatorDesk::setJobWritten(JobWriter::Written written) {
    m_chain->jobs().setWritten(std::move(written));
}

void OperatorDesk::setWakeUpsHeard(std::function<bool(int)> heard) {
    m_wakeUpsHeard = std::move(heard);
}

const std::optional<SignOfLife>& OperatorDesk::displayLife(int n) const {
    return m_chain->displayLife(n);
}

void OperatorDesk::announce(const std::vector<DeskMessage>& messages) {
    if (messages.empty()) {
        return;
    }
    m_announcements.insert(m_announcements.end(), messages.begin(), messages.end());
    notify(static_cast<DeskChanges>(DeskChange::Announcement));
}

std::vector<DeskMessage> OperatorDesk::takeAnnouncements() {
    return std::exchange(m_announcements, {});
}

void OperatorDesk::listEdited() {
    m_state.listUnsaved = true;
    listChanged();
}

void OperatorDesk::listChanged() {
    if (m_copy) {
        m_copy->listChanged();
    }
    keepCopy();
    notify(static_cast<DeskChanges>(DeskChange::List));
}

void OperatorDesk::keepCopy() {
    if (!m_copy || m_closed) {
        return;
    }
    ControlState::Settings settings;
    settings.speed = m_state.settings.speed;
    settings.movement = m_state.settings.movement;
    settings.repeat = m_state.settings.repeat;
    settings.running = m_state.showRunning;
    settings.urgent = m_urgent->message();
    settings.listFile = m_state.listFile;
    settings.listUnsaved = m_state.listUnsaved;
    settings.planFile = m_state.planFile;
    settings.followPlan = m_state.followPlan;
    m_copy->write(m_table, settings);
}

void OperatorDesk::refreshCells() {
    bool changed = false;
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        const auto index = static_cast<std::size_t>(n);
        const WallCell cell =
            wallCellOf(n, m_chain->wall(), m_chain->rowOn(n), m_urgent->showsOn(n), m_wakeUpsHeard);
        if (cell == m_state.cells.at(index)) {
            continue;
        }
        if (cell.state == WallCell::State::Silent &&
            m_state.cells.at(index).state != WallCell::State::Silent) {
            m_state.silentSinceUs.at(index) = m_clock.realUs();
        }
        m_state.cells.at(index) = cell;
        changed = true;
    }
    if (UrgentReach reach = m_urgent->reach(); reach != m_state.reach) {
        m_state.reach = std::move(reach);
        notify(static_cast<DeskChanges>(DeskChange::Urgent));
    }
    if (changed) {
        notify(static_cast<DeskChanges>(DeskChange::Wall));
    }
}

std::string OperatorDesk::movementText() const {
    return m_state.settings.movement;
}

std::string OperatorDesk::speedText() const {
    return m_state.settings.speed;
}

std::string OperatorDesk::displayCountText() const {
    return m_state.settings.displayCount;
}

bool OperatorDesk::repeatChecked() const {
    return m_state.settings.repeat;
}

void OperatorDesk::setShowingVisible(bool visible) {
    m_state.showingVisible = visible;
    notify(static_cast<DeskChanges>(DeskChange::Run));
}

void OperatorDesk::setComputerCaption(const std::string& caption) {
    m_state.computerCaption = caption;
    notify(static_cast<DeskChanges>(DeskChange::Run));
}

void OperatorDesk::setLineCaption(const std::string& caption) {
    m_state.lineCaption = caption;
    notify(static_cast<DeskChanges>(DeskChange::Run));
}

void OperatorDesk::markStarterStopped() {
    m_state.starterStopped = true;
    notify(static_cast<DeskChanges>(DeskChange::Run));
}

void OperatorDesk::wallChanged() {
    refreshCells();
}

} // namespace lm
