#pragma once

#include "RunView.h"

#include <array>
#include <string>
#include <vector>

namespace lm::test {

// The control window as the run controller sees it: choice texts the test sets, and a record
// of what the controller showed.
class FakeRunView : public RunView {
public:
    std::string movement = "移動しない";
    std::string speed = "中";
    std::string displayCount = "16";
    bool repeat = false;

    bool showingVisible = false;
    std::string computerCaption = "ｺﾝﾋﾟｭｰﾀ";
    std::string lineCaption = "行";
    bool lineCaptionRed = false;
    std::string jobWriteProblem;
    std::vector<std::string> jobWriteProblems; // every change, in order
    std::array<WallCell, 17> cells{};          // index 0 unused

    std::string movementText() const override { return movement; }
    std::string speedText() const override { return speed; }
    std::string displayCountText() const override { return displayCount; }
    bool repeatChecked() const override { return repeat; }

    void setShowingVisible(bool visible) override { showingVisible = visible; }
    void setComputerCaption(const std::string& caption) override { computerCaption = caption; }
    void setLineCaption(const std::string& caption) override { lineCaption = caption; }
    void markStarterStopped() override { lineCaptionRed = true; }
    void setJobWriteProblem(const std::string& problem) override {
        jobWriteProblem = problem;
        jobWriteProblems.push_back(problem);
    }
    void setWallCell(int display, const WallCell& cell) override {
        cells.at(static_cast<std::size_t>(display)) = cell;
    }
    void setUrgent(const std::optional<UrgentMessage>& message) override { urgent = message; }
    void setUrgentReach(const UrgentReach& told) override { reach = told; }

    std::optional<UrgentMessage> urgent;
    UrgentReach reach;
};

} // namespace lm::test
