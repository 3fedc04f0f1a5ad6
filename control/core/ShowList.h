#pragma once

#include "ExchangeFolder.h"
#include "ItemTable.h"

#include <optional>
#include <string>
#include <vector>

namespace lm {

// A new item as the entry controls give it.
struct ItemEntry {
    std::string text;        // Text1
    std::string movement;    // ComboTMove
    std::string textColour;  // ComboTForeColor
    std::string backColour;  // ComboTBackColor
    std::string speed;       // ComboTSpeed
    std::string picturePath; // PicturePath(0): empty for a text item
};

// The show list: the item table and the lines of List1, kept in step.
//
// Line i of List1 describes row rowOfLine(i). Rows of an unknown kind (only a show file brings
// them in) have no line, so line and row numbers can differ; the mapping makes a line always
// act on the item it describes. The window mirrors lines() in List1 and runs the stop command
// before every change. A show start that reduces picture paths to bare names leaves every line
// as it is, since lines show bare names anyway.
class ShowList {
public:
    static constexpr std::string_view warningTitle = "注意！";

    struct AddResult {
        enum class Status {
            Added,
            Full,       // 101 items already: nothing is added, and nothing is said
            Refused,    // a value cannot be carried: nothing is added; warning says why
            NoSuchLine, // a change of a line List1 does not have
        };
        Status status = Status::Added;
        // The new line of List1; none when nothing was added.
        std::optional<std::string> line;
        // Refused: why. Added: set when the item's picture is not in the Exchange folder, so the
        // item would show an empty picture; the item is added all the same.
        std::string warning;
    };

    ShowList(ItemTable& table, const ExchangeFolder& exchange);
    ShowList(const ShowList&) = delete;
    ShowList& operator=(const ShowList&) = delete;

    const ItemTable& table() const { return m_table; }
    int count() const { return m_table.count(); }
    const std::vector<std::string>& lines() const { return m_lines; }
    // The row line `line` describes, or -1 when List1 has no such line.
    int rowOfLine(int line) const;

    // Why the entry cannot become an item: a warning that names the field, or empty. Every
    // value that goes into a job file or a show file is checked.
    static std::string entryProblem(const ItemEntry& entry);
    // The row an entry becomes: a picture item when a picture is chosen, else a text item;
    // the picture field holds the bare file name.
    static ItemTable::Row rowOf(const ItemEntry& entry);

    // Adding an item ("リストに追加", after the stop): checks the values and the picture,
    // copies the picture into the Exchange folder under its bare name, and appends the row and
    // its line.
    AddResult add(const ItemEntry& entry);

    // The item line `line` describes takes the entry's values, with the same checks and
    // picture copy as an added item; its reserved fields stay.
    AddResult change(int line, const ItemEntry& entry);

    // Appends a row as it stands, and its line when its kind is known (a show file's item).
    // False when the list is full.
    bool appendRow(const ItemTable::Row& row);

    // Deletes the item that line `line` describes ("選択行削除"); false when there is no such line.
    bool removeLine(int line);

    // Empties the whole list ("すべて削除", and before a show file is loaded).
    void clear();

private:
    // Checks the entry and copies its picture; false (result says why) when it is refused.
    bool prepare(const ItemEntry& entry, AddResult& result) const;

    ItemTable& m_table;
    const ExchangeFolder& m_exchange;
    std::vector<std::string> m_lines;
    std::vector<int> m_lineRows;
};

} // namespace lm
