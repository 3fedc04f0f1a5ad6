#pragma once

#include "WeekPlan.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lm {

// The week plan as the web API shows and takes it: the text of its file (docs/plan.md), with
// the show files of the show folder named by their bare names, since only that folder can be
// reached through the network.
namespace planText {

// The plan file's text; a show in the show folder by its bare name, any other as written.
std::string of(const WeekPlan& plan, const std::filesystem::path& planFile,
               const std::filesystem::path& showFolder);
// Each entry as the plan's dialog lists it: "毎週 土日 22:00〜翌02:00 表示なし", the dated
// ones, then what runs when none is in force.
std::vector<std::string> lines(const WeekPlan& plan);
// The plan in a file's text. Every show must be the bare name of a file of the show folder; it
// is named so that the plan file finds it wherever that lies. Throws ApiError (bad_value) with
// the line and the reason, or with the show that is not a bare name (the operator's words).
WeekPlan from(std::string_view text, const std::filesystem::path& planFile,
              const std::filesystem::path& showFolder);

} // namespace planText

} // namespace lm
