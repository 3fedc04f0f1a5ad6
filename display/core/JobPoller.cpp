#include "JobPoller.h"

#include "NumberText.h"
#include "TextRules.h"
#include "ThisComputer.h"

#include <algorithm>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace lm {

namespace {

std::optional<std::filesystem::file_time_type> writeTime(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::file_time_type time = std::filesystem::last_write_time(file, error);
    if (error) {
        return std::nullopt;
    }
    return time;
}

} // namespace

JobPoller::JobPoller(std::filesystem::path workDir)
    : m_workDir(std::move(workDir)), m_host(thisComputer::hostName()),
      m_bootId(thisComputer::bootId()) {}

void JobPoller::noteJobAtStart() {
    m_writtenBeforeStart = writeTime(exchange().jobPath(m_LMNumber));
}

ExchangeFolder JobPoller::exchange() const {
    if (!m_workDir.empty()) {
        return ExchangeFolder(m_workDir);
    }
    std::error_code error;
    std::filesystem::path current = std::filesystem::current_path(error);
    return ExchangeFolder(error ? std::filesystem::path(".") : current);
}

std::filesystem::path JobPoller::picturePath(const std::string& name) const {
    return exchange().folder() / bareName(name);
}

void JobPoller::Timer3_Timer() {
    const JobHead head = exchange().readJobHead(m_LMNumber);
    if (head.status == JobHead::Status::Missing) {
        // The control program deletes job files only at its start, at a show's start and when
        // it closes: whatever job comes next is new, even with a line 1 seen before.
        m_LastJobHead.clear();
        return;
    }
    if (head.status != JobHead::Status::Ok) {
        return;
    }
    if (numericValue(head.line) != -1.0 && head.line == m_LastJobHead) {
        return;
    }
    // Line 1 as the job was read whole: a line 1 caught half-written is not remembered.
    if (m_startJob && m_startJob()) {
        m_LastJobHead = m_LMJobLine[jobLine::itemNumber];
    }
}

bool JobPoller::ReadJob() {
    // A job caught before its last line has ended is not read: line 1 would not change when
    // the rest arrives, and the cut job would stay on the sign.
    const ExchangeFolder folder = exchange();
    // Taken before the reading: a job written in between counts as old for one poll at most.
    const auto written = writeTime(folder.jobPath(m_LMNumber));
    const std::optional<std::vector<std::string>> lines = folder.readJob(m_LMNumber);
    if (!lines || lines->size() < m_LMJobLine.size()) {
        return false;
    }
    std::copy_n(lines->begin(), m_LMJobLine.size(), m_LMJobLine.begin());
    // Every write of the control program gives the file a new time, even with the same bytes.
    m_jobFromBeforeStart = m_writtenBeforeStart && written == m_writtenBeforeStart;
    if (!m_jobFromBeforeStart) {
        m_writtenBeforeStart.reset();
    }
    return true;
}

std::optional<Instant> JobPoller::ReadStartInstant() const {
    const ExchangeFolder folder = exchange();
    return folder.readInstant(folder.startInstantPath(m_LMNumber));
}

void JobPoller::WriteNextAnswer(std::int64_t atUs, const ClockState& clock) const {
    const ExchangeFolder folder = exchange();
    Instant instant;
    instant.display = m_LMNumber;
    instant.head = m_LMJobLine[jobLine::itemNumber];
    instant.atUs = atUs;
    instant.host = m_host;
    instant.bootId = m_bootId;
    instant.clock = clock;
    // Complete before the answer: the control program reads it as soon as it sees the answer.
    (void)folder.writeInstant(folder.nextInstantPath(m_LMNumber), instant);
    // A failed answer is lost without notice; the control program waits for the next one.
    if (folder.writeAnswer(m_LMNumber, AnswerKind::Next, m_LMJobLine[jobLine::itemNumber])) {
        answered(folder, AnswerKind::Next);
    }
}

void JobPoller::WriteEndAnswer() const {
    const ExchangeFolder folder = exchange();
    if (folder.writeAnswer(m_LMNumber, AnswerKind::End, m_LMJobLine[jobLine::itemNumber])) {
        answered(folder, AnswerKind::End);
    }
}

void JobPoller::answered(const ExchangeFolder& folder, AnswerKind kind) const {
    if (m_answerWritten) {
        m_answerWritten(folder.answerPath(kind, m_LMNumber).filename().string());
    }
}

void JobPoller::WritePresence(const ClockState& clock) {
    SignOfLife life;
    life.host = m_host;
    life.bootId = m_bootId;
    life.pid = static_cast<long>(::getpid());
    life.beat = ++m_beat;
    life.clock = clock;
    life.port = m_wakeUpPort;
    life.addresses = m_wakeUpAddresses;
    life.job = m_LastJobHead;
    (void)exchange().writePresence(m_LMNumber, life);
}

} // namespace lm
