#pragma once

#include <array>
#include <string>

namespace lm {

// The show list: 101 rows of 11 text fields, and the number of rows in use.
// Every row from the item count up to the last row holds eleven empty fields; the run
// controller relies on it when it sends the row after the last item.
class ItemTable {
public:
    static constexpr int rowCount = 101;
    static constexpr int fieldCount = 11;
    using Row = std::array<std::string, fieldCount>;

    // Field numbers of a row.
    static constexpr std::size_t kindField = 0;
    static constexpr std::size_t textField = 1;
    static constexpr std::size_t movementField = 2;
    static constexpr std::size_t textColourField = 3;
    static constexpr std::size_t backColourField = 4;
    static constexpr std::size_t speedField = 5;
    static constexpr std::size_t pictureField = 6;

    int count() const { return m_count; }
    bool isFull() const { return m_count >= rowCount; }

    // A row outside the table reads as a row of empty fields.
    const Row& row(int r) const;
    // Sets one field of a row in use; false (and no change) outside the rows in use.
    bool setField(int r, std::size_t field, std::string value);

    // Appends a row after the last item; false when the table is full.
    bool append(const Row& row);
    // Removes row r and moves every later row up by one; false when r is not in use.
    bool remove(int r);
    // Empties every row in use and sets the count to 0.
    void clear();

private:
    // Strings start empty by themselves; an explicit {} here crashes clang 14 in C++20 mode.
    std::array<Row, rowCount> m_rows;
    int m_count = 0;
};

} // namespace lm
