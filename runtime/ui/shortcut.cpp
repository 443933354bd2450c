/** @file shortcut.cpp
 * Accelerator entries and tables of the toolkit windows, and the choice of table for a key. */
#include "runtime/ui/shortcut_internal.h"

#include <cstddef>
#include <cstring>

#include "runtime/core/memory.h"

std::uint8_t shortcut_fvirt(int value) {
    std::uint8_t fvirt = FVIRTKEY | FNOINVERT;
    if (value & SHORTCUT_SHIFT) fvirt |= FSHIFT;
    if (value & SHORTCUT_CONTROL) fvirt |= FCONTROL;
    if (value & SHORTCUT_ALT) fvirt |= FALT;
    return fvirt;
}

AcceleratorTable* accelerator_table_create(const AcceleratorEntry* entries, int count) {
    if (!entries || count <= 0) return nullptr;
    std::size_t size = offsetof(AcceleratorTable, entries) + sizeof(AcceleratorEntry) * std::size_t(count);
    auto* table = static_cast<AcceleratorTable*>(heap_alloc(runtime_heap(), size));
    if (!table) return nullptr;
    table->count = count;
    std::memcpy(table->entries, entries, sizeof(AcceleratorEntry) * std::size_t(count));
    return table;
}

void accelerator_table_destroy(AcceleratorTable* table) { heap_free(runtime_heap(), table); }

int accelerator_table_find(const AcceleratorTable* table, std::uint16_t key, std::uint8_t fvirt) {
    if (!table) return -1;
    // FNOINVERT only changes how Windows flashes the menu; it takes no part in the match.
    const std::uint8_t mask = FVIRTKEY | FSHIFT | FCONTROL | FALT;
    for (int i = 0; i < table->count; ++i) {
        const AcceleratorEntry& e = table->entries[i];
        if (e.key == key && (e.fVirt & mask) == (fvirt & mask)) return e.cmd;
    }
    return -1;
}

namespace {

int find_entry(const AcceleratorEntry* entries, int count, std::uint16_t key, std::uint8_t fvirt) {
    for (int i = 0; i < count; ++i)
        if (entries[i].key == key && entries[i].fVirt == fvirt) return i;
    return -1;
}

}  // namespace

int shortcut_entries_add(AcceleratorEntry** entries, std::int32_t* count, int value, int command) {
    const std::uint8_t fvirt = shortcut_fvirt(value);
    const auto key = std::uint16_t(value & 0xFFFF);
    int index = find_entry(*entries, *count, key, fvirt);
    if (index >= 0) {
        (*entries)[index].cmd = std::uint16_t(command);
        return index;
    }
    auto* grown = static_cast<AcceleratorEntry*>(
        heap_realloc(runtime_heap(), *entries, sizeof(AcceleratorEntry) * std::size_t(*count + 1)));
    if (!grown) return -1;
    grown[*count] = AcceleratorEntry{fvirt, key, std::uint16_t(command)};
    *entries = grown;
    return (*count)++;
}

int shortcut_entries_remove(AcceleratorEntry** entries, std::int32_t* count, int value) {
    if (value == SHORTCUT_ALL) {
        bool had = *count > 0;
        heap_free(runtime_heap(), *entries);
        *entries = nullptr;
        *count = 0;
        return had ? 1 : 0;
    }
    int index = find_entry(*entries, *count, std::uint16_t(value & 0xFFFF), shortcut_fvirt(value));
    if (index < 0) return 0;
    AcceleratorEntry* shorter = nullptr;
    if (*count > 1) {
        shorter = static_cast<AcceleratorEntry*>(
            heap_alloc(runtime_heap(), sizeof(AcceleratorEntry) * std::size_t(*count - 1)));
        if (!shorter) return 0;
        for (int i = 0, j = 0; i < *count; ++i)
            if (i != index) shorter[j++] = (*entries)[i];
    }
    heap_free(runtime_heap(), *entries);
    *entries = shorter;
    --*count;
    return 1;
}

namespace {

void rebuild_table(WindowRecord* record) {
    accelerator_table_destroy(record->accelerator_table);
    record->accelerator_table = accelerator_table_create(record->shortcuts, record->shortcut_count);
}

}  // namespace

void shortcut_install_defaults(WindowRecord* record) {
    shortcut_free(record);
    shortcut_entries_add(&record->shortcuts, &record->shortcut_count, VK_TAB, COMMAND_FOCUS_NEXT);
    shortcut_entries_add(&record->shortcuts, &record->shortcut_count, SHORTCUT_SHIFT | VK_TAB, COMMAND_FOCUS_PREVIOUS);
    rebuild_table(record);
}

void shortcut_free(WindowRecord* record) {
    heap_free(runtime_heap(), record->shortcuts);
    record->shortcuts = nullptr;
    record->shortcut_count = 0;
    accelerator_table_destroy(record->accelerator_table);
    record->accelerator_table = nullptr;
}

AcceleratorTable* shortcut_add(ObjectNumber window, int value, int command) {
    WindowRecord* record = window_lookup(window);
    if (!record) return nullptr;
    if (shortcut_entries_add(&record->shortcuts, &record->shortcut_count, value, command) < 0) return nullptr;
    rebuild_table(record);
    return record->accelerator_table;
}

int shortcut_remove(ObjectNumber window, int value) {
    WindowRecord* record = window_lookup(window);
    if (!record) return 0;
    if (!shortcut_entries_remove(&record->shortcuts, &record->shortcut_count, value)) return 0;
    rebuild_table(record);
    return 1;
}

AcceleratorTable* shortcut_add_focus_keys(ObjectNumber window) {
    static constexpr int keys[][2] = {
        {VK_TAB, COMMAND_FOCUS_NEXT},
        {SHORTCUT_SHIFT | VK_TAB, COMMAND_FOCUS_PREVIOUS},
        {SHORTCUT_CONTROL | VK_TAB, COMMAND_FOCUS_NEXT},
        {SHORTCUT_CONTROL | SHORTCUT_SHIFT | VK_TAB, COMMAND_FOCUS_PREVIOUS},
    };
    AcceleratorTable* table = nullptr;
    for (const auto& key : keys)
        if (!(table = shortcut_add(window, key[0], key[1]))) return nullptr;
    return table;
}

const AcceleratorTable* shortcut_choose_table(const WindowRecord* active, const ShortcutFocus& focus, std::uint16_t key,
                                              std::uint8_t fvirt) {
    if (focus.has_focus) {
        // A writable multi-line editor receives a plain Tab itself.
        bool plain_tab = key == VK_TAB && (fvirt & (FSHIFT | FCONTROL | FALT)) == 0;
        if (plain_tab && focus.multiline_editor && !focus.read_only) return nullptr;
        // The code editor indents with Tab and takes Shift+Tab back; only Ctrl+Tab leaves it.
        bool shifted_tab = key == VK_TAB && (fvirt & (FCONTROL | FALT)) == 0;
        if (shifted_tab && focus.takes_tab) return nullptr;
        if (focus.hotkey) return nullptr;
    }
    return active ? active->accelerator_table : nullptr;
}
