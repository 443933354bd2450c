/** @file layout.cpp
 * Initialising, clearing and deep-copying structures through their layout tables. */
#include "runtime/core/layout.h"

#include <cstring>

#include "runtime/core/list.h"
#include "runtime/core/map.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"

namespace {

inline char* at(void* base, LayoutEntry offset) { return static_cast<char*>(base) + offset; }
inline const char* at(const void* base, LayoutEntry offset) { return static_cast<const char*>(base) + offset; }
inline const LayoutEntry* table_operand(LayoutEntry word) { return reinterpret_cast<const LayoutEntry*>(word); }

// Words taken by the entry that starts with `kind`; 0 ends the walk (the end mark, or a word
// that no entry starts with, which is better stopped at than guessed past).
int entry_words(LayoutEntry kind) {
    if (kind >= 0) return 1;
    switch (kind) {
    case LAYOUT_FIXED_ARRAY:
        return 5;
    case LAYOUT_STRUCTURE:
        return 4;
    case LAYOUT_ARRAY:
        return 6;
    case LAYOUT_LIST:
        return 5;
    case LAYOUT_MAP:
        return 5;
    default:
        return 0;
    }
}

// Gives every string and container field of the destination its own copy of the source's,
// assuming the destination's field words currently hold nothing it owns.
void copy_fields(void* destination, const LayoutEntry* table, const void* source) {
    if (!table) return;
    for (const LayoutEntry* e = table; int words = entry_words(*e); e += words) {
        const LayoutEntry kind = e[0];
        if (kind >= 0) {
            auto* var = reinterpret_cast<StringVar*>(at(destination, kind));
            *var = nullptr;
            string_var_init(var, *reinterpret_cast<const StringVar*>(at(source, kind)));
            continue;
        }
        switch (kind) {
        case LAYOUT_FIXED_ARRAY:
            for (LayoutEntry i = 0; i < e[1]; ++i)
                copy_fields(at(destination, e[2] + i * e[3]), table_operand(e[4]), at(source, e[2] + i * e[3]));
            break;
        case LAYOUT_STRUCTURE:
            copy_fields(at(destination, e[1]), table_operand(e[3]), at(source, e[1]));
            break;
        case LAYOUT_ARRAY: {
            auto* var = reinterpret_cast<void**>(at(destination, e[1]));
            *var = nullptr;
            void* from = *reinterpret_cast<void* const*>(at(source, e[1]));
            if (!from) break;
            const ArrayHeader* shape = array_header(from);
            void* data =
                array_create(shape->element_size, shape->count, static_cast<int>(shape->type), shape->layout, var);
            if (data) array_copy(from, data, 0);
            break;
        }
        case LAYOUT_LIST: {
            auto* var = reinterpret_cast<ListVariable*>(at(destination, e[1]));
            var->header = nullptr;
            var->current = nullptr;
            LinkedList* from = reinterpret_cast<const ListVariable*>(at(source, e[1]))->header;
            if (!from) break;
            LinkedList* list = list_create(from->node_size - static_cast<std::intptr_t>(sizeof(ListNode)), var,
                                           from->layout, from->type);
            if (list) list_copy(from, list, 0);
            break;
        }
        case LAYOUT_MAP: {
            auto* var = reinterpret_cast<HashMap**>(at(destination, e[1]));
            *var = nullptr;
            HashMap* from = *reinterpret_cast<HashMap* const*>(at(source, e[1]));
            if (!from) break;
            HashMap* map = map_create(from->node_size - static_cast<std::intptr_t>(sizeof(MapNode)), from->layout, var,
                                      from->bucket_count);
            if (map) {
                map->ignore_case = from->ignore_case;
                map_copy(from, map, 0);
            }
            break;
        }
        }
    }
}

}  // namespace

bool layout_needs_init(const LayoutEntry* table) {
    if (!table) return false;
    for (const LayoutEntry* e = table; int words = entry_words(*e); e += words) {
        switch (e[0]) {
        case LAYOUT_ARRAY:
        case LAYOUT_LIST:
        case LAYOUT_MAP:
            return true;
        case LAYOUT_FIXED_ARRAY:
            if (e[1] > 0 && layout_needs_init(table_operand(e[4]))) return true;
            break;
        case LAYOUT_STRUCTURE:
            if (layout_needs_init(table_operand(e[3]))) return true;
            break;
        default:
            break;
        }
    }
    return false;
}

void layout_initialise(void* address, const LayoutEntry* table) {
    if (!address || !table) return;
    for (const LayoutEntry* e = table; int words = entry_words(*e); e += words) {
        switch (e[0]) {
        case LAYOUT_FIXED_ARRAY: {
            const LayoutEntry* nested = table_operand(e[4]);
            if (!layout_needs_init(nested)) break;
            for (LayoutEntry i = 0; i < e[1]; ++i) layout_initialise(at(address, e[2] + i * e[3]), nested);
            break;
        }
        case LAYOUT_STRUCTURE:
            layout_initialise(at(address, e[1]), table_operand(e[3]));
            break;
        case LAYOUT_ARRAY:
            array_create(e[2], e[3], static_cast<int>(e[4]), table_operand(e[5]),
                         reinterpret_cast<void**>(at(address, e[1])));
            break;
        case LAYOUT_LIST:
            list_create(e[2], reinterpret_cast<ListVariable*>(at(address, e[1])), table_operand(e[3]),
                        static_cast<int>(e[4]));
            break;
        case LAYOUT_MAP:
            map_create(e[2], table_operand(e[3]), reinterpret_cast<HashMap**>(at(address, e[1])),
                       static_cast<std::int32_t>(e[4]));
            break;
        default:
            break;  // strings: zeroed memory is already the empty string
        }
    }
}

void layout_clear(void* address, const LayoutEntry* table) {
    if (!address || !table) return;
    for (const LayoutEntry* e = table; int words = entry_words(*e); e += words) {
        const LayoutEntry kind = e[0];
        if (kind >= 0) {
            string_var_free(*reinterpret_cast<StringVar*>(at(address, kind)));
            continue;
        }
        switch (kind) {
        case LAYOUT_FIXED_ARRAY:
            for (LayoutEntry i = 0; i < e[1]; ++i) layout_clear(at(address, e[2] + i * e[3]), table_operand(e[4]));
            break;
        case LAYOUT_STRUCTURE:
            layout_clear(at(address, e[1]), table_operand(e[3]));
            break;
        case LAYOUT_ARRAY:
            array_free(*reinterpret_cast<void**>(at(address, e[1])));
            break;
        case LAYOUT_LIST:
            list_free(reinterpret_cast<ListVariable*>(at(address, e[1]))->header);
            break;
        case LAYOUT_MAP:
            map_free(*reinterpret_cast<HashMap**>(at(address, e[1])));
            break;
        default:
            break;
        }
    }
}

void layout_reset(void* address, std::intptr_t size, const LayoutEntry* table) {
    if (!address) return;
    if (table) layout_clear(address, table);
    if (size > 0) std::memset(address, 0, static_cast<std::size_t>(size));
}

void layout_copy(void* destination, std::intptr_t size, const LayoutEntry* table, const void* source) {
    if (!destination || !source || destination == source) return;
    if (!table) {
        if (size > 0) std::memmove(destination, source, static_cast<std::size_t>(size));
        return;
    }
    // Free what the destination owns, take the source's bytes as they are (the plain bytes
    // between and after the fields), then replace each borrowed field by a copy of its own.
    // This needs no ordering of the table's entries by offset.
    layout_clear(destination, table);
    if (size > 0) std::memcpy(destination, source, static_cast<std::size_t>(size));
    copy_fields(destination, table, source);
}
