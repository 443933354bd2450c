/** @file word_table.cpp
 * Word tables: the entry list with its 512-bucket hash index, lookups with case folding,
 * and the byte tables that answer one-character lookups and separator tests while styling. */
#include <cstddef>
#include <cstring>

#include "editor/editor_internal.h"
#include "runtime/core/memory.h"
#include "runtime/core/sort.h"
#include "runtime/core/strings.h"

namespace {

// A WordEntry holds one string field, its word.
const LayoutEntry word_entry_layout[] = {offsetof(WordEntry, word), LAYOUT_END};

constexpr std::uint32_t SEPARATOR_FLAG_MASK = 0xFFFFF;

constexpr int WORD_INDEX_BUCKETS = 512;

bool case_sensitive(const EditorRecord* record) { return (record->flags & EDITOR_CASE_SENSITIVE) != 0; }

// The lookup key of a text, built at the current temporary position.
const char16_t* lookup_key(const EditorRecord* record, const char16_t* text) {
    if (case_sensitive(record)) return text ? text : u"";
    return string_lower(text, temp_next_string());
}

WordEntry* find_key(const EditorRecord* record, const char16_t* key) {
    if (!record->word_index || !key || key[0] == 0) return nullptr;
    auto* slot = static_cast<WordEntry**>(map_find(record->word_index, key));
    return slot ? *slot : nullptr;
}

// The entry of a text; its lookup key is given back to the temporary area.
WordEntry* find_text(const EditorRecord* record, const char16_t* text) {
    TempScope key;
    return find_key(record, lookup_key(record, text));
}

bool grow_key(EditorAcceleration* acc, std::size_t units) {
    if (units <= acc->key_capacity) return true;
    std::size_t capacity = units < 64 ? 64 : units * 2;
    void* block = heap_realloc(runtime_heap(), acc->key, capacity * sizeof(char16_t));
    if (!block) return false;
    acc->key = static_cast<char16_t*>(block);
    acc->key_capacity = capacity;
    return true;
}

}  // namespace

bool editor_word_table_create(EditorRecord* record) {
    if (!list_create(sizeof(WordEntry), &record->word_list, word_entry_layout, TYPE_STRING)) return false;
    if (!map_create(sizeof(WordEntry*), nullptr, &record->word_index, WORD_INDEX_BUCKETS)) {
        list_free(record->word_list.header);
        return false;
    }
    return true;
}

void editor_word_table_free(EditorRecord* record) {
    if (record->word_index) map_free(record->word_index);
    if (record->word_list.header) list_free(record->word_list.header);
    record->word_index = nullptr;
}

void editor_tables_rebuild(EditorRecord* record) {
    EditorAcceleration* acc = record->acceleration;
    if (!acc) return;
    for (int byte = 0; byte < 256; ++byte) {
        WordEntry* entry = nullptr;
        // Space and NUL trim to an empty text, which no lookup finds.
        if (byte != ' ' && byte != 0) {
            TempScope one;
            entry = find_text(record, string_from_code(byte, one.start()));
        }
        acc->byte_entry[byte] = entry;
        bool separator = byte == '\n' || byte == '\r';
        if (!separator && record->separators) {
            for (const char16_t* u = record->separators; *u; ++u) {
                if (*u == byte) {
                    separator = true;
                    break;
                }
            }
        }
        if (!separator && entry)
            separator = (entry->flags & SEPARATOR_FLAG_MASK) != 0 && !(entry->flags & WORD_NOT_SEPARATOR);
        acc->byte_separator[byte] = separator ? 1 : 0;
    }
}

WordEntry* editor_find_word_bytes(EditorRecord* record, const char* text, int length) {
    if (length <= 0) return nullptr;
    EditorAcceleration* acc = record->acceleration;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (length == 1 && bytes[0] < 0x80 && acc) return acc->byte_entry[bytes[0]];

    bool ascii = true;
    for (int i = 0; i < length; ++i) {
        if (bytes[i] >= 0x80) {
            ascii = false;
            break;
        }
    }
    // Words of ASCII bytes (nearly all of them) decode by widening; lower-casing them
    // touches only A to Z, as the runtime's simple mapping does for ASCII.
    if (ascii && acc && grow_key(acc, static_cast<std::size_t>(length) + 1)) {
        bool fold = !case_sensitive(record);
        for (int i = 0; i < length; ++i) {
            unsigned char b = bytes[i];
            if (fold && b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + ('a' - 'A'));
            acc->key[i] = b;
        }
        acc->key[length] = 0;
        // Words are cut at blanks, so the trim of a lookup never changes them.
        return find_key(record, acc->key);
    }
    TempScope scope;
    string_from_memory(text, length, TEXT_UTF8, scope.start());
    return find_text(record, string_trim(scope.text(), nullptr, temp_next_string()));
}

int code_editor_add_words(ObjectNumber gadget, const char16_t* words, int style, std::uint32_t flags) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record || !record->word_list.header || !record->word_index) return 0;
    // The words may be a temporary string that ends at the current position.
    TempScope scope;
    const std::int32_t p0 = temp_next_string();
    string_trim(words, nullptr, p0);
    if (string_len(temp_address(p0)) == 0) return 0;
    std::int32_t fields = string_count(temp_address(p0), u" ") + 1;
    LinkedList* list = record->word_list.header;
    int count = 0;
    for (std::int32_t i = 1; i <= fields; ++i) {
        TempScope field;
        std::int32_t field_at = temp_next_string();
        string_field(temp_address(p0), i, u" ", field_at);
        std::int32_t key_at = field_at;
        if (!case_sensitive(record)) {
            key_at = temp_next_string();
            string_lower(temp_address(field_at), key_at);
        }

        auto* slot = static_cast<WordEntry**>(map_find(record->word_index, temp_address(key_at)));
        WordEntry* entry = slot ? *slot : nullptr;
        if (!entry) {
            list_last(list);
            entry = static_cast<WordEntry*>(list_add(list));
            if (!entry) continue;
            slot = static_cast<WordEntry**>(map_add(record->word_index, temp_address(key_at)));
            if (!slot) {
                list_delete(list, 0);
                continue;
            }
            *slot = entry;
        }
        string_var_assign(&entry->word, temp_address(field_at));
        if (style != -1) entry->style = style;
        entry->flags |= flags;
        ++count;
    }
    editor_tables_rebuild(record);
    return count;
}

void code_editor_add_keywords(ObjectNumber gadget, const char16_t* words, int style, std::uint32_t flags, int sort) {
    if (code_editor_add_words(gadget, words, style, flags) == 0) return;
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return;
    if (sort)
        list_sort_structured_all(record->word_list.header, case_sensitive(record) ? 0 : SORT_NO_CASE, 0, TYPE_STRING);
    editor_restyle_all(gadget);
}

void code_editor_add_delimiter(ObjectNumber gadget, const char16_t* open, const char16_t* close, std::uint32_t flags,
                               int style) {
    if (string_len(open) == 0) return;
    if ((flags & WORD_SPAN) && string_len(close) == 0) return;
    if (code_editor_add_words(gadget, open, style, flags) == 0) return;
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return;
    if (flags & WORD_SPAN) {
        if (WordEntry* entry = find_text(record, open))
            entry->close_char = static_cast<std::uint8_t>(string_first_code(close) & 0xFF);
        editor_tables_rebuild(record);
    }
    editor_restyle_all(gadget);
}

WordEntry* code_editor_find_word(ObjectNumber gadget, const char16_t* text) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return nullptr;
    // The text may be a temporary string that ends at the current position.
    TempScope scope;
    return find_text(record, string_trim(text, nullptr, temp_next_string()));
}

void code_editor_set_attribute(ObjectNumber gadget, int attribute, std::intptr_t value) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return;
    if (attribute == ATTRIBUTE_SEPARATORS) {
        const auto* text = reinterpret_cast<const char16_t*>(value);
        if (string_equal(text, record->separators)) return;
        string_var_assign(&record->separators, string_len(text) ? text : nullptr);
        editor_tables_rebuild(record);
        editor_restyle_all(gadget);
    } else if (attribute == ATTRIBUTE_NUMBER_STYLE) {
        if (static_cast<std::int32_t>(value) == record->number_style) return;
        record->number_style = static_cast<std::int32_t>(value);
        editor_restyle_all(gadget);
    }
}
