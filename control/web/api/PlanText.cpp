#include "PlanText.h"

#include "ApiError.h"
#include "FileNameRule.h"
#include "PlanFile.h"
#include "PlanWords.h"

#include <functional>
#include <system_error>

namespace lm {

namespace planText {

namespace {

bool sameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return std::filesystem::weakly_canonical(a, error) ==
           std::filesystem::weakly_canonical(b, error);
}

void eachRun(WeekPlan& plan, const std::function<void(PlanRun&)>& visit) {
    for (WeeklyEntry& entry : plan.weekly) {
        visit(entry.run);
    }
    for (DatedEntry& entry : plan.dated) {
        visit(entry.run);
    }
    visit(plan.otherwise);
}

} // namespace

std::string of(const WeekPlan& plan, const std::filesystem::path& planFile,
               const std::filesystem::path& showFolder) {
    WeekPlan shown = plan;
    eachRun(shown, [&](PlanRun& run) {
        if (run.blank) {
            return;
        }
        const std::filesystem::path show = planFile::showPath(planFile, run);
        if (sameFolder(show.parent_path(), showFolder)) {
            run.showFile = show.filename().string();
        }
    });
    return planFile::encode(shown);
}

std::vector<std::string> lines(const WeekPlan& plan) {
    std::vector<std::string> lines;
    for (const WeeklyEntry& entry : plan.weekly) {
        lines.push_back(planWords::weekly(entry));
    }
    for (const DatedEntry& entry : plan.dated) {
        lines.push_back(planWords::dated(entry));
    }
    lines.push_back("予定がないとき " + planWords::run(plan.otherwise));
    return lines;
}

WeekPlan from(std::string_view text, const std::filesystem::path& planFile,
              const std::filesystem::path& showFolder) {
    PlanRead read = planFile::parse(text);
    if (!read.plan) {
        throw ApiError(ApiErrorKind::BadValue, read.words(planFile.filename()));
    }
    const bool besideThePlan = sameFolder(planFile.parent_path(), showFolder);
    eachRun(*read.plan, [&](PlanRun& run) {
        if (run.blank) {
            return;
        }
        if (!fileNameRule::problem(run.showFile).empty()) {
            throw ApiError(ApiErrorKind::BadValue,
                           "週の予定のショー「" + run.showFile +
                               "」は、データファイルのフォルダーにあるファイルの名前だけで書いて"
                               "下さい。");
        }
        if (!besideThePlan) {
            run.showFile = (showFolder / run.showFile).string();
        }
    });
    return std::move(*read.plan);
}

} // namespace planText

} // namespace lm
