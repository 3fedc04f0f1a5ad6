#include "RunController.h"

#include "NumberText.h"
#include "PictureCopy.h"
#include "TextRules.h"
#include "ValueCheck.h"
#include "Vocabulary.h"

#include <system_error>
#include <vector>

namespace lm {

namespace {

constexpr std::string_view ideographicBlanks = "　　";
// The caption lblCon gets whenever display 1 is sent an item.
constexpr int computerCaptionNumber = 2;
// Watchers 2, 3 and 4 release a repeated report at once when a still picture follows.
constexpr int lastStillWatcher = 4;

bool isKnownKind(const std::string& kind) {
    return kind == vocabulary::kindText || kind == vocabulary::kindPicture;
}

bool isMovementWord(const std::string& word) {
    return word == vocabulary::moveStill || word == vocabulary::moveLeft;
}

// "1-3, 7" for the displays 1, 2, 3 and 7.
std::string displayRanges(const std::vector<int>& displays) {
    std::string text;
    for (std::size_t i = 0; i < displays.size();) {
        std::size_t j = i;
        while (j + 1 < displays.size() && displays[j + 1] == displays[j] + 1) {
            ++j;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += std::to_string(displays[i]);
        if (j > i) {
            text += "-" + std::to_string(displays[j]);
        }
        i = j + 1;
    }
    return text;
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

} // namespace

RunController::RunController(ItemTable& table, const std::filesystem::path& currentDir,
                             RunView& view, MessageBoxes& boxes)
    : m_table(table), m_exchange(currentDir), m_view(view), m_boxes(boxes) {
    m_timers[0].setHandler([this] { Timer0_Timer(); });
    m_timers[1].setHandler([this] { Timer1_Timer(); });
    for (int n = 2; n < timerCount; ++n) {
        m_timers[static_cast<std::size_t>(n)].setHandler([this, n] { watcherTimer(n); });
    }
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
    switchAllTimersOff();
    if (const std::string problem = startProblem(); !problem.empty()) {
        // Nothing is showing after a refused start, so "表示中" stays hidden.
        m_view.setShowingVisible(false);
        m_boxes.warn(problem, std::string(warningTitle));
        return;
    }
    m_view.setShowingVisible(true);

    m_StartCounter = 0;
    m_SendRow.fill(0);
    m_round.fill(0);
    // Reports left from an earlier show must not hold up this one.
    m_LastStillAnswer.fill(-1);

    m_exchange.deleteSet(ExchangeSet::EndAnswers);
    m_exchange.deleteSet(ExchangeSet::NextAnswers);
    m_exchange.deleteSet(ExchangeSet::Jobs);

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
    const Answer answer = m_exchange.readAnswer(AnswerKind::End, 1);
    const int count = m_table.count();
    const int sent = m_SendRow[1];
    if (sent < 1) {
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
    std::error_code ignored;
    std::filesystem::remove(m_exchange.answerPath(AnswerKind::End, 1), ignored);

    const int count = m_table.count();
    int& sent = m_SendRow[1];
    if (sent < count) {
        writeJob(1, itemJob(1));
        if (m_StillShow) {
            // Display n shows the item n - 1 rows before display 1's, cyclically.
            for (int n = 2; n <= displayCount; ++n) {
                m_SendRow[static_cast<std::size_t>(n)] = (8 * count + 1 - n + sent) % count;
                writeJob(n, itemJob(n));
            }
        }
        reportJobWrites();
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

bool RunController::rowIsStillPicture(int row) const {
    const ItemTable::Row& fields = m_table.row(row);
    return fields[ItemTable::kindField] == vocabulary::kindPicture &&
           fields[ItemTable::movementField] == vocabulary::moveStill;
}

void RunController::watcherTimer(int n) {
    const Answer answer = m_exchange.readAnswer(AnswerKind::Next, n - 1);
    if (answer.isEmpty()) {
        return;
    }
    const double reported = answer.value();
    const int count = m_table.count();
    const auto index = static_cast<std::size_t>(n);
    const int sent = m_SendRow[index];
    // Display n - 1 has begun the list again since display n did. Its reports then belong to
    // the new round, even when their item numbers are below what display n was sent last.
    const bool newerRound = m_round[index - 1] > m_round[index];

    if (sent == count && (reported == 0 || newerRound)) {
        // Display n - 1 has begun the list again after display n had all of it.
        if (m_view.repeatChecked()) {
            m_SendRow[index] = 0;
            ++m_round[index];
        } else {
            m_timers[index].setEnabled(false);
        }
        handOver(n);
        return;
    }
    if (n <= lastStillWatcher && reported == sent - 1 && rowIsStillPicture(sent)) {
        int& last = m_LastStillAnswer[static_cast<std::size_t>(n - 2)];
        if (reported == last) {
            return;
        }
        last = sent - 1;
        handOver(n);
        return;
    }
    // A faster item can overtake a slower one and cut it off on display n - 1 before it was
    // handed on; display n then still lacks the last rows when display n - 1 begins again.
    // It gets them one per report, instead of waiting for reports that never come.
    if (reported >= sent || sent == count + 1 || (newerRound && sent < count)) {
        handOver(n);
    }
}

void RunController::handOver(int n) {
    std::error_code ignored;
    std::filesystem::remove(m_exchange.answerPath(AnswerKind::Next, n - 1), ignored);
    int& row = m_SendRow[static_cast<std::size_t>(n)];
    if (row >= 0 && row <= m_table.count()) {
        WriteItemJob(n);
        ++row;
    }
}

JobLines RunController::itemJob(int n) const {
    const int r = m_SendRow.at(static_cast<std::size_t>(n));
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

void RunController::cmdStop_Click() {
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
}

bool RunController::mnuLMEnd_Click() {
    if (!m_boxes.askYesNo(std::string(endQuestionText), std::string(endQuestionTitle))) {
        return false;
    }
    switchAllTimersOff();
    for (int n = 1; n <= displayCount; ++n) {
        writeJob(n, endJob());
    }
    reportJobWrites();
    return true;
}

} // namespace lm
