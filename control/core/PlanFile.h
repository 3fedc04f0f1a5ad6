#pragma once

#include "WeekPlan.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// What came of reading a plan: the plan, or the line at fault and why, in the operator's words.
struct PlanRead {
    std::optional<WeekPlan> plan;
    int line = 0; // from 1; 0: the file as a whole
    std::string reason;

    // "週の予定「plan.txt」の 12 行目：…".
    std::string words(const std::filesystem::path& path) const;
};

// Plan files: the program's own UTF-8 text, written by the dialog or by hand (docs/plan.md).
// A header line, then one section per entry ([weekly], [dated], [otherwise]) of
// "key = value" lines; "#" starts a comment line.
namespace planFile {

inline constexpr std::string_view header = "lmsign-plan";
inline constexpr int version = 1;

PlanRead parse(std::string_view bytes);
PlanRead read(const std::filesystem::path& path);

std::string encode(const WeekPlan& plan);
// Replaces the file whole. Refused, with the words for the operator, when two entries of a kind
// overlap, when a value would not read back as it is, or when the file cannot be written;
// empty once written.
std::string write(const std::filesystem::path& path, const WeekPlan& plan);

// The show file an entry runs: a relative name is taken from the plan file's folder.
std::filesystem::path showPath(const std::filesystem::path& planPath, const PlanRun& run);

} // namespace planFile
} // namespace lm
