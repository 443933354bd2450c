// Accelerator entries as the windows keep them: fVirt packing, the two Tab entries, replacing and
// removing, and the choice of table for a key (the multi-line editor's Tab, the code editor's Tab
// and Shift+Tab, a hotkey control).
#include <gtest/gtest.h>

#include "runtime/core/memory.h"
#include "runtime/ui/shortcut_internal.h"

namespace {

TEST(ShortcutPacking, ModifiersMapToFVirt) {
    EXPECT_EQ(shortcut_fvirt(0x4E), 3);
    EXPECT_EQ(shortcut_fvirt(SHORTCUT_SHIFT | VK_TAB), 7);
    EXPECT_EQ(shortcut_fvirt(0x2004E), 11);
    EXPECT_EQ(shortcut_fvirt(SHORTCUT_ALT | 0x41), 0x13);
    EXPECT_EQ(shortcut_fvirt(SHORTCUT_SHIFT | SHORTCUT_CONTROL | SHORTCUT_ALT | 0x41), 0x1F);
    EXPECT_EQ(sizeof(AcceleratorEntry), 6u);
}

class ShortcutEntries : public testing::Test {
protected:
    void TearDown() override { shortcut_free(&record); }
    WindowRecord record{};
};

TEST_F(ShortcutEntries, NewWindowStartsWithTheTwoTabEntriesInOrder) {
    shortcut_install_defaults(&record);
    ASSERT_EQ(record.shortcut_count, 2);
    EXPECT_EQ(record.shortcuts[0].fVirt, 3);
    EXPECT_EQ(record.shortcuts[0].key, 9);
    EXPECT_EQ(record.shortcuts[0].cmd, 64001);
    EXPECT_EQ(record.shortcuts[1].fVirt, 7);
    EXPECT_EQ(record.shortcuts[1].key, 9);
    EXPECT_EQ(record.shortcuts[1].cmd, 64002);
    ASSERT_NE(record.accelerator_table, nullptr);
    EXPECT_EQ(accelerator_table_find(record.accelerator_table, VK_TAB, 3), 64001);
    EXPECT_EQ(accelerator_table_find(record.accelerator_table, VK_TAB, 7), 64002);
    EXPECT_EQ(accelerator_table_find(record.accelerator_table, VK_TAB, 11), -1);
}

TEST_F(ShortcutEntries, SameKeyAndModifiersReplaceTheCommand) {
    EXPECT_EQ(shortcut_entries_add(&record.shortcuts, &record.shortcut_count, 0x2004E, 2), 0);
    EXPECT_EQ(shortcut_entries_add(&record.shortcuts, &record.shortcut_count, 0x2004E, 7), 0);
    ASSERT_EQ(record.shortcut_count, 1);
    EXPECT_EQ(record.shortcuts[0].cmd, 7);
    // Same key, other modifiers: another entry.
    EXPECT_EQ(shortcut_entries_add(&record.shortcuts, &record.shortcut_count, 0x3004E, 8), 1);
    EXPECT_EQ(record.shortcut_count, 2);
}

TEST_F(ShortcutEntries, RemovingKeepsTheOthersInOrder) {
    const int values[] = {0x2004E, 0x2004F, 0x20053, 0x20058};
    for (int i = 0; i < 4; ++i) shortcut_entries_add(&record.shortcuts, &record.shortcut_count, values[i], 2 + i);
    EXPECT_EQ(shortcut_entries_remove(&record.shortcuts, &record.shortcut_count, 0x2004F), 1);
    ASSERT_EQ(record.shortcut_count, 3);
    EXPECT_EQ(record.shortcuts[0].key, 0x4E);
    EXPECT_EQ(record.shortcuts[1].key, 0x53);
    EXPECT_EQ(record.shortcuts[2].key, 0x58);
    // A value with other modifiers is another entry: nothing found, nothing changes.
    EXPECT_EQ(shortcut_entries_remove(&record.shortcuts, &record.shortcut_count, 0x4E), 0);
    EXPECT_EQ(record.shortcut_count, 3);
}

TEST_F(ShortcutEntries, RemovingTheLastEntryLeavesNoArray) {
    shortcut_entries_add(&record.shortcuts, &record.shortcut_count, 0x2004E, 2);
    EXPECT_EQ(shortcut_entries_remove(&record.shortcuts, &record.shortcut_count, 0x2004E), 1);
    EXPECT_EQ(record.shortcut_count, 0);
    EXPECT_EQ(record.shortcuts, nullptr);
}

TEST_F(ShortcutEntries, RemoveAllTakesTheTabEntriesToo) {
    shortcut_install_defaults(&record);
    shortcut_entries_add(&record.shortcuts, &record.shortcut_count, 0x2004E, 2);
    EXPECT_EQ(shortcut_entries_remove(&record.shortcuts, &record.shortcut_count, SHORTCUT_ALL), 1);
    EXPECT_EQ(record.shortcut_count, 0);
    EXPECT_EQ(record.shortcuts, nullptr);
}

TEST(AcceleratorTable, MatchIgnoresOnlyTheNoInvertBit) {
    AcceleratorEntry entries[] = {{11, 0x58, 6}, {3, 0x70, 9}};
    AcceleratorTable* table = accelerator_table_create(entries, 2);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(accelerator_table_find(table, 0x58, FVIRTKEY | FCONTROL), 6);
    EXPECT_EQ(accelerator_table_find(table, 0x58, FVIRTKEY | FNOINVERT), -1);  // plain X
    EXPECT_EQ(accelerator_table_find(table, 0x58, FVIRTKEY | FNOINVERT | FCONTROL | FSHIFT), -1);
    EXPECT_EQ(accelerator_table_find(table, 0x70, 3), 9);
    EXPECT_EQ(accelerator_table_find(nullptr, 0x70, 3), -1);
    accelerator_table_destroy(table);
    EXPECT_EQ(accelerator_table_create(entries, 0), nullptr);
}

TEST(ShortcutChoice, WritableMultiLineEditorReceivesPlainTab) {
    WindowRecord record{};
    shortcut_install_defaults(&record);
    ShortcutFocus editor{true, true, false, false};
    EXPECT_EQ(shortcut_choose_table(&record, editor, VK_TAB, 3), nullptr);
    // Shift+Tab, or any other key, still goes through the table.
    EXPECT_EQ(shortcut_choose_table(&record, editor, VK_TAB, 7), record.accelerator_table);
    EXPECT_EQ(shortcut_choose_table(&record, editor, 0x58, 11), record.accelerator_table);
    // A read-only editor moves on with Tab.
    ShortcutFocus read_only{true, true, true, false};
    EXPECT_EQ(shortcut_choose_table(&record, read_only, VK_TAB, 3), record.accelerator_table);
    // A control that captures keys itself gets every key.
    ShortcutFocus hotkey{true, false, false, true};
    EXPECT_EQ(shortcut_choose_table(&record, hotkey, 0x58, 11), nullptr);
    // The code editor takes Tab and Shift+Tab; Ctrl+Tab and Ctrl+Shift+Tab still leave it.
    ShortcutFocus code{true, false, false, false, true};
    for (std::uint8_t fvirt : {3, 7}) EXPECT_EQ(shortcut_choose_table(&record, code, VK_TAB, fvirt), nullptr);
    for (std::uint8_t fvirt : {11, 15})
        EXPECT_EQ(shortcut_choose_table(&record, code, VK_TAB, fvirt), record.accelerator_table);
    ShortcutFocus field{true, false, false, false};
    EXPECT_EQ(shortcut_choose_table(&record, field, VK_TAB, 3), record.accelerator_table);
    EXPECT_EQ(shortcut_choose_table(nullptr, field, VK_TAB, 3), nullptr);
    shortcut_free(&record);
}

}  // namespace
