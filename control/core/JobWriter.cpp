#include "JobWriter.h"

#include "DisplayRanges.h"

#include <array>
#include <charconv>
#include <random>
#include <system_error>
#include <vector>

namespace lm {

namespace {

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

JobWriter::JobWriter(const ExchangeFolder& exchange)
    : m_exchange(exchange), m_session(newSession()) {}

WriteStatus JobWriter::write(int display, const JobLines& lines) {
    const WriteStatus status = m_exchange.writeJob(display, lines);
    m_statuses.at(static_cast<std::size_t>(display)) = status;
    if (status == WriteStatus::Ok && m_written) {
        m_written(display, lines[jobLine::itemNumber]);
    }
    return status;
}

void JobWriter::writeStartRecord(int display, const std::string& head,
                                 const std::optional<Instant>& from) {
    // Complete before the job: the display looks for it as soon as it reads the job.
    Instant start = from.value_or(Instant{});
    start.display = display;
    start.head = head;
    start.sequence = m_session + "-" + std::to_string(++m_instantCount);
    (void)m_exchange.writeInstant(m_exchange.startInstantPath(display), start);
}

void JobWriter::forgetFailures() {
    m_statuses.fill(WriteStatus::Ok);
    report();
}

void JobWriter::checkFolder() {
    std::error_code error;
    const bool missing = !std::filesystem::is_directory(m_exchange.folder(), error);
    if (missing != m_folderMissing) {
        m_folderMissing = missing;
        report();
    }
}

void JobWriter::folderMade() {
    m_folderMissing = false;
}

void JobWriter::tell(const std::string& problem) {
    show(problem);
}

void JobWriter::report() {
    if (m_folderMissing) {
        // Every write fails for the same reason; the one thing to do comes first.
        show(std::string(folderMissingText));
        return;
    }
    std::string problem;
    bool headed = false;
    for (const WriteStatus status :
         {WriteStatus::IoError, WriteStatus::LineBreak, WriteStatus::NotShiftJis}) {
        std::vector<int> displays;
        for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
            if (m_statuses[static_cast<std::size_t>(n)] == status) {
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
    show(std::move(problem));
}

void JobWriter::show(std::string problem) {
    if (problem == m_problem) {
        return;
    }
    m_problem = std::move(problem);
    if (m_problemChanged) {
        m_problemChanged(m_problem);
    }
}

} // namespace lm
