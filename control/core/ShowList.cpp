#include "ShowList.h"

#include "DescriptionLine.h"
#include "PictureCopy.h"
#include "TextRules.h"
#include "ValueCheck.h"
#include "Vocabulary.h"

#include <system_error>
#include <utility>

namespace lm {

ShowList::ShowList(ItemTable& table, const ExchangeFolder& exchange)
    : m_table(table), m_exchange(exchange) {
    // The table may already hold items; give each of them its line.
    for (int r = 0; r < m_table.count(); ++r) {
        if (auto line = descriptionLine(m_table.row(r))) {
            m_lines.push_back(std::move(*line));
            m_lineRows.push_back(r);
        }
    }
}

int ShowList::rowOfLine(int line) const {
    if (line < 0 || line >= static_cast<int>(m_lineRows.size())) {
        return -1;
    }
    return m_lineRows[static_cast<std::size_t>(line)];
}

std::string ShowList::entryProblem(const ItemEntry& entry) {
    const std::pair<std::string_view, std::string> values[] = {
        {fieldLabel::text, entry.text},
        {fieldLabel::textColour, entry.textColour},
        {fieldLabel::backColour, entry.backColour},
        {fieldLabel::speed, entry.speed},
        {fieldLabel::movement, entry.movement},
        {fieldLabel::picture, bareName(entry.picturePath)}};
    for (const auto& [label, value] : values) {
        if (std::string warning = valueProblemWarning(label, value); !warning.empty()) {
            return warning;
        }
    }
    return {};
}

ItemTable::Row ShowList::rowOf(const ItemEntry& entry) {
    ItemTable::Row row{};
    const bool picture = !entry.picturePath.empty();
    row[ItemTable::kindField] = picture ? vocabulary::kindPicture : vocabulary::kindText;
    row[ItemTable::textField] = entry.text;
    row[ItemTable::movementField] = entry.movement;
    row[ItemTable::textColourField] = entry.textColour;
    row[ItemTable::backColourField] = entry.backColour;
    row[ItemTable::speedField] = entry.speed;
    row[ItemTable::pictureField] = picture ? bareName(entry.picturePath) : std::string();
    return row;
}

ShowList::AddResult ShowList::add(const ItemEntry& entry) {
    AddResult result;
    if (m_table.isFull()) {
        result.status = AddResult::Status::Full;
        return result;
    }
    if (!prepare(entry, result)) {
        return result;
    }
    const std::size_t linesBefore = m_lines.size();
    appendRow(rowOf(entry));
    if (m_lines.size() > linesBefore) {
        result.line = m_lines.back();
    }
    return result;
}

ShowList::AddResult ShowList::change(int line, const ItemEntry& entry) {
    AddResult result;
    const int r = rowOfLine(line);
    if (r < 0) {
        result.status = AddResult::Status::NoSuchLine;
        return result;
    }
    if (!prepare(entry, result)) {
        return result;
    }
    ItemTable::Row row = rowOf(entry);
    // The reserved fields are not the entry's: a show file's values there stay.
    for (std::size_t field = ItemTable::pictureField + 1; field < row.size(); ++field) {
        row[field] = m_table.row(r)[field];
    }
    for (std::size_t field = 0; field < row.size(); ++field) {
        m_table.setField(r, field, row[field]);
    }
    m_lines[static_cast<std::size_t>(line)] = descriptionLine(row).value_or(std::string());
    result.line = m_lines[static_cast<std::size_t>(line)];
    return result;
}

bool ShowList::prepare(const ItemEntry& entry, AddResult& result) const {
    std::string problem = entryProblem(entry);
    if (problem.empty() && !entry.picturePath.empty()) {
        problem = pictureProblemWarning(entry.picturePath, m_exchange);
    }
    if (!problem.empty()) {
        result.status = AddResult::Status::Refused;
        result.warning = std::move(problem);
        return false;
    }
    if (entry.picturePath.empty()) {
        return true;
    }
    // A picture item selected in the list and added again names a file that is already there;
    // its copy fails quietly and the item uses that file.
    copyPictureIntoExchange(entry.picturePath, m_exchange);
    const std::string name = bareName(entry.picturePath);
    std::error_code error;
    if (!std::filesystem::is_regular_file(m_exchange.folder() / name, error)) {
        result.warning = "画像ファイル「" + name +
                         "」を data フォルダーにコピーできませんでした。この項目の画像は"
                         "表示されません。";
    }
    return true;
}

bool ShowList::appendRow(const ItemTable::Row& row) {
    const int r = m_table.count();
    if (!m_table.append(row)) {
        return false;
    }
    if (auto line = descriptionLine(row)) {
        m_lines.push_back(std::move(*line));
        m_lineRows.push_back(r);
    }
    return true;
}

bool ShowList::removeLine(int line) {
    const int r = rowOfLine(line);
    if (r < 0 || !m_table.remove(r)) {
        return false;
    }
    const auto index = static_cast<std::ptrdiff_t>(line);
    m_lines.erase(m_lines.begin() + index);
    m_lineRows.erase(m_lineRows.begin() + index);
    for (int& row : m_lineRows) {
        if (row > r) {
            --row;
        }
    }
    return true;
}

void ShowList::clear() {
    m_table.clear();
    m_lines.clear();
    m_lineRows.clear();
}

} // namespace lm
