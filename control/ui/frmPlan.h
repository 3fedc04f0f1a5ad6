#pragma once

#include "WeekPlan.h"

#include <QDialog>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QFormLayout;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimeEdit;
class QVBoxLayout;

namespace lm {

class MessageBoxes;
class PlanWeekGrid;

// The week plan's dialog: the week as a grid of blocks, the dated entries as a list, what runs
// when no entry is in force, and the fields of the chosen entry. It edits a plan value with the
// plan's own checks and saves it to the plan file; whoever follows the plan is told of each
// save.
class frmPlan : public QDialog {
    Q_OBJECT
public:
    // Reads the plan file when it is there; one that cannot be read is said so, and editing
    // starts from an empty plan.
    frmPlan(std::filesystem::path planPath, MessageBoxes& boxes, QWidget* parent = nullptr);

    const WeekPlan& plan() const { return m_plan; }
    // Called with the plan each time it is saved.
    void setOnSaved(std::function<void(const WeekPlan&)> onSaved) {
        m_onSaved = std::move(onSaved);
    }

    void cmdPlanAdd_Click();
    void cmdPlanChange_Click();
    void cmdPlanDelete_Click();
    // True once saved.
    bool cmdPlanSave_Click();
    void cmdPlanOtherwise_Click();
    void grdPlanWeek_Click(int entry);
    void lstPlanDated_Click(int entry);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Kind { None, Weekly, Dated, Otherwise };
    // The entry the fields came from: an index into the weekly or dated entries.
    struct Chosen {
        Kind kind = Kind::None;
        int index = -1;
    };

    void buildControls();
    QVBoxLayout* buildLists();
    void buildWhenRows(QFormLayout& form, QGroupBox* entry);
    void buildRunRows(QFormLayout& form, QGroupBox* entry);
    std::vector<QString> showFiles() const;
    void wireControls();
    void refresh();
    void choose(Chosen chosen);
    Kind kindInFields() const;
    void showKind(Kind kind);
    void showEntry(unsigned days, const PlanHours& hours, const PlanRun& run);
    // The entry the fields describe, or nothing after the operator was told why not.
    std::optional<PlanHours> hoursInFields();
    std::optional<PlanRun> runInFields();
    // Puts the fields' entry in place of the chosen one (or after the others) if the plan keeps
    // to its rule; false after the operator was told why not.
    bool apply(bool replace);
    void warn(const std::string& text);

    std::filesystem::path m_planPath;
    MessageBoxes& m_boxes;
    WeekPlan m_plan;
    Chosen m_chosen;
    bool m_changed = false;
    std::function<void(const WeekPlan&)> m_onSaved;

    QLabel* lblPlanFile = nullptr;
    PlanWeekGrid* grdPlanWeek = nullptr;
    QListWidget* lstPlanDated = nullptr;
    QPushButton* cmdPlanOtherwise = nullptr;
    QRadioButton* optPlanWeekly = nullptr;
    QRadioButton* optPlanDated = nullptr;
    QRadioButton* optPlanOtherwise = nullptr;
    std::array<QCheckBox*, 7> chkPlanDay{};
    QDateEdit* dtpPlanFirst = nullptr;
    QDateEdit* dtpPlanLast = nullptr;
    QCheckBox* chkPlanAllDay = nullptr;
    QTimeEdit* tmPlanFrom = nullptr;
    QTimeEdit* tmPlanTo = nullptr;
    QRadioButton* optPlanBlank = nullptr;
    QRadioButton* optPlanShow = nullptr;
    QComboBox* ComboPlanShow = nullptr;
    QComboBox* ComboPlanMove = nullptr;
    QComboBox* ComboPlanSpeed = nullptr;
    QComboBox* ComboPlanNum = nullptr;
    QCheckBox* chkPlanRepeat = nullptr;
    QPushButton* cmdPlanAdd = nullptr;
    QPushButton* cmdPlanChange = nullptr;
    QPushButton* cmdPlanDelete = nullptr;
    QPushButton* cmdPlanSave = nullptr;
    QPushButton* cmdPlanClose = nullptr;
};

} // namespace lm
