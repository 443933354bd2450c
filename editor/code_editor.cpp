/** @file code_editor.cpp
 * Creation of a code editor with its record, the whole-text operations, and the colour,
 * font, margin, tab, option and line-styler settings. */
#include <algorithm>
#include <cstring>

#include "editor/editor_internal.h"
#include "editor/theme.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"

namespace {

constexpr std::uint32_t RESTYLE_OPTIONS = OPTION_STYLING | OPTION_FOLDING | OPTION_FOLD_ANY_LINE;

// The shortest typed word for which completion is offered.
constexpr std::int32_t COMPLETION_THRESHOLD = 3;

// Pixels beside the widest line number in the line-number margin.
constexpr std::intptr_t LINE_NUMBER_PADDING = 10;

// The fold markers, in the order they are defined and coloured. The boxes take the fold-marker
// foreground (their sign), the lines only a background.
struct FoldMarker {
    int marker;
    int symbol;
    bool box;
};
constexpr FoldMarker fold_markers[] = {
    {SC_MARKNUM_FOLDEROPEN, SC_MARK_BOXMINUS, true},        {SC_MARKNUM_FOLDER, SC_MARK_BOXPLUS, true},
    {SC_MARKNUM_FOLDERSUB, SC_MARK_VLINE, false},           {SC_MARKNUM_FOLDERTAIL, SC_MARK_LCORNER, false},
    {SC_MARKNUM_FOLDEREND, SC_MARK_BOXPLUSCONNECTED, true}, {SC_MARKNUM_FOLDEROPENMID, SC_MARK_BOXMINUSCONNECTED, true},
    {SC_MARKNUM_FOLDERMIDTAIL, SC_MARK_TCORNER, false},
};
constexpr int FOLD_MARKER_FORE = 0xFFFFFF;
constexpr int FOLD_MARKER_BACK = 0x000000;

// UTF-16 units of text encoded and handed to the component at a time.
constexpr std::int32_t PIECE_UNITS = 1 << 16;

std::intptr_t send(ObjectNumber gadget, unsigned message, std::intptr_t wparam = 0, std::intptr_t lparam = 0) {
    return scintilla_send(gadget, message, static_cast<std::uintptr_t>(wparam), lparam);
}

void release_record(EditorRecord* record) {
    if (!record) return;
    find_release(record);
    names_release(record);
    editor_word_table_free(record);
    editor_acceleration_free(record);
    if (record->separators) string_var_free(record->separators);
    heap_free(runtime_heap(), record->syntax_message);
    heap_free(runtime_heap(), record);
}

// The record leaves with its gadget: the wrapper calls this when the component goes.
void free_record_data(std::intptr_t data) { release_record(reinterpret_cast<EditorRecord*>(data)); }

void define_marker(ObjectNumber gadget, int marker, int symbol) { send(gadget, SCI_MARKERDEFINE, marker, symbol); }

}  // namespace

EditorRecord* editor_record_of(ObjectNumber gadget) {
    if (!gadget_exists(gadget) || gadget_kind(gadget) != GADGET_KIND_CODE_EDITOR) return nullptr;
    return reinterpret_cast<EditorRecord*>(gadget_get_data(gadget));
}

EditorRecord* code_editor_record(ObjectNumber gadget) { return editor_record_of(gadget); }

bool editor_acceleration_create(EditorRecord* record) {
    record->acceleration =
        static_cast<EditorAcceleration*>(heap_alloc_zeroed(runtime_heap(), sizeof(EditorAcceleration)));
    return record->acceleration != nullptr;
}

void editor_acceleration_free(EditorRecord* record) {
    EditorAcceleration* acc = record->acceleration;
    if (!acc) return;
    heap_free(runtime_heap(), acc->styles);
    heap_free(runtime_heap(), acc->line);
    heap_free(runtime_heap(), acc->key);
    heap_free(runtime_heap(), acc);
    record->acceleration = nullptr;
}

ObjectNumber code_editor_create(ObjectNumber gadget, int x, int y, int width, int height,
                                EditorNotifyCallback notify_callback, std::uint32_t flags) {
    auto* record = static_cast<EditorRecord*>(heap_alloc_zeroed(runtime_heap(), sizeof(EditorRecord)));
    if (!record) return 0;
    if (!editor_acceleration_create(record) || !editor_word_table_create(record)) {
        release_record(record);
        return 0;
    }
    ObjectNumber result = scintilla_gadget_create(gadget, x, y, width, height, on_editor_notification);
    if (result == 0) {
        release_record(record);
        return 0;
    }
    if (gadget == ANY_NUMBER) gadget = result;
    record->gadget = gadget;
    record->notify_callback = notify_callback;
    record->flags = flags;
    record->options = OPTION_STYLING | OPTION_FOLDING;
    record->separators = nullptr;
    record->number_style = STYLE_DEFAULT;
    record->completion_threshold = COMPLETION_THRESHOLD;
    editor_tables_rebuild(record);

    send(gadget, SCI_SETCODEPAGE, SC_CP_UTF8);
    send(gadget, SCI_SETLEXER, SCLEX_CONTAINER);
    send(gadget, SCI_SETMARGINWIDTHN, MARGIN_MARKERS, 0);
    send(gadget, SCI_SETMARGINSENSITIVEN, MARGIN_FOLD, 1);
    send(gadget, SCI_SETMARGINMASKN, MARGIN_FOLD, static_cast<std::intptr_t>(SC_MASK_FOLDERS));
    for (const FoldMarker& fold : fold_markers) {
        define_marker(gadget, fold.marker, fold.symbol);
        if (fold.box) send(gadget, SCI_MARKERSETFORE, fold.marker, FOLD_MARKER_FORE);
        send(gadget, SCI_MARKERSETBACK, fold.marker, FOLD_MARKER_BACK);
    }
    send(gadget, SCI_STYLECLEARALL);
    send(gadget, SCI_AUTOCSETIGNORECASE, (flags & EDITOR_CASE_SENSITIVE) ? 0 : 1);
    send(gadget, SCI_CALLTIPUSESTYLE, 0);
    send(gadget, SCI_SETMARGINMASKN, MARGIN_MARKERS, 1 << MARKER_ARROW);
    define_marker(gadget, MARKER_ARROW, SC_MARK_SHORTARROW);

    gadget_set_data(gadget, reinterpret_cast<std::intptr_t>(record));
    scintilla_set_data_release(gadget, free_record_data);
    theme_watch_desktop();
    scintilla_set_change_end_handler(gadget, on_editor_change_end);
    code_editor_update_line_numbers(gadget);
    return result;
}

void code_editor_update_line_numbers(ObjectNumber gadget) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record || !(record->flags & EDITOR_LINE_NUMBERS)) return;
    const std::intptr_t lines = send(gadget, SCI_GETLINECOUNT);
    char sample[32];
    int digits = 0;
    for (std::intptr_t n = lines;; n /= 10) {
        sample[digits++] = '9';
        if (n < 10) break;
    }
    sample[digits] = 0;
    const std::intptr_t width =
        send(gadget, SCI_TEXTWIDTH, STYLE_LINENUMBER, reinterpret_cast<std::intptr_t>(sample)) + LINE_NUMBER_PADDING;
    send(gadget, SCI_SETMARGINWIDTHN, MARGIN_LINE_NUMBERS, width);
    record->numbered_lines = lines;
}

void code_editor_set_color(ObjectNumber gadget, int attribute, int color) {
    if (!editor_record_of(gadget)) return;
    switch (attribute) {
    case COLOR_BACKGROUND:
        send(gadget, SCI_STYLESETBACK, STYLE_DEFAULT, color);
        send(gadget, SCI_STYLECLEARALL);
        break;
    case COLOR_FOREGROUND:
        send(gadget, SCI_STYLESETFORE, STYLE_DEFAULT, color);
        send(gadget, SCI_STYLECLEARALL);
        break;
    case COLOR_SELECTION_BACK:
        send(gadget, SCI_SETSELBACK, 1, color);
        break;
    case COLOR_SELECTION_FRONT:
        send(gadget, SCI_SETSELFORE, 1, color);
        break;
    case COLOR_LINE_NUMBER_BACK:
        send(gadget, SCI_STYLESETBACK, STYLE_LINENUMBER, color);
        break;
    case COLOR_LINE_NUMBER_FRONT:
        send(gadget, SCI_STYLESETFORE, STYLE_LINENUMBER, color);
        break;
    case COLOR_CURRENT_LINE:
        if (color == -1) {
            send(gadget, SCI_SETCARETLINEVISIBLE, 0);
        } else {
            send(gadget, SCI_SETCARETLINEBACK, color);
            send(gadget, SCI_SETCARETLINEVISIBLE, 1);
        }
        break;
    case COLOR_CARET:
        send(gadget, SCI_SETCARETFORE, color);
        break;
    case COLOR_CALLTIP_BACK:
        send(gadget, SCI_STYLESETBACK, STYLE_CALLTIP, color);
        break;
    case COLOR_CALLTIP_FRONT:
        send(gadget, SCI_STYLESETFORE, STYLE_CALLTIP, color);
        break;
    case COLOR_CALLTIP_HIGHLIGHT:
        send(gadget, SCI_CALLTIPSETFOREHLT, color);
        break;
    case COLOR_MARKER_BACK:
        send(gadget, SCI_MARKERSETBACK, MARKER_ARROW, color);
        break;
    case COLOR_MARKER_FRONT:
        send(gadget, SCI_MARKERSETFORE, MARKER_ARROW, color);
        break;
    case COLOR_FOLD_MARGIN:
        send(gadget, SCI_SETFOLDMARGINCOLOUR, 1, color);
        break;
    case COLOR_FOLD_MARGIN_HIGHLIGHT:
        send(gadget, SCI_SETFOLDMARGINHICOLOUR, 1, color);
        break;
    case COLOR_FOLD_MARKER_BACK:
        for (const FoldMarker& fold : fold_markers) send(gadget, SCI_MARKERSETBACK, fold.marker, color);
        break;
    case COLOR_FOLD_MARKER_FRONT:
        for (const FoldMarker& fold : fold_markers)
            if (fold.box) send(gadget, SCI_MARKERSETFORE, fold.marker, color);
        break;
    default:
        break;
    }
}

void code_editor_set_font(ObjectNumber gadget, const char16_t* name, int size, int font_flags) {
    if (!editor_record_of(gadget)) return;
    code_editor_set_style_font(gadget, STYLE_DEFAULT, name, size, font_flags);
    send(gadget, SCI_STYLECLEARALL);
    code_editor_update_line_numbers(gadget);
}

void code_editor_set_style_font(ObjectNumber gadget, int style, const char16_t* name, int size, int font_flags) {
    if (!editor_record_of(gadget)) return;
    if (string_len(name) != 0) {
        const std::int32_t bytes = string_byte_length(name, TEXT_ANSI);
        char* buffer = static_cast<char*>(memory_allocate(bytes + 1));
        if (buffer) {
            string_to_memory(buffer, name, -1, TEXT_ANSI);
            send(gadget, SCI_STYLESETFONT, style, reinterpret_cast<std::intptr_t>(buffer));
            memory_free(buffer);
        }
    }
    if (size != -1) send(gadget, SCI_STYLESETSIZE, style, size);
    if (font_flags != -1) {
        send(gadget, SCI_STYLESETBOLD, style, (font_flags & FONT_BOLD) ? 1 : 0);
        send(gadget, SCI_STYLESETITALIC, style, (font_flags & FONT_ITALIC) ? 1 : 0);
        send(gadget, SCI_STYLESETUNDERLINE, style, (font_flags & FONT_UNDERLINE) ? 1 : 0);
    }
    if (style == STYLE_LINENUMBER) code_editor_update_line_numbers(gadget);
}

void code_editor_set_style_color(ObjectNumber gadget, int style, int foreground, int background) {
    if (!editor_record_of(gadget)) return;
    if (foreground != -1) send(gadget, SCI_STYLESETFORE, style, foreground);
    if (background != -1) send(gadget, SCI_STYLESETBACK, style, background);
}

void code_editor_set_margin_width(ObjectNumber gadget, int margin, int width) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return;
    if (width < 0) width = 0;
    if (margin == MARGIN_LINE_NUMBERS && (record->flags & EDITOR_LINE_NUMBERS)) return;
    send(gadget, SCI_SETMARGINWIDTHN, margin, width);
}

void code_editor_set_tabs(ObjectNumber gadget, int tab_width, int indent_with_spaces) {
    if (!editor_record_of(gadget)) return;
    send(gadget, SCI_SETTABWIDTH, tab_width);
    send(gadget, SCI_SETUSETABS, indent_with_spaces ? 0 : 1);
}

void code_editor_set_options(ObjectNumber gadget, std::uint32_t options) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return;
    const std::uint32_t old = record->options;
    record->options = options;
    if ((old ^ options) & RESTYLE_OPTIONS) editor_restyle_all(gadget);
}

LineStyler editor_set_line_styler(ObjectNumber gadget, LineStyler styler, bool batchable) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return nullptr;
    LineStyler previous = record->line_styler;
    record->line_styler = styler;
    record->line_styler_batchable = batchable;
    editor_restyle_all(gadget);
    return previous;
}

// Another's styler may send its own styles, which must not overtake the batched ones.
LineStyler code_editor_set_line_styler(ObjectNumber gadget, LineStyler styler) {
    return editor_set_line_styler(gadget, styler, false);
}

void code_editor_set_text(ObjectNumber gadget, const char16_t* text, int empty_undo) {
    if (!editor_record_of(gadget)) return;
    // The text goes in as UTF-8 pieces through one small buffer: a buffer for the whole of it
    // would be megabytes of fresh memory, written once and read once.
    char* piece = static_cast<char*>(heap_alloc(runtime_heap(), 3 * PIECE_UNITS + 1));
    if (!piece) return;
    const std::int32_t units = string_len(text);
    if (empty_undo == EDITOR_UNDO_ONLY_THIS) send(gadget, SCI_EMPTYUNDOBUFFER);
    // One undo step, as SCI_SETTEXT makes it: the old text goes, the caret goes to the start.
    send(gadget, SCI_BEGINUNDOACTION);
    send(gadget, SCI_SETTEXT, 0, reinterpret_cast<std::intptr_t>(""));
    // The component sizes its buffers to what it is given, and a few keys later it would copy
    // the whole text into larger ones (tens of milliseconds at 9 MB, while the user types): the
    // room for the text and for typing is made now.
    send(gadget, SCI_ALLOCATE, units + units / 6);
    for (std::int32_t at = 0; at < units;) {
        std::int32_t n = std::min(PIECE_UNITS, units - at);
        if (at + n < units && (text[at + n - 1] & 0xFC00) == 0xD800) --n;  // a surrogate pair stays whole
        const std::int32_t bytes = string_to_memory(piece, text + at, n, TEXT_UTF8);
        send(gadget, SCI_APPENDTEXT, bytes, reinterpret_cast<std::intptr_t>(piece));
        at += n;
    }
    send(gadget, SCI_ENDUNDOACTION);
    heap_free(runtime_heap(), piece);
    if (empty_undo && empty_undo != EDITOR_UNDO_ONLY_THIS) send(gadget, SCI_EMPTYUNDOBUFFER);
    // The new text is styled from the top as far as the screen shows it; the component asks for
    // the rest line by line as it needs it, so a large text opens without being styled whole.
    code_editor_restyle_lines(gadget, 0, static_cast<int>(send(gadget, SCI_LINESONSCREEN)), -1);
}

char16_t* code_editor_get_text(ObjectNumber gadget) {
    const std::int32_t at = temp_position();
    if (!editor_record_of(gadget)) return string_from_memory(nullptr, 0, TEXT_UTF8, at);
    const std::intptr_t length = send(gadget, SCI_GETLENGTH);
    char* buffer = length > 0 ? static_cast<char*>(memory_allocate(length + 1)) : nullptr;
    if (!buffer) return string_from_memory(nullptr, 0, TEXT_UTF8, at);
    send(gadget, SCI_GETTEXT, length + 1, reinterpret_cast<std::intptr_t>(buffer));
    char16_t* text = string_from_memory(buffer, -1, TEXT_UTF8, at);
    memory_free(buffer);
    return text;
}

void code_editor_follow_desktop_theme(ObjectNumber gadget, EditorThemeColours colours, int shown_kind) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return;
    record->theme_colours = colours;
    record->theme_kind = shown_kind;
    // The desktop may have changed while the owner was setting the editor up.
    code_editor_desktop_theme_changed(gadget);
}

void code_editor_desktop_theme_changed(ObjectNumber gadget) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record || !record->theme_colours) return;
    const int kind = theme_desktop_kind();
    if (kind == record->theme_kind) return;
    record->theme_kind = kind;
    record->theme_colours(gadget, theme_table(kind));
}
