/** @file notifications.cpp
 * The editor's answer to the component's notifications: styling requests, the line-number
 * margin, folding, auto-indent, the keyword completion list, what find and replace hears of
 * changes and of the screen (as do the code's names), and the call tip of a syntax error. */
#include <cstring>
#include <string>

#include "editor/editor_internal.h"
#include "runtime/core/list.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"

namespace {

void style_needed(EditorRecord* record, const SCNotification* n) {
    const ObjectNumber gadget = record->gadget;
    int start_line = static_cast<int>(scintilla_send(
        gadget, SCI_LINEFROMPOSITION, static_cast<std::uintptr_t>(scintilla_send(gadget, SCI_GETENDSTYLED))));
    // The document line of the requested position. (Its display line would fall short
    // of it by the lines folded away above, leaving the bottom of the screen unstyled.)
    int end_line =
        static_cast<int>(scintilla_send(gadget, SCI_LINEFROMPOSITION, static_cast<std::uintptr_t>(n->position)));
    if (end_line < start_line) {
        int old_start = start_line;
        start_line = end_line;
        end_line = old_start + 1;
    }
    code_editor_restyle_lines(gadget, start_line, end_line, n->position);
}

void auto_indent(EditorRecord* record) {
    const ObjectNumber gadget = record->gadget;
    const std::intptr_t line = scintilla_send(gadget, SCI_LINEFROMPOSITION,
                                              static_cast<std::uintptr_t>(scintilla_send(gadget, SCI_GETCURRENTPOS)));
    const std::intptr_t indentation =
        scintilla_send(gadget, SCI_GETLINEINDENTATION, static_cast<std::uintptr_t>(line - 1));
    if (indentation > 0) {
        scintilla_send(gadget, SCI_SETLINEINDENTATION, static_cast<std::uintptr_t>(line), indentation);
        scintilla_send(gadget, SCI_GOTOPOS,
                       static_cast<std::uintptr_t>(
                           scintilla_send(gadget, SCI_GETLINEINDENTPOSITION, static_cast<std::uintptr_t>(line))));
    }
}

void margin_click(EditorRecord* record, const SCNotification* n) {
    if (n->margin != MARGIN_FOLD) return;
    const ObjectNumber gadget = record->gadget;
    const std::intptr_t line = scintilla_send(gadget, SCI_LINEFROMPOSITION, static_cast<std::uintptr_t>(n->position));
    if ((record->options & OPTION_FOLD_ANY_LINE) ||
        (scintilla_send(gadget, SCI_GETFOLDLEVEL, static_cast<std::uintptr_t>(line)) & SC_FOLDLEVELHEADERFLAG))
        scintilla_send(gadget, SCI_TOGGLEFOLD, static_cast<std::uintptr_t>(line));
}

void need_shown(ObjectNumber gadget, const SCNotification* n) {
    const std::intptr_t first = scintilla_send(gadget, SCI_LINEFROMPOSITION, static_cast<std::uintptr_t>(n->position));
    const std::intptr_t last =
        scintilla_send(gadget, SCI_LINEFROMPOSITION, static_cast<std::uintptr_t>(n->position + n->length));
    for (std::intptr_t line = first; line <= last; ++line)
        scintilla_send(gadget, SCI_ENSUREVISIBLE, static_cast<std::uintptr_t>(line));
    const std::intptr_t level = scintilla_send(gadget, SCI_GETFOLDLEVEL, static_cast<std::uintptr_t>(last));
    const std::intptr_t next = scintilla_send(gadget, SCI_GETFOLDLEVEL, static_cast<std::uintptr_t>(last + 1));
    if ((level & SC_FOLDLEVELHEADERFLAG) && (next & SC_FOLDLEVELNUMBERMASK) > (level & SC_FOLDLEVELNUMBERMASK))
        scintilla_send(gadget, SCI_ENSUREVISIBLE, static_cast<std::uintptr_t>(last + 1));
}

void close_completion(ObjectNumber gadget) {
    if (scintilla_send(gadget, SCI_AUTOCACTIVE)) scintilla_send(gadget, SCI_AUTOCCANCEL);
}

// The typed word at the caret: (byte offset of the token in the line, byte length).
struct CaretToken {
    int start;
    int length;
};

CaretToken token_at_caret(EditorRecord* record, const char* line, int line_length, int caret) {
    CaretToken token{0, 0};
    int offset = 0;
    while (offset < line_length) {
        int n = measure_next_token(record, line + offset, line_length - offset);
        if (n <= 0) break;
        token = {offset, n};
        offset += n;
        if (offset >= caret) break;
    }
    return token;
}

// The autocompletion words whose first `typed` units are the key built at key_at (both folded
// when the table ignores case), separated by spaces.
std::u16string completion_words(EditorRecord* record, std::int32_t key_at, std::int32_t typed, bool fold) {
    std::u16string words;
    LinkedList* list = record->word_list.header;
    list_reset(list);
    while (auto* entry = static_cast<WordEntry*>(list_next(list))) {
        if (!(entry->flags & WORD_AUTOCOMPLETE)) continue;
        const char16_t* word = entry->word ? entry->word : u"";
        TempScope lowered;
        const char16_t* candidate = fold ? string_lower(word, temp_next_string()) : word;
        if (string_len(candidate) < typed ||
            std::char_traits<char16_t>::compare(candidate, temp_address(key_at), typed) != 0)
            continue;
        if (!words.empty()) words += u' ';
        words += word;
    }
    return words;
}

// Shows the words for the token before the caret, unless they are just the key already typed.
bool show_completion(ObjectNumber gadget, const std::u16string& words, std::int32_t key_at, int token_length,
                     bool fold) {
    {
        TempScope lowered;
        const char16_t* compared = fold ? string_lower(words.c_str(), temp_next_string()) : words.c_str();
        if (string_equal(compared, temp_address(key_at))) return false;
    }
    const std::int32_t bytes = string_byte_length(words.c_str(), TEXT_UTF8);
    char* encoded = static_cast<char*>(memory_allocate(bytes + 1));
    if (!encoded) return false;
    string_to_memory(encoded, words.c_str(), -1, TEXT_UTF8);
    scintilla_send(gadget, SCI_AUTOCSHOW, static_cast<std::uintptr_t>(token_length),
                   reinterpret_cast<std::intptr_t>(encoded));
    memory_free(encoded);
    return true;
}

}  // namespace

void update_completion(EditorRecord* record) {
    if (!record) return;
    const ObjectNumber gadget = record->gadget;
    const bool fold = !(record->flags & EDITOR_CASE_SENSITIVE);
    const std::intptr_t line_length = scintilla_send(gadget, SCI_GETCURLINE, 0, 0) - 1;
    if (line_length <= 0) {
        close_completion(gadget);
        return;
    }
    char* line = static_cast<char*>(memory_allocate(line_length + 1));
    if (!line) {
        close_completion(gadget);
        return;
    }
    const int caret = static_cast<int>(scintilla_send(
        gadget, SCI_GETCURLINE, static_cast<std::uintptr_t>(line_length + 1), reinterpret_cast<std::intptr_t>(line)));
    const CaretToken token = token_at_caret(record, line, static_cast<int>(line_length), caret);

    TempScope scope;
    string_from_memory(line + token.start, token.length, TEXT_UTF8, scope.start());
    memory_free(line);
    const std::int32_t typed = string_len(scope.text());
    bool shown = false;
    if (typed >= record->completion_threshold && (record->options & OPTION_AUTOCOMPLETE) && record->word_list.header) {
        std::int32_t key_at = scope.start();
        if (fold) {
            key_at = temp_next_string();
            string_lower(scope.text(), key_at);
        }
        const std::u16string words = completion_words(record, key_at, typed, fold);
        shown = !words.empty() && show_completion(gadget, words, key_at, token.length, fold);
    }
    if (!shown) close_completion(gadget);
}

void on_editor_change_end(ObjectNumber gadget, int removed) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return;
    if ((record->flags & EDITOR_LINE_NUMBERS) && scintilla_send(gadget, SCI_GETLINECOUNT) != record->numbered_lines)
        code_editor_update_line_numbers(gadget);
    if (removed && (record->options & (OPTION_AUTOCOMPLETE | OPTION_CALLTIPS))) update_completion(record);
}

std::intptr_t on_editor_notification(ObjectNumber gadget, const SCNotification* notification) {
    if (!notification) return 0;
    EditorRecord* record = editor_record_of(gadget);
    switch (notification->nmhdr.code) {
    case SCN_STYLENEEDED:
        if (record) style_needed(record, notification);
        break;
    case SCN_CHARADDED:
        if (!record) break;
        if (notification->ch == '\n' && (record->options & OPTION_AUTO_INDENT))
            auto_indent(record);
        else if (record->options & (OPTION_AUTOCOMPLETE | OPTION_CALLTIPS))
            update_completion(record);
        break;
    case SCN_MODIFIED:
        find_note_change(record, notification);
        names_note_change(record, notification);
        if (notification->linesAdded != 0) code_editor_update_line_numbers(gadget);
        if (record && (notification->modificationType & SC_MOD_DELETETEXT) &&
            (record->options & (OPTION_AUTOCOMPLETE | OPTION_CALLTIPS)))
            update_completion(record);
        break;
    case SCN_MARGINCLICK:
        if (record) margin_click(record, notification);
        break;
    case SCN_NEEDSHOWN:
        need_shown(gadget, notification);
        break;
    case SCN_ZOOM:
        // The zoom changes every font, so the numbers' width too.
        code_editor_update_line_numbers(gadget);
        break;
    case SCN_UPDATEUI:
        find_note_update(record);
        names_note_update(record, notification);
        break;
    case SCN_DWELLSTART:
    case SCN_DWELLEND:
        if (record) show_syntax_error_tip(record, notification);
        break;
    default:
        break;
    }
    if (record && record->notify_callback) record->notify_callback(gadget, notification);
    return 0;
}
