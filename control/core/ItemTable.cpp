#include "ItemTable.h"

#include <algorithm>

namespace lm {

namespace {
const ItemTable::Row emptyRow{};
}

const ItemTable::Row& ItemTable::row(int r) const {
    if (r < 0 || r >= rowCount) {
        return emptyRow;
    }
    return m_rows[static_cast<std::size_t>(r)];
}

bool ItemTable::setField(int r, std::size_t field, std::string value) {
    if (r < 0 || r >= m_count || field >= static_cast<std::size_t>(fieldCount)) {
        return false;
    }
    m_rows[static_cast<std::size_t>(r)][field] = std::move(value);
    return true;
}

bool ItemTable::append(const Row& row) {
    if (isFull()) {
        return false;
    }
    m_rows[static_cast<std::size_t>(m_count)] = row;
    ++m_count;
    return true;
}

bool ItemTable::remove(int r) {
    if (r < 0 || r >= m_count) {
        return false;
    }
    const auto first = m_rows.begin() + r;
    const auto end = m_rows.begin() + m_count;
    std::move(first + 1, end, first);
    m_rows[static_cast<std::size_t>(m_count - 1)] = Row{};
    --m_count;
    return true;
}

void ItemTable::clear() {
    std::fill(m_rows.begin(), m_rows.begin() + m_count, Row{});
    m_count = 0;
}

} // namespace lm
