#pragma once

#include "ClockState.h"
#include "ExchangeFolder.h"
#include "Instant.h"
#include "JobLines.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lm {

// This display's side of the Exchange folder: the poll of its job file, the reading of a job and
// the record of the instant it starts at, the two answers with the instant of the next one, and
// the presence file.
class JobPoller {
public:
    // Starts the job just read; false when no whole job could be read.
    using JobStarter = std::function<bool()>;

    // An empty working folder means the process's current directory, asked at every access.
    explicit JobPoller(std::filesystem::path workDir = {});

    void setLMNumber(std::int16_t number) { m_LMNumber = number; }
    // Called when the display starts running: the job file as it stands now was written
    // before, and an end job in it (the end command leaves one there) is not obeyed.
    void noteJobAtStart();
    // Whether the job last read is the file as it stood at the start, not written since.
    bool jobIsFromBeforeStart() const { return m_jobFromBeforeStart; }
    std::int16_t LMNumber() const { return m_LMNumber; }
    void setJobStarter(JobStarter starter) { m_startJob = std::move(starter); }
    // Called with the bare name of each answer written, for the wake-up of the control program.
    void setAnswerWritten(std::function<void(const std::string& name)> written) {
        m_answerWritten = std::move(written);
    }
    // Where this display takes wake-ups, said in its presence file from the next refresh.
    void setWakeUp(int port, std::vector<std::string> addresses) {
        m_wakeUpPort = port;
        m_wakeUpAddresses = std::move(addresses);
    }

    // One poll: a job starts when its line 1 is new or reads -1.
    void Timer3_Timer();
    // Loads all ten lines into LMJobLine. A job that cannot be read whole (missing, or caught
    // while being written) leaves LMJobLine as it was and returns false.
    bool ReadJob();
    // LMStartAt<n>.dat, read just after the job; nothing while it is missing, cut or foreign.
    std::optional<Instant> ReadStartInstant() const;
    // Writes LMNextAt<n>.dat with the tick's scheduled instant (real-time µs) and this
    // computer's clock, then the answer itself.
    void WriteNextAnswer(std::int64_t atUs, const ClockState& clock) const;
    void WriteEndAnswer() const;
    // Tells the control program that this display runs: writes LMAlive<n>.dat anew (a new
    // modification time) with this computer, the process, a beat counted up and the clock's
    // state. A failure waits for the next refresh.
    void WritePresence(const ClockState& clock);

    const JobLines& LMJobLine() const { return m_LMJobLine; }
    const std::string& LastJobHead() const { return m_LastJobHead; }
    // This computer, as its records and presence file name it.
    const std::string& host() const { return m_host; }
    const std::string& bootId() const { return m_bootId; }
    // A picture of the current job: its bare name inside the Exchange folder.
    std::filesystem::path picturePath(const std::string& name) const;

private:
    ExchangeFolder exchange() const;
    void answered(const ExchangeFolder& folder, AnswerKind kind) const;

    std::filesystem::path m_workDir;
    std::string m_host;
    std::string m_bootId;
    std::uint64_t m_beat = 0;
    int m_wakeUpPort = 0;
    std::vector<std::string> m_wakeUpAddresses;
    std::function<void(const std::string&)> m_answerWritten;
    std::int16_t m_LMNumber = 0;
    JobLines m_LMJobLine{};
    std::string m_LastJobHead;
    JobStarter m_startJob;
    // When the job file was last written as the display started; reset once it changes.
    std::optional<std::filesystem::file_time_type> m_writtenBeforeStart;
    bool m_jobFromBeforeStart = false;
};

} // namespace lm
