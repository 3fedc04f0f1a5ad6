#pragma once

#include "WeekPlan.h"

#include <QRect>
#include <QWidget>
#include <vector>

namespace lm {

// The week of a plan as a grid: a column per day from Monday, a row per hour, and each weekly
// entry as blocks on its days. A span past midnight goes on at the top of the next day's
// column; Sunday's goes on on Monday. A click on a block chooses its entry.
class PlanWeekGrid : public QWidget {
    Q_OBJECT
public:
    explicit PlanWeekGrid(QWidget* parent = nullptr);

    void setEntries(std::vector<WeeklyEntry> entries);
    // The entry drawn as chosen; -1: none.
    void setChosen(int entry);
    int chosen() const { return m_chosen; }

    // Where the entry's blocks are drawn, in the widget.
    std::vector<QRect> blocksOf(int entry) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void entryClicked(int entry);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect dayColumn(int day) const;
    int yOf(int minute) const;

    std::vector<WeeklyEntry> m_entries;
    int m_chosen = -1;
};

} // namespace lm
