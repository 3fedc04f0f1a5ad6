#include "PlanWeekGrid.h"

#include "JapaneseFont.h"
#include "PlanWords.h"

#include <QMouseEvent>
#include <QPainter>
#include <array>

namespace lm {

namespace {

constexpr int hourColumn = 40; // px, the hours' labels
constexpr int headerRow = 22;  // px, the days' names

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Soft colours that black text reads on, one per entry in turn.
QColor entryColour(int entry) {
    static constexpr std::array<QRgb, 6> colours{0xA8D8EA, 0xF6C89F, 0xB8E0A8,
                                                 0xE3B7E8, 0xF3E39B, 0x9FD3C7};
    return QColor(colours[static_cast<std::size_t>(entry) % colours.size()]);
}

} // namespace

PlanWeekGrid::PlanWeekGrid(QWidget* parent) : QWidget(parent) {
    setFont(JapaneseFont::gothic(9));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PlanWeekGrid::setEntries(std::vector<WeeklyEntry> entries) {
    m_entries = std::move(entries);
    if (m_chosen >= static_cast<int>(m_entries.size())) {
        m_chosen = -1;
    }
    update();
}

void PlanWeekGrid::setChosen(int entry) {
    m_chosen = entry;
    update();
}

QSize PlanWeekGrid::sizeHint() const {
    return {hourColumn + 7 * 96, headerRow + 24 * 20};
}

QSize PlanWeekGrid::minimumSizeHint() const {
    return {hourColumn + 7 * 48, headerRow + 24 * 12};
}

QRect PlanWeekGrid::dayColumn(int day) const {
    const int width = (this->width() - hourColumn - 1) / 7;
    return {hourColumn + day * width, headerRow, width, height() - headerRow - 1};
}

int PlanWeekGrid::yOf(int minute) const {
    return headerRow + static_cast<int>(static_cast<long long>(height() - headerRow - 1) * minute /
                                        minutesPerDay);
}

std::vector<QRect> PlanWeekGrid::blocksOf(int entry) const {
    std::vector<QRect> blocks;
    if (entry < 0 || entry >= static_cast<int>(m_entries.size())) {
        return blocks;
    }
    const WeeklyEntry& weekly = m_entries[static_cast<std::size_t>(entry)];
    const auto block = [&](int day, int from, int to) {
        const QRect column = dayColumn(day);
        blocks.emplace_back(QPoint(column.left() + 2, yOf(from)),
                            QPoint(column.right() - 2, yOf(to) - 1));
    };
    for (int day = 0; day < 7; ++day) {
        if ((weekly.days & planDays::bit(day)) == 0) {
            continue;
        }
        if (weekly.hours.pastMidnight()) {
            block(day, weekly.hours.from, minutesPerDay);
            block((day + 1) % 7, 0, weekly.hours.to);
        } else {
            block(day, weekly.hours.from, weekly.hours.to);
        }
    }
    return blocks;
}

void PlanWeekGrid::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().color(QPalette::Mid));
    for (int hour = 0; hour <= 24; ++hour) {
        const int y = yOf(hour * 60);
        painter.setPen(hour % 6 == 0 ? palette().color(QPalette::Dark)
                                     : palette().color(QPalette::Midlight));
        painter.drawLine(hourColumn, y, width() - 1, y);
        if (hour % 3 == 0 && hour < 24) {
            painter.setPen(palette().color(QPalette::Text));
            painter.drawText(QRect(0, y, hourColumn - 4, 16), Qt::AlignRight | Qt::AlignTop,
                             QStringLiteral("%1:00").arg(hour));
        }
    }
    for (int day = 0; day < 7; ++day) {
        const QRect column = dayColumn(day);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(column.topLeft(), column.bottomLeft());
        painter.drawLine(column.topRight() + QPoint(1, 0), column.bottomRight() + QPoint(1, 0));
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(column.left(), 0, column.width(), headerRow), Qt::AlignCenter,
                         qs(planWords::dayNames[static_cast<std::size_t>(day)]));
    }
    for (int entry = 0; entry < static_cast<int>(m_entries.size()); ++entry) {
        const WeeklyEntry& weekly = m_entries[static_cast<std::size_t>(entry)];
        const QString name = qs(planWords::run(weekly.run));
        const QString hours = qs(planWords::hours(weekly.hours));
        for (const QRect& block : blocksOf(entry)) {
            // A blank entry is grey: the displays stand still then.
            painter.fillRect(block, weekly.run.blank ? QColor(0xD0D0D0) : entryColour(entry));
            painter.setPen(entry == m_chosen ? QPen(QColor(0xC00000), 3) : QPen(Qt::black, 1));
            painter.drawRect(block.adjusted(0, 0, -1, -1));
            // The show's name, then its hours, each cut short to the block's width.
            painter.setPen(Qt::black);
            const QRect text = block.adjusted(3, 2, -3, -2);
            const int line = painter.fontMetrics().height();
            painter.save();
            painter.setClipRect(text);
            painter.drawText(text.topLeft() + QPoint(0, painter.fontMetrics().ascent()),
                             painter.fontMetrics().elidedText(name, Qt::ElideRight, text.width()));
            if (text.height() >= 2 * line) {
                painter.drawText(
                    text.topLeft() + QPoint(0, line + painter.fontMetrics().ascent()),
                    painter.fontMetrics().elidedText(hours, Qt::ElideRight, text.width()));
            }
            painter.restore();
        }
    }
}

void PlanWeekGrid::mouseReleaseEvent(QMouseEvent* event) {
    for (int entry = 0; entry < static_cast<int>(m_entries.size()); ++entry) {
        for (const QRect& block : blocksOf(entry)) {
            if (block.contains(event->position().toPoint())) {
                emit entryClicked(entry);
                return;
            }
        }
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace lm
