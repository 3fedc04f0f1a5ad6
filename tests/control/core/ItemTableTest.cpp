#include "ItemTable.h"

#include "TestRows.h"

#include <gtest/gtest.h>

namespace lm {
namespace {

using test::rowsFromCountAreEmpty;
using test::textRow;

TEST(ItemTable, HoldsAtMost101Items) {
    ItemTable table;
    for (int i = 0; i < ItemTable::rowCount; ++i) {
        ASSERT_TRUE(table.append(textRow(std::to_string(i))));
    }
    EXPECT_TRUE(table.isFull());
    EXPECT_FALSE(table.append(textRow("one too many")));
    EXPECT_EQ(table.count(), 101);
    EXPECT_EQ(table.row(100)[ItemTable::textField], "100");
}

class ItemTableRemove : public ::testing::TestWithParam<int> {};

TEST_P(ItemTableRemove, MovesLaterRowsUpAndEmptiesTheLastRow) {
    ItemTable table;
    for (int i = 0; i < ItemTable::rowCount; ++i) {
        table.append(textRow(std::to_string(i)));
    }
    const int removed = GetParam();
    ASSERT_TRUE(table.remove(removed));
    EXPECT_EQ(table.count(), 100);
    for (int r = 0; r < 100; ++r) {
        const int original = r < removed ? r : r + 1;
        EXPECT_EQ(table.row(r)[ItemTable::textField], std::to_string(original)) << r;
    }
    EXPECT_TRUE(rowsFromCountAreEmpty(table));
}

INSTANTIATE_TEST_SUITE_P(AnyRowOfAFullTable, ItemTableRemove, ::testing::Values(0, 1, 50, 99, 100));

TEST(ItemTable, RemovingARowNotInUseChangesNothing) {
    ItemTable table;
    table.append(textRow("a"));
    EXPECT_FALSE(table.remove(1));
    EXPECT_FALSE(table.remove(-1));
    EXPECT_EQ(table.count(), 1);
}

TEST(ItemTable, ClearThenAppendLeavesEveryOtherRowEmpty) {
    ItemTable table;
    for (int i = 0; i < 8; ++i) {
        table.append(textRow(std::to_string(i)));
    }
    table.clear();
    EXPECT_EQ(table.count(), 0);
    table.append(textRow("new"));
    EXPECT_EQ(table.count(), 1);
    EXPECT_TRUE(rowsFromCountAreEmpty(table));
}

TEST(ItemTable, RowsOutsideTheTableReadEmpty) {
    ItemTable table;
    EXPECT_EQ(table.row(-1), ItemTable::Row{});
    EXPECT_EQ(table.row(101), ItemTable::Row{});
    EXPECT_EQ(table.row(5000), ItemTable::Row{});
}

TEST(ItemTable, SetFieldOnlyTouchesRowsInUse) {
    ItemTable table;
    table.append(textRow("a"));
    EXPECT_TRUE(table.setField(0, ItemTable::pictureField, "x.jpg"));
    EXPECT_EQ(table.row(0)[ItemTable::pictureField], "x.jpg");
    EXPECT_FALSE(table.setField(1, ItemTable::pictureField, "y.jpg"));
    EXPECT_FALSE(table.setField(0, 11, "z"));
    EXPECT_TRUE(rowsFromCountAreEmpty(table));
}

} // namespace
} // namespace lm
