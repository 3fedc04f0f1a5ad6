#include "RunController.h"

#include "NumberText.h"
#include "PictureCopy.h"
#include "StartCheck.h"
#include "TextRules.h"
#include "Vocabulary.h"

#include <algorithm>
#include <system_error>

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

} // namespace

RunController::RunController(ItemTable& table, const std::filesystem::path& currentDir,
                             RunView& view)
    : m_table(table), m_exchange(currentDir), m_view(view) {
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

std::string RunController::cmdDisplay_Click() {
    std::string problem =
        showStartProblem(m_table, m_view.movementText(), m_view.speedText(), m_exchange);
    if (!problem.empty()) {
        refuseStart();
        return problem;
    }
    startShow(0);
    return {};
}

void RunController::refuseStart() {
    switchAllTimersOff();
    // Nothing is showing after a refused start, so "表示中" stays hidden.
    m_view.setShowingVisible(false);
}

void RunController::startShow(int fromRow, const std::vector<int>& blank) {
    switchAllTimersOff();
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
    m_jobs.forgetFailures();

    m_exchange.deleteSet(ExchangeSet::EndAnswers);
    m_exchange.deleteSet(ExchangeSet::NextAnswers);
    m_exchange.deleteSet(ExchangeSet::Jobs);
    m_exchange.deleteSet(ExchangeSet::NextInstants);
    m_exchange.deleteSet(ExchangeSet::StartInstants);
    for (std::set<std::string>& heads : m_sentHeads) {
        heads.clear();
    }
    for (const int n : blank) {
        m_jobs.write(n, stopJob());
    }
    m_jobs.report();

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
    m_jobs.checkFolder();
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
        m_jobs.report();
        m_view.wallChanged();
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
        m_jobs.report();
        m_view.wallChanged();
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
        // Again the report of a row display n has had (display n - 1 was started again), or
        // display n - 1 has begun the list again after display n had all of it.
        if (!newerRound || reported == 0 || ofNewerRound) {
            beginAgain(n, ofNewerRound ? *row : 0);
            handOver(n, filed);
        }
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

void RunController::beginAgain(int n, int row) {
    const auto index = static_cast<std::size_t>(n);
    if (m_view.repeatChecked()) {
        m_SendRow[index] = row;
        ++m_round[index];
    } else {
        m_timers[index].setEnabled(false);
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
            m_jobs.report();
            m_view.wallChanged();
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
        m_jobs.writeStartRecord(n, job[jobLine::itemNumber], from);
    }
    m_sentHeads.at(static_cast<std::size_t>(n)).insert(job[jobLine::itemNumber]);
    m_jobs.write(n, job);
    itemReached(n, row, job, chained);
}

bool RunController::isShowRunning() const {
    return std::any_of(m_timers.begin(), m_timers.end(),
                       [](const Timer& timer) { return timer.isEnabled(); });
}

int RunController::pause() {
    switchAllTimersOff();
    const int row = std::max(track(1).row, 0);
    // What the chain expected of each display no longer holds.
    clearTracks();
    return row;
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
    Answer answer = filedAnswer(kind, p);
    if (!answer.isEmpty() && answersItem(answer, kind, t.row)) {
        if (passed.tookItem) {
            // The item went on without this answer; it would only move the chain twice.
            std::error_code ignored;
            std::filesystem::remove(m_exchange.answerPath(kind, p), ignored);
            answer = {};
        } else {
            answerSeen(kind, p);
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

Answer RunController::filedAnswer(AnswerKind kind, int p) {
    Track& t = track(p);
    Answer answer = m_exchange.readAnswer(kind, p);
    // An answer left in place is read at every tick; only a new one is a sign of life.
    Answer& lastRead = kind == AnswerKind::Next ? t.lastNext : t.lastEnd;
    if (answer != lastRead && !answer.isEmpty()) {
        m_wall.noteAnswer(p, m_nowMs);
    }
    lastRead = answer;
    if (answer.isEmpty() || m_sentHeads.at(static_cast<std::size_t>(p)).contains(answer.field1)) {
        return answer;
    }
    // No item job of this show went to that display under this line 1, so the display has not
    // reached that row in this show. A row of the list stays where it is, as an answer that
    // does not fit; anything else (an urgent copy's line 1, a number beyond the list) is of no
    // show at all and goes.
    if (!isRowOfTheList(answer.field1)) {
        std::error_code ignored;
        std::filesystem::remove(m_exchange.answerPath(kind, p), ignored);
    }
    return {};
}

void RunController::answerSeen(AnswerKind kind, int p) {
    Track& t = track(p);
    (kind == AnswerKind::Next ? t.nextSeen : t.endSeen) = true;
    t.missedRow.reset();
    if (t.following) {
        return;
    }
    // It shows the item it was sent, in step: the chain waits for it again, and its end is due
    // one item's length after its real start.
    t.following = true;
    if (kind == AnswerKind::Next && t.due.nextMs) {
        t.sentAt = std::max(t.sentAt, m_nowMs - *t.due.nextMs);
    }
    t.next = {};
    t.end = {};
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
    const WriteStatus status = m_jobs.write(n, itemJob(n));
    m_jobs.report();
    return status;
}

WriteStatus RunController::WriteStopJob(int n) {
    const WriteStatus status = m_jobs.write(n, stopJob());
    m_jobs.report();
    return status;
}

WriteStatus RunController::WriteEndJob(int n) {
    const WriteStatus status = m_jobs.write(n, endJob());
    m_jobs.report();
    return status;
}

void RunController::wallTimer_Timer() {
    m_nowMs += wallIntervalMs;
    m_wall.poll(m_nowMs);
    for (int n = 1; n <= displayCount; ++n) {
        if (track(n).following && isOverdue(n)) {
            m_wall.markSilent(n);
        }
        if (track(n).following && m_wall.isSilent(n)) {
            fallSilent(n);
        }
    }
    m_view.wallChanged();
}

void RunController::fallSilent(int n) {
    Track& t = track(n);
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
    m_view.wallChanged();
}

void RunController::cmdStop_Click() {
    m_exchange.make();
    m_exchange.deleteSet(ExchangeSet::EndAnswers);
    m_exchange.deleteSet(ExchangeSet::NextAnswers);
    for (int n = 1; n <= displayCount; ++n) {
        m_jobs.write(n, stopJob());
    }
    switchAllTimersOff();
    // The folder is made again above; whether that worked, the job writes tell.
    m_jobs.folderMade();
    m_jobs.report();
    m_view.setShowingVisible(false);
    clearTracks();
}

void RunController::endDisplays() {
    switchAllTimersOff();
    for (int n = 1; n <= displayCount; ++n) {
        m_jobs.write(n, endJob());
    }
    m_jobs.report();
    m_wall.forget();
    clearTracks();
}

} // namespace lm
