/** @file highlighter.cpp
 * The highlighting engine: restyling line ranges, the token rules, fold levels, and the
 * batching that sends a run's styles to the component in one message. */
#include <algorithm>
#include <cstring>

#include "editor/editor_internal.h"
#include "runtime/core/memory.h"

namespace {

constexpr int kStylingMask = 31;

bool is_blank(unsigned char byte) { return byte == ' ' || byte == '\t'; }
bool is_line_end(unsigned char byte) { return byte == '\r' || byte == '\n'; }

bool grow_styles(EditorAcceleration* acc, std::size_t needed) {
    if (needed <= acc->styles_capacity) return true;
    std::size_t capacity = acc->styles_capacity ? acc->styles_capacity * 2 : 65536;
    while (capacity < needed) capacity *= 2;
    void* block = heap_realloc(runtime_heap(), acc->styles, capacity);
    if (!block) return false;
    acc->styles = static_cast<char*>(block);
    acc->styles_capacity = capacity;
    return true;
}

// A line buffer that holds the whole line plus a NUL byte.
char* line_buffer(EditorAcceleration* acc, std::size_t length) {
    if (length + 1 > acc->line_capacity) {
        std::size_t capacity = length + 1 < 4096 ? 4096 : (length + 1) * 2;
        void* block = heap_realloc(runtime_heap(), acc->line, capacity);
        if (!block) return nullptr;
        acc->line = static_cast<char*>(block);
        acc->line_capacity = capacity;
    }
    return acc->line;
}

// Sets a line's fold level when it differs: the component keeps per-line levels only once one is
// set, and while it keeps none, inserting a large text into it is markedly faster.
void set_fold_level(ObjectNumber gadget, int line, int level) {
    if (scintilla_send(gadget, SCI_GETFOLDLEVEL, static_cast<std::uintptr_t>(line)) != level)
        scintilla_send(gadget, SCI_SETFOLDLEVEL, static_cast<std::uintptr_t>(line), level);
}

void send_batch(EditorRecord* record) {
    EditorAcceleration* acc = record->acceleration;
    if (acc->styles_length == 0) return;
    scintilla_send(record->gadget, SCI_SETSTYLINGEX, acc->styles_length, reinterpret_cast<std::intptr_t>(acc->styles));
    acc->styles_length = 0;
}

}  // namespace

void editor_set_styling(EditorRecord* record, int length, int style) {
    if (length <= 0) return;
    EditorAcceleration* acc = record->acceleration;
    if (acc) acc->run_styled_bytes += static_cast<std::size_t>(length);
    if (acc && acc->batching) {
        if (grow_styles(acc, acc->styles_length + static_cast<std::size_t>(length))) {
            std::memset(acc->styles + acc->styles_length, style, static_cast<std::size_t>(length));
            acc->styles_length += static_cast<std::size_t>(length);
            // Keep the batch bounded on huge documents; the styling position runs on.
            if (acc->styles_length >= (std::size_t{1} << 20)) send_batch(record);
            return;
        }
        send_batch(record);
        acc->batching = false;
    }
    scintilla_send(record->gadget, SCI_SETSTYLING, static_cast<std::uintptr_t>(length), style);
}

void editor_flush_styles(EditorRecord* record) {
    EditorAcceleration* acc = record->acceleration;
    if (!acc) return;
    send_batch(record);
    acc->batching = false;
}

bool is_separator(EditorRecord* record, unsigned char byte, WordEntry** entry) {
    EditorAcceleration* acc = record->acceleration;
    bool answer = acc && acc->byte_separator[byte];
    if (entry) *entry = answer ? acc->byte_entry[byte] : nullptr;
    return answer;
}

int scan_number(EditorRecord* record, const char* text, int length, int* digits) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    int taken = 0;
    int digit_count = 0;
    bool dot = false;
    if (digits) *digits = 0;
    while (taken < length) {
        unsigned char byte = p[taken];
        if (byte == '.') {
            if (dot) return 0;
            dot = true;
        } else if (byte >= '0' && byte <= '9') {
            ++digit_count;
        } else if (is_blank(byte) || is_separator(record, byte, nullptr)) {
            break;
        } else {
            return 0;
        }
        ++taken;
    }
    if (digits && taken) *digits = digit_count;
    return taken;
}

int style_next_token(EditorRecord* record, const char* text, int length, bool measure_only) {
    if (!record || length <= 0) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const bool sends = !measure_only;
    int n = 1;
    int style = record->pending_style;
    WordEntry* decisive = nullptr;
    WordEntry* entry = nullptr;

    if (is_blank(p[0])) {
        while (n < length && is_blank(p[n])) ++n;
    } else if (is_separator(record, p[0], &entry)) {
        if (sends) record->pending_style = STYLE_DEFAULT;
        style = entry ? entry->style : STYLE_DEFAULT;
        decisive = entry;
        int digits = 0;
        int number = p[0] == '.' ? scan_number(record, text, length, &digits) : 0;
        if (digits != 0) {
            n = number;
            style = record->number_style;
        } else if (n < length && entry) {
            if (entry->flags & WORD_SPAN) {
                const unsigned char open = p[0];
                int depth = 1;
                while (n < length && depth > 0) {
                    ++n;
                    unsigned char byte = p[n - 1];
                    if (byte == entry->close_char) {
                        --depth;
                    } else if (byte == open) {
                        ++depth;
                    } else if (is_line_end(byte)) {
                        --n;
                        break;
                    }
                }
            } else if (entry->flags & WORD_TO_LINE_END) {
                n = length;
                while (n > 1 && is_line_end(p[n - 1])) --n;
            } else if (entry->flags & (WORD_STYLE_NEXT | WORD_STYLE_NEXT_ADJACENT)) {
                if (!is_blank(p[1]) || (entry->flags & WORD_STYLE_NEXT)) {
                    if (sends) record->pending_style = entry->style;
                }
            }
        }
    } else {
        int digits = 0;
        int number = scan_number(record, text, length, &digits);
        if (number != 0) {
            if (sends) record->pending_style = STYLE_DEFAULT;
            n = number;
            style = record->number_style;
        } else {
            WordEntry* follower = nullptr;
            bool ended_at_separator = false;
            while (n < length && !is_blank(p[n])) {
                if (is_separator(record, p[n], &follower)) {
                    ended_at_separator = true;
                    break;
                }
                ++n;
            }
            WordEntry* word = editor_find_word_bytes(record, text, n);
            decisive = word;
            EditorAcceleration* acc = record->acceleration;
            if (record->pending_style != STYLE_DEFAULT) {
                if (sends) record->pending_style = STYLE_DEFAULT;
            } else if (word) {
                if (sends) record->pending_style = STYLE_DEFAULT;
                style = word->style;
            } else if (WordEntry* first = acc ? acc->byte_entry[p[0]] : nullptr) {
                if (first->flags & (WORD_STYLE_NEXT | WORD_STYLE_NEXT_ADJACENT)) {
                    if (sends) record->pending_style = STYLE_DEFAULT;
                    style = first->style;
                }
                decisive = nullptr;
            } else if (WordEntry* last = acc ? acc->byte_entry[p[n - 1]] : nullptr) {
                if (last->flags & (WORD_STYLE_BEFORE | WORD_STYLE_BEFORE_ADJACENT)) {
                    if (sends) record->pending_style = STYLE_DEFAULT;
                    style = last->style;
                }
                decisive = nullptr;
            } else {
                int skip = 0;
                if (!(ended_at_separator && follower)) {
                    follower = nullptr;
                    while (n + skip < length && is_blank(p[n + skip])) ++skip;
                    if (n + skip < length) is_separator(record, p[n + skip], &follower);
                }
                if (follower && (follower->flags & (WORD_STYLE_BEFORE | WORD_STYLE_BEFORE_ADJACENT)) &&
                    ((follower->flags & WORD_STYLE_BEFORE) || skip == 0)) {
                    n += skip;
                    style = follower->style;
                }
                decisive = nullptr;
            }
        }
    }

    if (sends) {
        if (!(record->options & OPTION_STYLING)) style = STYLE_DEFAULT;
        editor_set_styling(record, n, style);
        if (decisive) {
            std::uint32_t flags = decisive->flags;
            if ((flags & WORD_FOLD_OPEN) || ((flags & WORD_FOLD_OPEN_ONCE) && record->fold_delta == 0))
                ++record->fold_delta;
            if ((flags & WORD_FOLD_CLOSE) && (record->fold_level > SC_FOLDLEVELBASE || record->fold_delta != 0))
                --record->fold_delta;
        }
    }
    return n;
}

int code_editor_style_token(ObjectNumber gadget, const char* text, int length) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record || length <= 0) return 0;
    if (record->last_token_end != text) record->pending_style = STYLE_DEFAULT;
    int n = style_next_token(record, text, length, false);
    record->last_token_end = text + n;
    return n;
}

int default_line_styler(ObjectNumber gadget, const char* text, int length) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return 0;
    while (length > 0) {
        int n = style_next_token(record, text, length, false);
        if (n <= 0) break;
        text += n;
        length -= n;
    }
    return 0;
}

namespace {

// One run over lines first to last (see code_editor_restyle_lines).
void restyle_run(EditorRecord* record, int first_line, int last_line, std::intptr_t end_position) {
    const ObjectNumber gadget = record->gadget;
    EditorAcceleration* acc = record->acceleration;
    const int count = static_cast<int>(scintilla_send(gadget, SCI_GETLINECOUNT));
    if (last_line == -1 || last_line >= count) last_line = count - 1;
    const int run_last = last_line;
    if (first_line < 0) first_line = 0;
    if (first_line == 0) {
        record->fold_level = SC_FOLDLEVELBASE;
    } else {
        first_line -= 1;
        record->fold_level =
            static_cast<int>(scintilla_send(gadget, SCI_GETFOLDLEVEL, first_line)) & SC_FOLDLEVELNUMBERMASK;
    }
    const std::intptr_t start = scintilla_send(gadget, SCI_POSITIONFROMLINE, first_line);
    std::intptr_t remaining = end_position - start;

    scintilla_send(gadget, SCI_STARTSTYLING, static_cast<std::uintptr_t>(start), kStylingMask);
    // Our own stylers style only through the engine, so their runs can be batched; a
    // foreign styler may send SCI_SETSTYLING itself and is served run by run.
    const LineStyler styler = record->line_styler;
    acc->batching = styler == nullptr || styler == javascript_line_styler;
    acc->run_line_count = count;
    acc->run_styled_bytes = 0;

    const bool folding = (record->options & (OPTION_FOLDING | OPTION_FOLD_ANY_LINE)) != 0;
    int styler_result = 0;
    for (int line = first_line; line <= last_line; ++line) {
        record->last_token_end = nullptr;
        record->pending_style = STYLE_DEFAULT;
        record->fold_delta = 0;
        const std::intptr_t full_length = scintilla_send(gadget, SCI_LINELENGTH, line);
        std::intptr_t length = full_length;
        if (styler_result != 1 && end_position != -1 && length > remaining) length = remaining;
        remaining -= length;
        if (length >= 1) {
            char* buffer = line_buffer(acc, static_cast<std::size_t>(full_length));
            if (buffer) {
                std::intptr_t fetched = scintilla_send(gadget, SCI_GETLINE, line, reinterpret_cast<std::intptr_t>(buffer));
                buffer[fetched > 0 ? fetched : 0] = 0;
                if (fetched != 0) {
                    if (styler) {
                        styler_result = styler(gadget, buffer, static_cast<int>(length), line, first_line, run_last);
                        // A changed end state is carried only to the end of the requested
                        // range: the component asks again for the lines below when it needs
                        // them, and that run starts from the state stored here.
                        last_line = run_last;
                    } else {
                        default_line_styler(gadget, buffer, static_cast<int>(length));
                    }
                }
            }
        }
        if (folding) {
            int level = record->fold_level;
            if (record->fold_delta >= 1) level |= SC_FOLDLEVELHEADERFLAG;
            set_fold_level(gadget, line, level);
            record->fold_level += record->fold_delta;
            if (record->fold_level < SC_FOLDLEVELBASE) record->fold_level = SC_FOLDLEVELBASE;
            // Beyond the level number's 12 bits a level would run into the flag bits, and a
            // later run, re-seeded from the stored number, would disagree with this one.
            if (record->fold_level > SC_FOLDLEVELNUMBERMASK) record->fold_level = SC_FOLDLEVELNUMBERMASK;
        } else {
            set_fold_level(gadget, line, 0);
        }
    }
    editor_flush_styles(record);
    acc->run_line_count = 0;
}

}  // namespace

void code_editor_restyle_lines(ObjectNumber gadget, int first_line, int last_line, std::intptr_t end_position) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record || !record->acceleration) return;
    EditorAcceleration* acc = record->acceleration;
    // A request from inside a run (an owner's callback restyling from a notification that the
    // run raised) would move the styling position under the running one: it waits until the
    // run ends, merged with any other request made meanwhile.
    if (acc->running) {
        if (!acc->deferred) {
            acc->deferred = true;
            acc->deferred_first = first_line;
            acc->deferred_last = last_line;
            acc->deferred_end = end_position;
        } else {
            acc->deferred_first = std::min(acc->deferred_first, first_line);
            acc->deferred_last = (acc->deferred_last == -1 || last_line == -1) ? -1 : std::max(acc->deferred_last, last_line);
            acc->deferred_end = (acc->deferred_end == -1 || end_position == -1) ? -1 : std::max(acc->deferred_end, end_position);
        }
        return;
    }
    acc->running = true;
    restyle_run(record, first_line, last_line, end_position);
    while (acc->deferred) {
        acc->deferred = false;
        restyle_run(record, acc->deferred_first, acc->deferred_last, acc->deferred_end);
    }
    acc->running = false;
}
