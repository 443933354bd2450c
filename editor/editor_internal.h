/** @file editor_internal.h
 * What the editor's modules share beyond the public interface: the lookup tables that keep
 * styling free of per-token allocation, the batching of style runs, and the styling context
 * of the run in progress. */
#pragma once

#include <cstddef>
#include <cstdint>

#include "editor/code_editor.h"
#include "runtime/core/strings.h"
#include "runtime/ui/font.h"  // FONT_BOLD, FONT_ITALIC, FONT_UNDERLINE

// Per-editor acceleration, rebuilt whenever the word table or the separator characters
// change. Every answer equals the one the plain lookups would give.
struct EditorAcceleration {
    // One-character entry of each byte value, as a lookup of the one-unit text of that
    // value would find it.
    WordEntry* byte_entry[256];
    // is_separator's answer for each byte value.
    std::uint8_t byte_separator[256];

    // Style runs of the current restyle run, sent in one message when the run ends. Only
    // while `batching` is set; otherwise every run is sent at once.
    char* styles;
    std::size_t styles_length;
    std::size_t styles_capacity;
    bool batching;
    bool batch_failed;  // a buffer could not grow: runs are sent one by one from then on

    // A restyle run is in progress; requests made meanwhile wait, merged into one range.
    bool running;
    bool deferred;
    int deferred_first;
    int deferred_last;
    std::intptr_t deferred_end;

    // Bytes styled since the current restyle run began: a run must style every byte of its
    // range exactly once (checked by the tests and the fuzz target).
    std::size_t run_styled_bytes;

    // Line count of the document during a restyle run (0 outside one), so that line-state
    // access in the run need not ask for it line by line.
    int run_line_count;

    // The working state of the restyle run in progress (null outside one), for the stylers that
    // reach the engine by gadget number. It lives on the run's stack.
    StyleContext* run_context;

    // Reused line buffer of the restyle run.
    char* line;
    std::size_t line_capacity;

    // Reused UTF-16 lookup key for words made of ASCII bytes.
    char16_t* key;
    std::size_t key_capacity;
};

// The record of a gadget when it is a code editor with one attached, else null.
EditorRecord* editor_record_of(ObjectNumber gadget);

// Allocation of the record's acceleration; false when memory runs out.
bool editor_acceleration_create(EditorRecord* record);
void editor_acceleration_free(EditorRecord* record);

// The word list and its index; false when memory runs out (nothing is left allocated).
bool editor_word_table_create(EditorRecord* record);
void editor_word_table_free(EditorRecord* record);

// Recomputes the byte tables from the word table and the separator characters.
void editor_tables_rebuild(EditorRecord* record);

// The entry of a word given as UTF-8 bytes (decoded, case-folded unless case-sensitive),
// or null. No heap allocation.
WordEntry* editor_find_word_bytes(EditorRecord* record, const char* text, int length);

// Styles the next `length` bytes with `style`: appended to the batch while batching,
// otherwise sent as SCI_SETSTYLING.
void editor_set_styling(EditorRecord* record, int length, int style);

// A context for styling outside a restyle run: nothing pending, no fold change, the base level.
StyleContext editor_context_outside_run(EditorRecord& record);
// Calls `style` with the context of the restyle run in progress on the editor, or outside a
// run with a context of its own.
template <typename Style>
auto editor_with_context(EditorRecord& record, Style style) {
    if (StyleContext* running = record.acceleration ? record.acceleration->run_context : nullptr)
        return style(*running);
    StyleContext context = editor_context_outside_run(record);
    return style(context);
}
// code_editor_style_token with the context at hand: a pending style passes only to the token
// that directly follows the one that set it (the caller may style bytes itself in between).
int editor_style_token(StyleContext& context, const char* text, int length);

// Installs a line styler (as code_editor_set_line_styler does); `batchable` when it styles only
// through the engine.
LineStyler editor_set_line_styler(ObjectNumber gadget, LineStyler styler, bool batchable);
// Sends the batched styles (if any) and stops batching.
void editor_flush_styles(EditorRecord* record);

// The position for a new temporary string that must not join the one just built: string
// operations write at the position, which is the previous result's terminator.
inline std::int32_t temp_next_string() {
    temp_reserve(1, temp_position());
    return temp_position();
}

// Restyles the whole document (first line 0, last line -1, no end position).
inline void editor_restyle_all(ObjectNumber gadget) { code_editor_restyle_lines(gadget, 0, -1, -1); }

// Find and replace (find.cpp) hears of the editor's changes: the notice before a change of the
// text (the searched range and the marks follow it, the count waits for a pause), the
// component's SCN_UPDATEUI (the marks follow the lines on screen), and the editor's end.
void find_note_change(EditorRecord* record, const SCNotification* notification);
void find_note_update(EditorRecord* record);
void find_release(EditorRecord* record);

struct EditorTheme;
// The syntax marks' colours of a light or dark table (check/syntax_marks.cpp).
SyntaxMarkColors syntax_mark_colors_of(const EditorTheme& theme);
// The code's names (editor/names/) hear of the editor's changes: a change of the text (the names
// are gathered again once typing pauses), the component's SCN_UPDATEUI (the occurrence marks follow
// the caret and the screen), and the editor's end.
void names_note_change(EditorRecord* record, const SCNotification* notification);
void names_note_update(EditorRecord* record, const SCNotification* notification);
void names_release(EditorRecord* record);
