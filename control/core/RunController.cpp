#include "RunController.h"

#include "DisplayRanges.h"
#include "NumberText.h"
#include "PictureCopy.h"
#include "TextRules.h"
#include "ValueCheck.h"
#include "Vocabulary.h"

#include <algorithm>
#include <charconv>
#include <random>
#include <system_error>
#include <vector>

namespace lm {

namespace {

constexpr std::string_view ideographicBlanks = "　　";
// The caption lblCon gets whenever display 1 is sent an item.
constexpr int computerCaptionNumber = 2;
// Watchers 2, 3 and 4 release a repeated report at once when a still picture follows.
constexpr int lastStillWatcher = 4;

// The row a report names, when it is a row of the list.
std::optional<int> reportedRow(double reported, int count) {
    if (reported < 0 || reported >= count || reported != static_cast<int>(reported)) {
        return std::nullopt;
    }
    return static_cast<int>(reported);
}

// The answer a display gives for the item of this row: any next answer naming it, or an end
// answer with the end word.
bool answersItem(const Answer& answer, AnswerKind kind, int row) {
    return !answer.isEmpty() && row >= 0 && answer.value() == row &&
           (kind == AnswerKind::Next || answer.isEndWord());
}

bool isKnownKind(const std::string& kind) {
    return kind == vocabulary::kindText || kind == vocabulary::kindPicture;
}

bool isMovementWord(const std::string& word) {
    return word == vocabulary::moveStill || word == vocabulary::moveLeft;
}

std::string_view writeFailureReason(WriteStatus status) {
    switch (status) {
    case WriteStatus::LineBreak:
        return "改行を含む値は送れません";
    case WriteStatus::NotShiftJis:
        return "シフトJISにない文字は送れません";
    case WriteStatus::IoError: // told by folderUnwritableText
    case WriteStatus::Ok:
        break;
    }
    return {};
}

// Random, so that no two starts of the program, here or elsewhere, share one.
std::string newSession() {
    std::random_device entropy;
    const std::uint64_t value = (static_cast<std::uint64_t>(entropy()) << 32U) ^ entropy();
    std::array<char, 17> digits{};
    std::to_chars(digits.data(), digits.data() + 16, value, 16);
    return digits.data();
}

} // namespace

RunController::RunController(ItemTable& table, const std::filesystem::path& currentDir,
                             RunView& view, MessageBoxes& boxes, const WallClock& clock)
    : m_table(table), m_exchange(currentDir), m_view(view), m_boxes(boxes), m_clock(clock),
      m_session(newSession()) {
    m_timers[0].setHandler([this] { Timer0_Timer(); });
    m_timers[1].setHandler([this] { Timer1_Timer(); });
    for (int n = 2; n < timerCount; ++n) {
        m_timers[static_cast<std::size_t>(n)].setHandler([this, n] { watcherTimer(n); });
    }
    m_wallTimer.setHandler([this] { wallTimer_Timer(); });
    m_wallTimer.setInterval(wallIntervalMs);
    m_wallTimer.setEnabled(true);
}

Timer& RunController::timer(int number) {
    return m_timers.at(static_cast<std::size_t>(number));
}

int RunController::SendRow(int n) const {
    return m_SendRow.at(static_cast<std::size_t>(n));
}

int RunController::LastStillAnswer(int n) const {
    return m_LastStillAnswer.at(static_cast<std::size_t>(n - 2));
}

void RunController::switchAllTimersOff() {
    for (Timer& timer : m_timers) {
        timer.setEnabled(false);
    }
}

std::string RunController::startProblem() const {
    const int count = m_table.count();
    if (count < 2) {
        return std::string(tooFewItemsText);
    }
    const std::string movement = m_view.movementText();
    for (const auto& [label, value] : {std::pair{fieldLabel::movement, movement},
                                       std::pair{fieldLabel::speed, m_view.speedText()}}) {
        if (std::string warning = valueProblemWarning(label, value); !warning.empty()) {
            return warning;
        }
    }
    bool anyPicture = false;
    for (int r = 0; r < count; ++r) {
        const ItemTable::Row& row = m_table.row(r);
        const std::string itemName = std::to_string(r + 1) + "番目の項目";
        const std::string& kind = row[ItemTable::kindField];
        // A display ends itself on "終了" and stands still on any other unknown kind. Such an
        // item has no line in List1, so it cannot be selected and deleted: say what helps.
        if (!isKnownKind(kind)) {
            return itemName + "の種類「" + kind +
                   "」は表示できません。種類が「文字」か「画像」の項目だけを表示できます。"
                   "この項目は表示のリストに出ないため、ファイルを直して読み込み直すか、"
                   "「すべて削除」して作り直して下さい。";
        }
        anyPicture = anyPicture || kind == vocabulary::kindPicture;
        const std::pair<std::string_view, std::string> carried[] = {
            {fieldLabel::text, row[ItemTable::textField]},
            {fieldLabel::textColour, row[ItemTable::textColourField]},
            {fieldLabel::backColour, row[ItemTable::backColourField]},
            {fieldLabel::picture, bareName(row[ItemTable::pictureField])}};
        for (const auto& [label, value] : carried) {
            if (std::string warning = valueProblemWarning(label, value); !warning.empty()) {
                return itemName + "：" + warning;
            }
        }
        // A show file from elsewhere may name any file: only pictures go into the share.
        if (kind == vocabulary::kindPicture && !row[ItemTable::pictureField].empty()) {
            if (std::string warning =
                    pictureProblemWarning(row[ItemTable::pictureField], m_exchange);
                !warning.empty()) {
                return itemName + "：" + warning;
            }
        }
    }
    // Every picture job would start nothing on the displays, and the show would stall.
    if (anyPicture && !isMovementWord(movement)) {
        return "「画像の移動」が「移動しない」でも「左へ」でもないため、画像を表示できません。"
               "「移動しない」か「左へ」を選んで下さい。";
    }
    return {};
}

void RunController::cmdDisplay_Click() {
    if (!m_urgent) {
        startShow(0, false);
        return;
    }
    if (const std::string problem = startProblem(); !problem.empty()) {
        // A start that cannot be made leaves the urgent message on the screens.
        m_boxes.warn(problem, std::string(warningTitle));
        return;
    }
    // A new show replaces the urgent message.
    const UrgentRun run = std::move(*m_urgent);
    m_urgent.reset();
    m_view.setUrgent(std::nullopt);
    startShow(0, false, &run);
}

void RunController::startShow(int fromRow, bool quiet, const UrgentRun* urgent) {
    switchAllTimersOff();
    if (const std::string problem = startProblem(); !problem.empty()) {
        // Nothing is showing after a refused start, so "表示中" stays hidden.
        m_view.setShowingVisible(false);
        if (quiet) {
            cmdStop_Click();
            m_jobWriteProblem = problem;
            m_view.setJobWriteProblem(problem);
            return;
        }
        m_boxes.warn(problem, std::string(warningTitle));
        return;
    }
    m_view.setShowingVisible(true);

    m_StartCounter = 0;
    m_SendRow.fill(fromRow);
    m_firstRowDue = true;
    m_round.fill(0);
    // Reports left from an earlier show must not hold up this one.
    m_LastStillAnswer.fill(-1);
    clearTracks();
    m_wall.newShow();
    // A failure of the show before says nothing about this one, whose jobs are yet to come.
    m_jobWrites.fill(WriteStatus::Ok);
    reportJobWrites();

    m_exchange.deleteSet(ExchangeSet::EndAnswers);
    m_exchange.deleteSet(ExchangeSet::NextAnswers);
    m_exchange.deleteSet(ExchangeSet::Jobs);
    m_exchange.deleteSet(ExchangeSet::NextInstants);
    m_exchange.deleteSet(ExchangeSet::StartInstants);
    for (std::set<std::string>& heads : m_sentHeads) {
        heads.clear();
    }
    if (urgent != nullptr) {
        blankUrgentCopies(*urgent);
    }

    m_StillShow = true;
    for (int r = 0; r < m_table.count(); ++r) {
        const ItemTable::Row& row = m_table.row(r);
        if (row[ItemTable::kindField] != vocabulary::kindPicture) {
            m_StillShow = false;
            continue;
        }
        const std::string picture = row[ItemTable::pictureField];
        if (!picture.empty()) {
            copyPictureIntoExchange(picture, m_exchange);
            if (std::string bare = bareName(picture); bare != picture) {
                m_table.setField(r, ItemTable::pictureField, std::move(bare));
            }
        }
        if (row[ItemTable::movementField] == vocabulary::moveLeft) {
            m_StillShow = false;
        }
    }

    if (const auto position = vocabulary::speedPosition(m_view.speedText())) {
        m_SpeedFactor = (*position + 1) * 10;
    } else if (m_SpeedFactor == 0) {
        // An unknown speed word keeps the last pace; before any known one, that of "中".
        m_SpeedFactor = defaultSpeedFactor;
    }
    m_timers[0].setInterval(m_SpeedFactor * paceUnitMs);
    m_timers[0].setEnabled(true);
}

void RunController::Timer0_Timer() {
    if (numericValue(m_view.displayCountText()) < m_StartCounter) {
        m_timers[0].setEnabled(false);
        m_view.markStarterStopped();
        return;
    }
    if (m_StillShow) {
        m_StartCounter = 1;
    }
    if (m_StartCounter >= 1 && m_StartCounter <= displayCount) {
        // A watcher that already runs keeps its countdown.
        Timer& watcher = m_timers[static_cast<std::size_t>(m_StartCounter)];
        watcher.setInterval(watcherIntervalMs);
        watcher.setEnabled(true);
    }
    ++m_StartCounter;
}

void RunController::Timer1_Timer() {
    checkExchangeFolder();
    const Answer answer = answerFrom(AnswerKind::End, 1);
    const int count = m_table.count();
    const int sent = m_SendRow[1];
    if (sent < 1 || m_firstRowDue) {
        sendToDisplayOne();
    } else if (m_view.repeatChecked() && sent == count + 1) {
        // Display 1 finished the list earlier without repetition: start again from row 0.
        m_timers[0].setEnabled(true);
        m_StartCounter = 0;
        m_SendRow[1] = 0;
        ++m_round[1];
    } else if (answer.value() == sent - 1 && answer.isEndWord()) {
        sendToDisplayOne();
    }
}

void RunController::answerChanged(AnswerKind kind, int display) {
    if (m_urgent) {
        // Only end answers count meanwhile: each repeats the urgent text on its display.
        if (kind == AnswerKind::End && display >= 1 && display <= displayCount) {
            checkUrgent(display);
            reportJobWrites();
            refreshCells();
        }
        return;
    }
    // Watcher 1 reads "LMPEnd1.ans"; watcher n (2 to 16) reads LMPNext<n-1>.ans.
    int watcher = 0;
    if (kind == AnswerKind::End && display == 1) {
        watcher = 1;
    } else if (kind == AnswerKind::Next && display >= 1 && display < displayCount) {
        watcher = display + 1;
    }
    if (watcher != 0) {
        m_timers[static_cast<std::size_t>(watcher)].fire();
    }
}

void RunController::sendToDisplayOne() {
    m_firstRowDue = false;
    std::error_code ignored;
    std::filesystem::remove(m_exchange.answerPath(AnswerKind::End, 1), ignored);
    takePassedAnswer(1, AnswerKind::End);

    const int count = m_table.count();
    int& sent = m_SendRow[1];
    if (sent < count) {
        sendItem(1, sent, true);
        if (m_StillShow) {
            // Display n shows the item n - 1 rows before display 1's, cyclically.
            for (int n = 2; n <= displayCount; ++n) {
                m_SendRow[static_cast<std::size_t>(n)] = (8 * count + 1 - n + sent) % count;
                sendItem(n, m_SendRow[static_cast<std::size_t>(n)], false);
            }
        }
        reportJobWrites();
        refreshCells();
        m_view.setComputerCaption(numberText(computerCaptionNumber));
        m_view.setLineCaption(numberText(sent + 1));
        m_timers[1].setInterval(watcherIntervalMs);
        ++sent;
    } else if (m_view.repeatChecked()) {
        m_timers[0].setEnabled(true);
        m_StartCounter = 0;
        sent = 0;
        ++m_round[1];
    } else {
        m_timers[1].setEnabled(false);
        sent = count + 1;
    }
}

bool RunController::isRowOfTheList(const std::string& head) const {
    for (int r = 0; r <= m_table.count(); ++r) {
        if (head == itemNumberLine(r)) {
            return true;
        }
    }
    return false;
}

bool RunController::rowIsStillPicture(int row) const {
    const ItemTable::Row& fields = m_table.row(row);
    return fields[ItemTable::kindField] == vocabulary::kindPicture &&
           fields[ItemTable::movementField] == vocabulary::moveStill;
}

void RunController::watcherTimer(int n) {
    if (const std::optional<int> row = track(n).resend) {
        sendItem(n, *row, true, track(n).resendFrom);
        reportJobWrites();
        refreshCells();
    }
    const Answer answer = answerFrom(AnswerKind::Next, n - 1);
    if (answer.isEmpty()) {
        return;
    }
    const std::optional<Answer> filed = m_answerFiled ? std::optional(answer) : std::nullopt;
    const double reported = answer.value();
    const int count = m_table.count();
    const auto index = static_cast<std::size_t>(n);
    const int sent = m_SendRow[index];
    // Display n - 1 has begun the list again since display n did. Its reports then belong to
    // the new round, even when their item numbers are below what display n was sent last.
    const bool newerRound = m_round[index - 1] > m_round[index];
    // Items pass as one: when display n - 1 reports an item that display n is not next in
    // line for (the items between were cut off on n - 1 before they reached its hand-over
    // point), display n takes up the reported one.
    const std::optional<int> row = reportedRow(reported, count);

    // A row below what display n - 1 has been sent in its round is of that round.
    const bool ofNewerRound = newerRound && row && *row < m_SendRow[index - 1];
    if (sent == count && (reported == 0 || newerRound)) {
        if (newerRound && reported != 0 && !ofNewerRound) {
            // Again the report of a row display n has had (display n - 1 was started again).
            return;
        }
        // Display n - 1 has begun the list again after display n had all of it.
        if (m_view.repeatChecked()) {
            m_SendRow[index] = ofNewerRound ? *row : 0;
            ++m_round[index];
        } else {
            m_timers[index].setEnabled(false);
        }
        handOver(n, filed);
        return;
    }
    if (n <= lastStillWatcher && reported == sent - 1 && rowIsStillPicture(sent)) {
        int& last = m_LastStillAnswer[static_cast<std::size_t>(n - 2)];
        if (reported == last) {
            return;
        }
        last = sent - 1;
        handOver(n, filed);
        return;
    }
    if (sent < count && row) {
        if (ofNewerRound || *row > sent) {
            m_SendRow[index] = *row;
            if (ofNewerRound) {
                m_round[index] = m_round[index - 1];
            }
            handOver(n, filed);
            return;
        }
    }
    if (reported >= sent || sent == count + 1) {
        handOver(n, filed);
    }
}

void RunController::handOver(int n, const std::optional<Answer>& answer) {
    std::error_code ignored;
    std::filesystem::remove(m_exchange.answerPath(AnswerKind::Next, n - 1), ignored);
    takePassedAnswer(n - 1, AnswerKind::Next);
    int& row = m_SendRow[static_cast<std::size_t>(n)];
    if (row >= 0 && row <= m_table.count()) {
        // Only the item the answer names passed at its instant; a still picture sent early
        // starts as it arrives.
        const std::optional<Instant> from =
            answer && answer->value() == row ? instantOf(n - 1, *answer) : std::nullopt;
        if (itemNumberLine(row) == track(n).head) {
            // The same row again, a round later: the display would take the job for the one
            // it has shown, since it starts a job only when line 1 changes. Without its job
            // file at a poll it takes whatever comes next as new.
            std::filesystem::remove(m_exchange.jobPath(n), ignored);
            track(n).head.clear();
            track(n).resend = row;
            track(n).resendFrom = from;
        } else {
            sendItem(n, row, true, from);
            reportJobWrites();
            refreshCells();
        }
        ++row;
    }
}

std::optional<Instant> RunController::instantOf(int p, const Answer& answer) const {
    std::optional<Instant> instant = m_exchange.readInstant(m_exchange.nextInstantPath(p));
    if (!instant || instant->display != p || instant->head != answer.field1 || !instant->atUs) {
        return std::nullopt;
    }
    return instant;
}

void RunController::sendItem(int n, int row, bool chained, const std::optional<Instant>& from) {
    const JobLines job = itemJobOf(row);
    if (row < m_table.count()) {
        writeStartRecord(n, job[jobLine::itemNumber], from);
    }
    m_sentHeads.at(static_cast<std::size_t>(n)).insert(job[jobLine::itemNumber]);
    writeJob(n, job);
    itemReached(n, row, job, chained);
}

void RunController::writeStartRecord(int n, const std::string& head,
                                     const std::optional<Instant>& from) {
    // Complete before the job: the display looks for it as soon as it reads the job.
    Instant start = from.value_or(Instant{});
    start.display = n;
    start.head = head;
    start.sequence = m_session + "-" + std::to_string(++m_instantCount);
    (void)m_exchange.writeInstant(m_exchange.startInstantPath(n), start);
}

bool RunController::isShowRunning() const {
    return std::any_of(m_timers.begin(), m_timers.end(),
                       [](const Timer& timer) { return timer.isEnabled(); });
}

std::optional<UrgentMessage> RunController::urgent() const {
    return m_urgent ? std::optional(m_urgent->message) : std::nullopt;
}

std::string RunController::sayUrgent(UrgentMessage message) {
    if (std::string problem = message.problem(); !problem.empty()) {
        return problem;
    }
    UrgentRun run;
    if (m_urgent) {
        // A new text over the old one: what comes after both stays as it was.
        run = *m_urgent;
    } else {
        run.showWasRunning = isShowRunning();
        run.resumeRow = std::max(track(1).row, 0);
    }
    run.message = std::move(message);
    // The chain waits; what it expected of each display no longer holds.
    switchAllTimersOff();
    clearTracks();
    m_urgent = std::move(run);
    m_view.setUrgent(m_urgent->message);
    for (int n = 1; n <= displayCount; ++n) {
        // A display that shows the text before gets the new one under the other line 1.
        if (m_wall.isPresent(n) && !m_wall.isSilent(n)) {
            sendUrgent(n);
        }
    }
    reportJobWrites();
    refreshCells();
    return {};
}

void RunController::sendUrgent(int n) {
    std::string& head = m_urgent->heads[static_cast<std::size_t>(n)];
    // A display starts a job only when its line 1 changes, and it may not yet have seen that
    // the message before has ended: each copy comes under the other line 1 than the last one.
    std::string& last = m_lastUrgentHeads[static_cast<std::size_t>(n)];
    const std::string first = itemNumberLine(urgentNumber);
    head = last == first ? itemNumberLine(urgentNumber + 1) : first;
    last = head;
    const UrgentMessage& message = m_urgent->message;
    // It starts as it arrives: no instant of another display goes with it.
    writeStartRecord(n, head, std::nullopt);
    writeJob(n, JobLines{head, std::string(vocabulary::kindText), "", m_view.movementText(), "",
                         message.textColour, message.backColour, m_view.speedText(), message.text,
                         ""});
}

void RunController::checkUrgent(int n) {
    if (!m_wall.isPresent(n) || m_wall.isSilent(n)) {
        return;
    }
    const std::string& head = m_urgent->heads[static_cast<std::size_t>(n)];
    if (head.empty()) {
        sendUrgent(n);
        return;
    }
    const Answer end = m_exchange.readAnswer(AnswerKind::End, n);
    if (end.field1 == head && end.isEndWord()) {
        m_wall.noteAnswer(n, m_nowMs);
        std::error_code ignored;
        std::filesystem::remove(m_exchange.answerPath(AnswerKind::End, n), ignored);
        sendUrgent(n);
    }
}

void RunController::endUrgent() {
    if (!m_urgent) {
        return;
    }
    const UrgentRun run = std::move(*m_urgent);
    m_urgent.reset();
    m_view.setUrgent(std::nullopt);
    if (run.showWasRunning) {
        startShow(run.resumeRow, true, &run);
    } else {
        cmdStop_Click();
    }
    refreshCells();
}

void RunController::blankUrgentCopies(const UrgentRun& run) {
    for (int n = 1; n <= displayCount; ++n) {
        if (!run.heads[static_cast<std::size_t>(n)].empty()) {
            writeJob(n, stopJob());
        }
    }
    reportJobWrites();
}

void RunController::itemReached(int n, int row, const JobLines& job, bool chained) {
    Track& t = track(n);
    // The item before should have been past the hand-over point by now. Unreported, it is
    // passed on as well should the display turn out to be gone.
    const bool unreported = t.following && t.row >= 0 && !t.nextSeen && t.due.nextMs &&
                            t.sentAt + *t.due.nextMs <= m_nowMs;
    t.missedRow = unreported ? std::optional<int>(t.row) : std::nullopt;
    t.head = job[jobLine::itemNumber];
    t.resend.reset();
    t.resendFrom.reset();
    t.row = row < m_table.count() ? row : -1;
    t.sentAt = m_nowMs;
    t.due = AnswerDue::of(job);
    t.nextSeen = false;
    t.endSeen = false;
    // A newer item cuts the one before off, on the screen as in what was to come of it.
    t.next.coming.reset();
    t.end.coming.reset();
    t.next.tookItem = false;
    t.end.tookItem = false;
    // In a still show only display 1's answers move the wall.
    t.following = chained && m_wall.isPresent(n);
    if (chained && !t.following && t.row >= 0) {
        expectPassedAnswers(n, !m_wall.isSilent(n));
    }
}

void RunController::expectPassedAnswers(int n, bool atOnce) {
    // An absent display passes its item on as it gets it; a silent one when its answer would
    // have come. Display 1's end answer sets the pace of the list either way.
    Track& t = track(n);
    const std::string head = itemNumberLine(t.row);
    if (!t.nextSeen && (atOnce || t.due.nextMs)) {
        t.next.coming = Answer{head, std::string(nextAnswerWord)};
        t.next.at = atOnce ? m_nowMs : t.sentAt + *t.due.nextMs;
    }
    if (n == 1 && !t.endSeen && t.due.endMs) {
        t.end.coming = Answer{head, std::string(endAnswerWord)};
        t.end.at = t.sentAt + *t.due.endMs;
    }
}

bool RunController::passesOver(int p) const {
    return !track(p).following && m_wall.presentAfter(p);
}

Answer RunController::answerFrom(AnswerKind kind, int p) {
    Track& t = track(p);
    PassedAnswer& passed = kind == AnswerKind::Next ? t.next : t.end;
    if (passed.coming && m_nowMs >= passed.at) {
        passed.shown = std::move(passed.coming);
        passed.coming.reset();
    }
    Answer answer = m_exchange.readAnswer(kind, p);
    // An answer left in place is read at every tick; only a new one is a sign of life.
    Answer& lastRead = kind == AnswerKind::Next ? t.lastNext : t.lastEnd;
    if (answer != lastRead && !answer.isEmpty()) {
        m_wall.noteAnswer(p, m_nowMs);
    }
    lastRead = answer;
    if (!answer.isEmpty() && !m_sentHeads.at(static_cast<std::size_t>(p)).contains(answer.field1)) {
        // No item job of this show went to that display under this line 1, so the display has
        // not reached that row in this show. A row of the list stays where it is, as an answer
        // that does not fit; anything else (an urgent copy's line 1, a number beyond the list)
        // is of no show at all and goes.
        if (!isRowOfTheList(answer.field1)) {
            std::error_code ignored;
            std::filesystem::remove(m_exchange.answerPath(kind, p), ignored);
        }
        answer = {};
    }
    if (!answer.isEmpty()) {
        const bool forItem = answersItem(answer, kind, t.row);
        if (forItem && passed.tookItem) {
            // The item went on without this answer; it would only move the chain twice.
            std::error_code ignored;
            std::filesystem::remove(m_exchange.answerPath(kind, p), ignored);
            answer = {};
        } else if (forItem) {
            (kind == AnswerKind::Next ? t.nextSeen : t.endSeen) = true;
            t.missedRow.reset();
            if (!t.following) {
                // It shows the item it was sent, in step: the chain waits for it again, and
                // its end is due one item's length after its real start.
                t.following = true;
                if (kind == AnswerKind::Next && t.due.nextMs) {
                    t.sentAt = std::max(t.sentAt, m_nowMs - *t.due.nextMs);
                }
                t.next = {};
                t.end = {};
            }
        }
    }
    m_answerFiled = !passesOver(p);
    if (m_answerFiled) {
        return answer;
    }
    if (!answer.isEmpty()) {
        // Not what the chain waits for while the display is passed over.
        std::error_code ignored;
        std::filesystem::remove(m_exchange.answerPath(kind, p), ignored);
    }
    return passed.shown.value_or(Answer{});
}

void RunController::takePassedAnswer(int p, AnswerKind kind) {
    Track& t = track(p);
    PassedAnswer& passed = kind == AnswerKind::Next ? t.next : t.end;
    if (passesOver(p) && passed.shown) {
        passed.tookItem = t.row >= 0 && passed.shown->value() == t.row;
        passed.shown.reset();
    }
}

JobLines RunController::itemJob(int n) const {
    return itemJobOf(m_SendRow.at(static_cast<std::size_t>(n)));
}

JobLines RunController::itemJobOf(int r) const {
    const ItemTable::Row& row = m_table.row(r);
    std::string text = row[ItemTable::textField];
    // A little blank space after a text keeps it apart from the picture that follows it.
    if (row[ItemTable::kindField] == vocabulary::kindText &&
        m_table.row(r + 1)[ItemTable::kindField] == vocabulary::kindPicture) {
        text += ideographicBlanks;
    }
    JobLines lines{itemNumberLine(r),
                   row[ItemTable::kindField],
                   "",
                   m_view.movementText(),
                   "",
                   row[ItemTable::textColourField],
                   row[ItemTable::backColourField],
                   m_view.speedText(),
                   std::move(text),
                   row[ItemTable::pictureField]};
    return lines;
}

WriteStatus RunController::WriteItemJob(int n) {
    const WriteStatus status = writeJob(n, itemJob(n));
    reportJobWrites();
    return status;
}

WriteStatus RunController::WriteStopJob(int n) {
    const WriteStatus status = writeJob(n, stopJob());
    reportJobWrites();
    return status;
}

WriteStatus RunController::WriteEndJob(int n) {
    const WriteStatus status = writeJob(n, endJob());
    reportJobWrites();
    return status;
}

WriteStatus RunController::writeJob(int n, const JobLines& lines) {
    const WriteStatus status = m_exchange.writeJob(n, lines);
    m_jobWrites.at(static_cast<std::size_t>(n)) = status;
    if (status == WriteStatus::Ok && m_jobWritten) {
        m_jobWritten(n, lines[jobLine::itemNumber]);
    }
    return status;
}

void RunController::checkExchangeFolder() {
    std::error_code error;
    const bool missing = !std::filesystem::is_directory(m_exchange.folder(), error);
    if (missing != m_folderMissing) {
        m_folderMissing = missing;
        reportJobWrites();
    }
}

void RunController::reportJobWrites() {
    if (m_folderMissing) {
        // Every write fails for the same reason; the one thing to do comes first.
        if (m_jobWriteProblem != folderMissingText) {
            m_jobWriteProblem = folderMissingText;
            m_view.setJobWriteProblem(m_jobWriteProblem);
        }
        return;
    }
    std::string problem;
    bool headed = false;
    for (const WriteStatus status :
         {WriteStatus::IoError, WriteStatus::LineBreak, WriteStatus::NotShiftJis}) {
        std::vector<int> displays;
        for (int n = 1; n <= displayCount; ++n) {
            if (m_jobWrites[static_cast<std::size_t>(n)] == status) {
                displays.push_back(n);
            }
        }
        if (displays.empty()) {
            continue;
        }
        const std::string computers = "コンピュータ " + displayRanges(displays);
        if (status == WriteStatus::IoError) {
            // The indicator shows one line: what to do comes before which displays.
            problem += folderUnwritableText;
            problem += "（" + computers + "）。";
            continue;
        }
        problem += headed ? "" : "表示プログラムへの指示を書き込めません。";
        headed = true;
        problem += computers + "：";
        problem += writeFailureReason(status);
        problem += "。";
    }
    if (problem != m_jobWriteProblem) {
        m_jobWriteProblem = problem;
        m_view.setJobWriteProblem(m_jobWriteProblem);
    }
}

void RunController::wallTimer_Timer() {
    m_nowMs += wallIntervalMs;
    m_wall.poll(m_nowMs);
    if (m_urgent) {
        const std::optional<std::int64_t> ends = m_urgent->message.endsAtUs;
        if (ends && m_clock.realUs() >= *ends) {
            endUrgent();
        } else {
            for (int n = 1; n <= displayCount; ++n) {
                checkUrgent(n);
            }
            reportJobWrites();
        }
        refreshCells();
        return;
    }
    for (int n = 1; n <= displayCount; ++n) {
        Track& t = track(n);
        if (!t.following) {
            continue;
        }
        if (isOverdue(n)) {
            m_wall.markSilent(n);
        }
        if (m_wall.isSilent(n)) {
            t.following = false;
            // Its item went on already; started again, it would answer it once more.
            t.next.tookItem = t.nextSeen;
            if (t.missedRow) {
                t.next.shown = Answer{itemNumberLine(*t.missedRow), std::string(nextAnswerWord)};
            }
            if (t.row >= 0) {
                expectPassedAnswers(n, false);
            }
        }
    }
    refreshCells();
}

bool RunController::isOverdue(int n) {
    Track& t = track(n);
    const auto missing = [&](AnswerKind kind, const std::optional<std::int64_t>& dueMs,
                             bool& seen) {
        if (seen || !dueMs || m_nowMs <= t.sentAt + *dueMs + DisplayWall::silenceMs) {
            return false;
        }
        // It may wait in its file for a watcher that is not on yet, or for none (display 16).
        seen = answersItem(m_exchange.readAnswer(kind, n), kind, t.row);
        return !seen;
    };
    return missing(AnswerKind::Next, t.due.nextMs, t.nextSeen) ||
           (n == 1 && missing(AnswerKind::End, t.due.endMs, t.endSeen));
}

void RunController::clearTracks() {
    m_track.fill(Track{});
    refreshCells();
}

WallCell RunController::wallCell(int n) const {
    WallCell cell;
    if (m_wall.isSilent(n)) {
        cell.state = WallCell::State::Silent;
        return cell;
    }
    if (!m_wall.isPresent(n)) {
        return cell;
    }
    const int row = track(n).row;
    if (m_urgent && !m_urgent->heads[static_cast<std::size_t>(n)].empty()) {
        cell.state = WallCell::State::Urgent;
    } else if (row >= 0) {
        cell.state = WallCell::State::Showing;
        cell.line = row + 1;
    } else {
        cell.state = WallCell::State::Idle;
    }
    markClock(n, cell);
    // One answer may come before its wake-up is read; a second one without any says more.
    const std::optional<SignOfLife>& life = m_wall.life(n);
    cell.noWakeUps = m_wakeUpsHeard && life && life->port != 0 && m_wall.answersSeen(n) >= 2 &&
                     !m_wakeUpsHeard(n);
    return cell;
}

void RunController::markClock(int n, WallCell& cell) const {
    const std::optional<SignOfLife>& life = m_wall.life(n);
    if (!life || !life->clock || life->clock->isTrusted()) {
        return;
    }
    bool neighbourElsewhere = false;
    for (const int other : {n - 1, n + 1}) {
        if (other >= 1 && other <= displayCount && m_wall.isPresent(other)) {
            const std::optional<SignOfLife>& beside = m_wall.life(other);
            neighbourElsewhere = neighbourElsewhere || (beside && !beside->isSameComputer(*life));
        }
    }
    if (!neighbourElsewhere) {
        return;
    }
    cell.clock =
        life->clock->synchronised ? WallCell::Clock::Imprecise : WallCell::Clock::Unsynchronised;
    cell.clockErrorUs = life->clock->errorUs;
}

void RunController::refreshCells() {
    for (int n = 1; n <= displayCount; ++n) {
        const WallCell cell = wallCell(n);
        WallCell& shown = m_cells[static_cast<std::size_t>(n)];
        if (cell != shown) {
            shown = cell;
            m_view.setWallCell(n, cell);
        }
    }
    if (UrgentReach reach = urgentReach(); reach != m_reach) {
        m_reach = std::move(reach);
        m_view.setUrgentReach(m_reach);
    }
}

UrgentReach RunController::urgentReach() const {
    UrgentReach reach;
    if (!m_urgent) {
        return reach;
    }
    for (int n = 1; n <= displayCount; ++n) {
        const std::string& head = m_urgent->heads[static_cast<std::size_t>(n)];
        if (head.empty()) {
            continue;
        }
        const std::optional<SignOfLife>& life = m_wall.life(n);
        if (!life || !life->job) {
            reach.unconfirmed.push_back(n);
        } else {
            (*life->job == head ? reach.showing : reach.waiting).push_back(n);
        }
    }
    return reach;
}

void RunController::cmdStop_Click() {
    if (m_urgent) {
        m_urgent.reset();
        m_view.setUrgent(std::nullopt);
    }
    m_exchange.make();
    m_exchange.deleteSet(ExchangeSet::EndAnswers);
    m_exchange.deleteSet(ExchangeSet::NextAnswers);
    for (int n = 1; n <= displayCount; ++n) {
        writeJob(n, stopJob());
    }
    switchAllTimersOff();
    // The folder is made again above; whether that worked, the job writes tell.
    m_folderMissing = false;
    reportJobWrites();
    m_view.setShowingVisible(false);
    clearTracks();
}

bool RunController::mnuLMEnd_Click() {
    if (!m_boxes.askYesNo(std::string(endQuestionText), std::string(endQuestionTitle))) {
        return false;
    }
    switchAllTimersOff();
    if (m_urgent) {
        m_urgent.reset();
        m_view.setUrgent(std::nullopt);
    }
    for (int n = 1; n <= displayCount; ++n) {
        writeJob(n, endJob());
    }
    reportJobWrites();
    m_wall.forget();
    clearTracks();
    return true;
}

} // namespace lm
