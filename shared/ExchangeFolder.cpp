#include "ExchangeFolder.h"

#include "ReplacingFile.h"
#include "Vocabulary.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <tuple>
#include <utility>

namespace lm {

namespace {

constexpr std::string_view folderName = "data";
constexpr std::string_view jobStem = "LMData";
constexpr std::string_view nextStem = "LMPNext";
constexpr std::string_view endStem = "LMPEnd";
constexpr std::string_view presenceStem = "LMAlive";
constexpr std::string_view nextInstantStem = "LMNextAt";
constexpr std::string_view startInstantStem = "LMStartAt";
constexpr std::string_view jobExtension = ".ini";
constexpr std::string_view answerExtension = ".ans";
constexpr std::string_view presenceExtension = ".dat";
constexpr std::string_view controlName = "LMControl.dat";

struct SetPattern {
    std::string_view prefix;
    std::string_view suffix;
};

SetPattern patternOf(ExchangeSet set) {
    switch (set) {
    case ExchangeSet::EndAnswers:
        return {endStem, answerExtension};
    case ExchangeSet::NextAnswers:
        return {nextStem, answerExtension};
    case ExchangeSet::Jobs:
        return {jobStem, jobExtension};
    case ExchangeSet::NextInstants:
        return {nextInstantStem, presenceExtension};
    case ExchangeSet::StartInstants:
        return {startInstantStem, presenceExtension};
    }
    return {};
}

bool matches(std::string_view name, const SetPattern& pattern) {
    return name.size() >= pattern.prefix.size() + pattern.suffix.size() &&
           name.starts_with(pattern.prefix) && name.ends_with(pattern.suffix);
}

// Lower-case ASCII, without trailing dots and blanks: how a case-blind share compares names.
std::string foldedName(std::string_view name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        name.remove_suffix(1);
    }
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return folded;
}

std::string fileName(std::string_view stem, int display, std::string_view extension) {
    std::string name(stem);
    name += std::to_string(display);
    name += extension;
    return name;
}

// The display number between stem and extension, written as fileName writes it.
std::optional<int> displayIn(std::string_view name, std::string_view stem,
                             std::string_view extension) {
    if (name.size() <= stem.size() + extension.size() || !name.starts_with(stem) ||
        !name.ends_with(extension)) {
        return std::nullopt;
    }
    const std::string_view digits =
        name.substr(stem.size(), name.size() - stem.size() - extension.size());
    int display = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), display);
    if (error != std::errc() || end != digits.data() + digits.size() ||
        std::to_string(display) != digits) {
        return std::nullopt;
    }
    return display;
}

} // namespace

ExchangeFolder::ExchangeFolder(std::filesystem::path workDir) : m_workDir(std::move(workDir)) {}

std::filesystem::path ExchangeFolder::folder() const {
    return m_workDir / folderName;
}

std::filesystem::path ExchangeFolder::jobPath(int display) const {
    return folder() / fileName(jobStem, display, jobExtension);
}

std::filesystem::path ExchangeFolder::answerPath(AnswerKind kind, int display) const {
    return folder() /
           fileName(kind == AnswerKind::Next ? nextStem : endStem, display, answerExtension);
}

std::optional<ExchangeFile> ExchangeFolder::fileOf(std::string_view name) {
    using Kind = ExchangeFile::Kind;
    for (const auto& [kind, stem, extension] :
         {std::tuple{Kind::Job, jobStem, jobExtension},
          std::tuple{Kind::NextAnswer, nextStem, answerExtension},
          std::tuple{Kind::EndAnswer, endStem, answerExtension}}) {
        if (const std::optional<int> display = displayIn(name, stem, extension)) {
            return ExchangeFile{kind, *display};
        }
    }
    return std::nullopt;
}

std::filesystem::path ExchangeFolder::presencePath(int display) const {
    return folder() / fileName(presenceStem, display, presenceExtension);
}

void ExchangeFolder::make() const {
    ::mkdir(folder().c_str(), 0775);
}

bool ExchangeFolder::isReservedName(std::string_view name) {
    const std::string folded = foldedName(name);
    const std::array<SetPattern, 6> sets{
        patternOf(ExchangeSet::EndAnswers),    patternOf(ExchangeSet::NextAnswers),
        patternOf(ExchangeSet::Jobs),          patternOf(ExchangeSet::NextInstants),
        patternOf(ExchangeSet::StartInstants), SetPattern{presenceStem, presenceExtension}};
    return ReplacingFile::isTemporaryName(folded) || folded == foldedName(controlName) ||
           std::any_of(sets.begin(), sets.end(), [&](const SetPattern& set) {
               const std::string prefix = foldedName(set.prefix);
               const std::string suffix = foldedName(set.suffix);
               return matches(folded, {prefix, suffix});
           });
}

void ExchangeFolder::deleteSet(ExchangeSet set) const {
    const SetPattern pattern = patternOf(set);
    std::error_code error;
    std::vector<std::filesystem::path> doomed;
    for (std::filesystem::directory_iterator it(folder(), error), end; !error && it != end;
         it.increment(error)) {
        if (matches(it->path().filename().string(), pattern)) {
            doomed.push_back(it->path());
        }
    }
    for (const auto& path : doomed) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
}

WriteStatus ExchangeFolder::writeJob(int display, const JobLines& lines) const {
    return lineFile::write(jobPath(display), std::vector<std::string>(lines.begin(), lines.end()));
}

JobHead ExchangeFolder::readJobHead(int display) const {
    const std::filesystem::path path = jobPath(display);
    const std::optional<std::vector<std::string>> lines = lineFile::read(path, 1);
    if (!lines) {
        std::error_code error;
        const bool exists = std::filesystem::exists(path, error);
        return {(!exists && !error) ? JobHead::Status::Missing : JobHead::Status::Unreadable, {}};
    }
    if (lines->empty()) {
        return {JobHead::Status::Unreadable, {}};
    }
    return {JobHead::Status::Ok, lines->front()};
}

std::optional<std::vector<std::string>> ExchangeFolder::readJob(int display) const {
    // Every line of a job ends with a line end, the last one included. Without it the last
    // line may be caught halfway (a picture name cut short).
    return lineFile::readWholeLines(jobPath(display), std::tuple_size_v<JobLines>);
}

bool ExchangeFolder::writeAnswer(int display, AnswerKind kind, const std::string& jobHead) const {
    std::string line = jobHead;
    line += ',';
    line += kind == AnswerKind::Next ? nextAnswerWord : endAnswerWord;
    return lineFile::write(answerPath(kind, display), {line}) == WriteStatus::Ok;
}

Answer ExchangeFolder::readAnswer(AnswerKind kind, int display) const {
    // A display writes its answer whole, line end included. Caught before the line has ended,
    // the answer may hold part of the item number, which reads as another item.
    const std::optional<std::vector<std::string>> lines =
        lineFile::readWholeLines(answerPath(kind, display), 1);
    if (!lines || lines->empty()) {
        return {};
    }
    return Answer::parse(lines->front());
}

bool ExchangeFolder::touchPresence(int display) const {
    return lineFile::touch(presencePath(display));
}

std::optional<std::filesystem::file_time_type> ExchangeFolder::presenceStamp(int display) const {
    std::error_code error;
    const std::filesystem::file_time_type stamp =
        std::filesystem::last_write_time(presencePath(display), error);
    if (error) {
        return std::nullopt;
    }
    return stamp;
}

void ExchangeFolder::deletePresence() const {
    for (int display = 1; display <= vocabulary::maxDisplays; ++display) {
        std::error_code ignored;
        std::filesystem::remove(presencePath(display), ignored);
    }
}

std::optional<SignOfLife> ExchangeFolder::presenceLife(int display) const {
    const std::optional<std::string> bytes = lineFile::readBytes(presencePath(display));
    return bytes ? SignOfLife::parse(*bytes) : std::nullopt;
}

bool ExchangeFolder::writePresence(int display, const SignOfLife& life) const {
    return lineFile::writeBytes(presencePath(display), life.encode());
}

std::filesystem::path ExchangeFolder::nextInstantPath(int display) const {
    return folder() / fileName(nextInstantStem, display, presenceExtension);
}

std::filesystem::path ExchangeFolder::startInstantPath(int display) const {
    return folder() / fileName(startInstantStem, display, presenceExtension);
}

std::optional<Instant> ExchangeFolder::readInstant(const std::filesystem::path& path) const {
    const std::optional<std::string> bytes = lineFile::readBytes(path);
    return bytes ? Instant::parse(*bytes) : std::nullopt;
}

bool ExchangeFolder::writeInstant(const std::filesystem::path& path, const Instant& instant) const {
    return lineFile::writeBytes(path, instant.encode());
}

std::filesystem::path ExchangeFolder::controlPath() const {
    return folder() / controlName;
}

std::optional<SignOfLife> ExchangeFolder::controlLife() const {
    const std::optional<std::string> bytes = lineFile::readBytes(controlPath());
    return bytes ? SignOfLife::parse(*bytes) : std::nullopt;
}

bool ExchangeFolder::writeControlLife(const SignOfLife& life) const {
    return lineFile::writeBytes(controlPath(), life.encode());
}

} // namespace lm
