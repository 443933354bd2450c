/** @file highlighter.cpp
 * The highlighting engine: restyling line ranges with the run's styling context on its stack,
 * the token rules (which decide a token apart from styling it, so measuring shares them), fold
 * levels, and the batching that sends a run's styles to the component in one message. */
#include <algorithm>
#include <cstring>

#include "editor/editor_internal.h"
#include "runtime/core/memory.h"

namespace {

constexpr int STYLING_MASK = 31;

// A batch of styles goes to the component once it holds this many, so that it stays bounded on
// huge documents (the styling position runs on from one message to the next).
constexpr std::size_t BATCH_LIMIT = std::size_t{1} << 20;

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
            if (acc->styles_length >= BATCH_LIMIT) send_batch(record);
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

namespace {

// What the token rules decide for the token at the start of a text. Deciding has no effect of
// its own: styling applies it, measuring keeps only the length.
struct Token {
    int length;
    int style;
    WordEntry* decisive;   // the entry whose fold flags count, or null
    std::int32_t pending;  // the pending style once the token is styled
};

// Spaces and tabs: they take the pending style and leave it pending.
Token blank_run(const unsigned char* p, int length, std::int32_t pending) {
    int n = 1;
    while (n < length && is_blank(p[n])) ++n;
    return {n, pending, nullptr, pending};
}

// A span opened by a WORD_SPAN entry: up to and including its closing byte, the opening byte
// nesting it, or up to the line end when it does not close on the line.
int span_length(const unsigned char* p, int length, const WordEntry& entry) {
    const unsigned char open = p[0];
    int n = 1;
    int depth = 1;
    while (n < length && depth > 0) {
        const unsigned char byte = p[n++];
        if (byte == entry.close_char) {
            --depth;
        } else if (byte == open) {
            ++depth;
        } else if (is_line_end(byte)) {
            return n - 1;
        }
    }
    return n;
}

// A span opened by a WORD_TO_LINE_END entry: the rest of the line, its line end excluded.
int to_line_end_length(const unsigned char* p, int length) {
    int n = length;
    while (n > 1 && is_line_end(p[n - 1])) --n;
    return n;
}

// A separator: one byte in its entry's style, or the span or number it opens. A separator
// with a passing flag hands its style on to what follows.
Token separator_token(EditorRecord& record, const unsigned char* p, int length, WordEntry* entry) {
    Token token{1, entry ? entry->style : STYLE_DEFAULT, entry, STYLE_DEFAULT};
    if (p[0] == '.') {
        int digits = 0;
        const int number = scan_number(&record, reinterpret_cast<const char*>(p), length, &digits);
        if (digits != 0) {
            token.length = number;
            token.style = record.number_style;
            return token;
        }
    }
    if (length == 1 || !entry) return token;
    if (entry->flags & WORD_SPAN) {
        token.length = span_length(p, length, *entry);
    } else if (entry->flags & WORD_TO_LINE_END) {
        token.length = to_line_end_length(p, length);
    } else if ((entry->flags & WORD_STYLE_NEXT) || ((entry->flags & WORD_STYLE_NEXT_ADJACENT) && !is_blank(p[1]))) {
        token.pending = entry->style;
    }
    return token;
}

// The style a word without an entry of its own takes from its first or last byte, or from the
// separator behind it; the blanks before that separator may join the word.
Token unknown_word(EditorRecord& record, const unsigned char* p, int length, int n, WordEntry* follower) {
    const EditorAcceleration* acc = record.acceleration;
    Token token{n, STYLE_DEFAULT, nullptr, STYLE_DEFAULT};
    // A first or last byte with an entry decides alone, whether or not it passes a style.
    if (const WordEntry* first = acc ? acc->byte_entry[p[0]] : nullptr) {
        if (first->flags & (WORD_STYLE_NEXT | WORD_STYLE_NEXT_ADJACENT)) token.style = first->style;
        return token;
    }
    if (const WordEntry* last = acc ? acc->byte_entry[p[n - 1]] : nullptr) {
        if (last->flags & (WORD_STYLE_BEFORE | WORD_STYLE_BEFORE_ADJACENT)) token.style = last->style;
        return token;
    }
    int skip = 0;
    if (!follower) {
        while (n + skip < length && is_blank(p[n + skip])) ++skip;
        if (n + skip < length) is_separator(&record, p[n + skip], &follower);
    }
    if (follower &&
        ((follower->flags & WORD_STYLE_BEFORE) || ((follower->flags & WORD_STYLE_BEFORE_ADJACENT) && skip == 0))) {
        token.length = n + skip;
        token.style = follower->style;
    }
    return token;
}

// A word: up to the next blank or separator. A pending style wins; then its own entry.
Token word_token(EditorRecord& record, const unsigned char* p, int length, std::int32_t pending) {
    int n = 1;
    WordEntry* follower = nullptr;  // the entry of the separator that ends the word
    while (n < length && !is_blank(p[n]) && !is_separator(&record, p[n], &follower)) ++n;
    WordEntry* word = editor_find_word_bytes(&record, reinterpret_cast<const char*>(p), n);
    if (pending != STYLE_DEFAULT) return {n, pending, word, STYLE_DEFAULT};
    if (word) return {n, word->style, word, STYLE_DEFAULT};
    return unknown_word(record, p, length, n, follower);
}

// The first rule that applies decides: blanks, a separator, a number, a word.
Token next_token(EditorRecord& record, std::int32_t pending, const char* text, int length) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    if (is_blank(p[0])) return blank_run(p, length, pending);
    WordEntry* entry = nullptr;
    if (is_separator(&record, p[0], &entry)) return separator_token(record, p, length, entry);
    int digits = 0;
    if (const int number = scan_number(&record, text, length, &digits))
        return {number, record.number_style, nullptr, STYLE_DEFAULT};
    return word_token(record, p, length, pending);
}

// A token's fold flags change the line's fold level; a close never takes it below the base.
void count_folds(StyleContext& context, std::uint32_t flags) {
    if ((flags & WORD_FOLD_OPEN) || ((flags & WORD_FOLD_OPEN_ONCE) && context.fold_delta == 0)) ++context.fold_delta;
    if ((flags & WORD_FOLD_CLOSE) && (context.fold_level > SC_FOLDLEVELBASE || context.fold_delta != 0))
        --context.fold_delta;
}

}  // namespace

int style_next_token(StyleContext& context, const char* text, int length) {
    if (length <= 0) return 0;
    EditorRecord& record = context.record;
    const Token token = next_token(record, context.pending_style, text, length);
    context.pending_style = token.pending;
    editor_set_styling(&record, token.length, (record.options & OPTION_STYLING) ? token.style : STYLE_DEFAULT);
    if (token.decisive) count_folds(context, token.decisive->flags);
    return token.length;
}

int measure_next_token(EditorRecord* record, const char* text, int length) {
    if (!record || length <= 0) return 0;
    return next_token(*record, STYLE_DEFAULT, text, length).length;
}

StyleContext editor_context_outside_run(EditorRecord& record) {
    return {record, SC_FOLDLEVELBASE, 0, STYLE_DEFAULT, nullptr};
}

int editor_style_token(StyleContext& context, const char* text, int length) {
    if (length <= 0) return 0;
    if (context.last_token_end != text) context.pending_style = STYLE_DEFAULT;
    const int n = style_next_token(context, text, length);
    context.last_token_end = text + n;
    return n;
}

int code_editor_style_token(ObjectNumber gadget, const char* text, int length) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record || length <= 0) return 0;
    return editor_with_context(*record,
                               [&](StyleContext& context) { return editor_style_token(context, text, length); });
}

namespace {

// Every token of the line through the token rules.
void style_tokens(StyleContext& context, const char* text, int length) {
    while (length > 0) {
        const int n = style_next_token(context, text, length);
        if (n <= 0) break;
        text += n;
        length -= n;
    }
}

}  // namespace

int default_line_styler(ObjectNumber gadget, const char* text, int length) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return 0;
    editor_with_context(*record, [&](StyleContext& context) { style_tokens(context, text, length); });
    return 0;
}

namespace {

// Sets the fold level of a styled line (its level before its own openings and closings, a
// header when it opens more than it closes) and carries the level on to the next line.
void fold_line(StyleContext& context, int line, bool folding) {
    const ObjectNumber gadget = context.record.gadget;
    if (!folding) {
        set_fold_level(gadget, line, 0);
        return;
    }
    int level = context.fold_level;
    if (context.fold_delta >= 1) level |= SC_FOLDLEVELHEADERFLAG;
    set_fold_level(gadget, line, level);
    // Beyond the level number's 12 bits a level would run into the flag bits, and a later run,
    // re-seeded from the stored number, would disagree with this one.
    context.fold_level = std::clamp(context.fold_level + context.fold_delta, SC_FOLDLEVELBASE, SC_FOLDLEVELNUMBERMASK);
}

// One run over lines first to last (see code_editor_restyle_lines).
void restyle_run(EditorRecord& record, int first_line, int last_line, std::intptr_t end_position) {
    const ObjectNumber gadget = record.gadget;
    EditorAcceleration* acc = record.acceleration;
    const int count = static_cast<int>(scintilla_send(gadget, SCI_GETLINECOUNT));
    if (last_line == -1 || last_line >= count) last_line = count - 1;
    const int run_last = last_line;
    if (first_line < 0) first_line = 0;
    StyleContext context = editor_context_outside_run(record);
    if (first_line > 0) {
        first_line -= 1;
        context.fold_level =
            static_cast<int>(scintilla_send(gadget, SCI_GETFOLDLEVEL, first_line)) & SC_FOLDLEVELNUMBERMASK;
    }
    const std::intptr_t start = scintilla_send(gadget, SCI_POSITIONFROMLINE, first_line);
    std::intptr_t remaining = end_position - start;

    scintilla_send(gadget, SCI_STARTSTYLING, static_cast<std::uintptr_t>(start), STYLING_MASK);
    // A styler that may send SCI_SETSTYLING itself is served run by run.
    const LineStyler styler = record.line_styler;
    acc->batching = styler == nullptr || record.line_styler_batchable;
    acc->run_line_count = count;
    acc->run_styled_bytes = 0;
    acc->run_context = &context;

    const bool folding = (record.options & (OPTION_FOLDING | OPTION_FOLD_ANY_LINE)) != 0;
    int styler_result = 0;
    for (int line = first_line; line <= last_line; ++line) {
        context.last_token_end = nullptr;
        context.pending_style = STYLE_DEFAULT;
        context.fold_delta = 0;
        const std::intptr_t full_length = scintilla_send(gadget, SCI_LINELENGTH, line);
        std::intptr_t length = full_length;
        if (styler_result != LINE_STYLER_STATE_CHANGED && end_position != -1 && length > remaining) length = remaining;
        remaining -= length;
        char* buffer = length >= 1 ? line_buffer(acc, static_cast<std::size_t>(full_length)) : nullptr;
        if (buffer) {
            const std::intptr_t fetched =
                scintilla_send(gadget, SCI_GETLINE, line, reinterpret_cast<std::intptr_t>(buffer));
            buffer[fetched > 0 ? fetched : 0] = 0;
            if (fetched != 0 && styler) {
                styler_result = styler(gadget, buffer, static_cast<int>(length), line, first_line, run_last);
                // A changed end state is carried only to the end of the requested range: the
                // component asks again for the lines below when it needs them, and that run
                // starts from the state stored here.
                last_line = run_last;
            } else if (fetched != 0) {
                style_tokens(context, buffer, static_cast<int>(length));
            }
        }
        fold_line(context, line, folding);
    }
    editor_flush_styles(&record);
    acc->run_line_count = 0;
    acc->run_context = nullptr;
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
            acc->deferred_last =
                (acc->deferred_last == -1 || last_line == -1) ? -1 : std::max(acc->deferred_last, last_line);
            acc->deferred_end =
                (acc->deferred_end == -1 || end_position == -1) ? -1 : std::max(acc->deferred_end, end_position);
        }
        return;
    }
    acc->running = true;
    restyle_run(*record, first_line, last_line, end_position);
    while (acc->deferred) {
        acc->deferred = false;
        restyle_run(*record, acc->deferred_first, acc->deferred_last, acc->deferred_end);
    }
    acc->running = false;
}
