#pragma once

#include "ExchangeFolder.h"
#include "Instant.h"
#include "JobLines.h"
#include "LineFile.h"
#include "Vocabulary.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// The job files of the displays, and what the window's job-write indicator says of them.
//
// Job files that cannot be written (the Exchange folder is missing or refuses them, or a value
// cannot be carried) never stop a show and never raise a message box: the indicator names the
// displays concerned, and clears as soon as every display's last job was written again. A show
// also stands still without a word when the Exchange folder goes away (no answer can arrive,
// so nothing is written): the indicator says so until the folder is back.
class JobWriter {
public:
    // The indicator's texts for a missing or unwritable Exchange folder: what to do.
    static constexpr std::string_view folderMissingText =
        "data フォルダーがありません。戻して、表示させ直して下さい。";
    static constexpr std::string_view folderUnwritableText =
        "data フォルダーに書き込めません。直して「表示を止める」を押して下さい";

    // Called after each job file written whole, with the display number and the job's line 1.
    using Written = std::function<void(int display, const std::string& head)>;
    // Called when the indicator's text changes (empty: all is well).
    using ProblemChanged = std::function<void(const std::string& problem)>;

    explicit JobWriter(const ExchangeFolder& exchange);

    void setWritten(Written written) { m_written = std::move(written); }
    void setProblemChanged(ProblemChanged changed) { m_problemChanged = std::move(changed); }

    // Writes the job and records how it went; report() then tells the indicator once.
    WriteStatus write(int display, const JobLines& lines);
    // The instant display `display` is to start the job with line 1 `head` at (none: as it
    // arrives), written before the job.
    void writeStartRecord(int display, const std::string& head, const std::optional<Instant>& from);
    // Tells the indicator what the writes since the last report came to.
    void report();
    // A new show: the failures of the one before say nothing of it.
    void forgetFailures();
    // Looks for the Exchange folder, and tells the indicator when it went or came back.
    void checkFolder();
    // The folder was made again: whether that worked, the next writes tell.
    void folderMade();
    // A problem of the show itself, said on the indicator until the next report changes it.
    void tell(const std::string& problem);
    const std::string& problem() const { return m_problem; }

private:
    void show(std::string problem);

    const ExchangeFolder& m_exchange;
    Written m_written;
    ProblemChanged m_problemChanged;
    // How the last write to each display went (index 0 unused).
    std::array<WriteStatus, vocabulary::maxDisplays + 1> m_statuses{};
    std::string m_problem;
    bool m_folderMissing = false;
    // Names this run of the program in every instant record, with a count of them.
    std::string m_session;
    std::uint64_t m_instantCount = 0;
};

} // namespace lm
