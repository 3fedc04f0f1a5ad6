#pragma once

#include "RunController.h"
#include "RunView.h"
#include "WallCells.h"

#include <array>
#include <string>
#include <vector>

namespace lm::test {

// The control window as the run controller sees it: choice texts the test sets, and a record
// of what the controller showed. Once it watches a controller, it also keeps the cells of the
// wall and the job-write indicator as the controller leaves them.
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

    void watch(RunController& chain) {
        m_chain = &chain;
        chain.jobs().setProblemChanged([this](const std::string& problem) {
            jobWriteProblem = problem;
            jobWriteProblems.push_back(problem);
        });
    }

    std::string movementText() const override { return movement; }
    std::string speedText() const override { return speed; }
    std::string displayCountText() const override { return displayCount; }
    bool repeatChecked() const override { return repeat; }

    void setShowingVisible(bool visible) override { showingVisible = visible; }
    void setComputerCaption(const std::string& caption) override { computerCaption = caption; }
    void setLineCaption(const std::string& caption) override { lineCaption = caption; }
    void markStarterStopped() override { lineCaptionRed = true; }
    void wallChanged() override {
        if (m_chain == nullptr) {
            return;
        }
        for (int n = 1; n <= RunController::displayCount; ++n) {
            const WallCell cell = wallCellOf(n, m_chain->wall(), m_chain->rowOn(n), false, {});
            if (cell != cells.at(static_cast<std::size_t>(n))) {
                setWallCell(n, cell);
            }
        }
    }
    virtual void setWallCell(int display, const WallCell& cell) {
        cells.at(static_cast<std::size_t>(display)) = cell;
    }

private:
    const RunController* m_chain = nullptr;
};

} // namespace lm::test
