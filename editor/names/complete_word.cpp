/** @file complete_word.cpp
 * The names of the whole text, gathered in slices once typing pauses, and Complete Word's list
 * made of them, of the lines on screen, of the declared names and of the keywords. */
#include <algorithm>

#include "editor/names/names_internal.h"
#include "editor/theme.h"
#include "runtime/core/list.h"
#include "runtime/core/strings.h"
#include "runtime/ui/event.h"

namespace {

// The quiet time after a change before the names are gathered again, and the length of each slice.
constexpr int GATHER_PAUSE_MS = 500;
constexpr double GATHER_SLICE_MS = 4.0;
constexpr std::intptr_t GATHER_SLICE_BYTES = 256 * 1024;
// The most of the lines on screen read afresh by Complete Word.
constexpr std::intptr_t SCREEN_BYTES = 256 * 1024;

double ms_since(NamesClock::time_point start) {
    return std::chrono::duration<double, std::milli>(NamesClock::now() - start).count();
}

NamesState* state_of(ObjectNumber gadget) {
    EditorRecord* record = editor_record_of(gadget);
    return record ? record->names : nullptr;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether the lower-case spelling of the name's first word.size() bytes comes before the word's.
bool prefix_before(const std::string& name, std::string_view word) {
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (i >= name.size()) return true;
        if (lower(name[i]) != lower(word[i])) return lower(name[i]) < lower(word[i]);
    }
    return false;
}

// The start of the line after `position` (or the end of the text).
std::intptr_t next_line_start(ObjectNumber gadget, std::intptr_t position, std::intptr_t length) {
    if (position >= length) return length;
    const std::intptr_t line = names_send(gadget, SCI_LINEFROMPOSITION, position);
    return std::min(length, names_send(gadget, SCI_POSITIONFROMLINE, line + 1));
}

void finish_gathering(NamesState& state) {
    state.table.assign(state.gathered.begin(), state.gathered.end());
    std::sort(state.table.begin(), state.table.end(),
              [](const std::string& a, const std::string& b) { return name_before(a, b); });
    state.gathered = {};
    state.table_current = true;
    state.gathering = NamesState::Gathering::IDLE;
}

// Scans slices until the text ends or the slice's time is up.
void gather_slice(ObjectNumber gadget, NamesState& state) {
    const auto started = NamesClock::now();
    const std::intptr_t length = names_send(gadget, SCI_GETLENGTH);
    std::string scratch;
    std::vector<std::string_view> names;
    while (state.next < length) {
        const std::intptr_t end =
            next_line_start(gadget, std::min(length, state.next + GATHER_SLICE_BYTES) - 1, length);
        names.clear();
        state.next_state =
            scan_names(names_component_bytes(gadget, state.next, end, &scratch), state.next_state, &names);
        for (std::string_view name : names) state.gathered.emplace(name);
        state.next = end;
        if (ms_since(started) > GATHER_SLICE_MS) return;
    }
    finish_gathering(state);
}

// The word of name bytes that ends at the caret, within its line.
std::string word_before_caret(ObjectNumber gadget) {
    const std::intptr_t caret = names_send(gadget, SCI_GETCURRENTPOS);
    const std::intptr_t line_start =
        names_send(gadget, SCI_POSITIONFROMLINE, names_send(gadget, SCI_LINEFROMPOSITION, caret));
    std::intptr_t start = caret;
    while (start > line_start && is_name_byte(static_cast<unsigned char>(names_send(gadget, SCI_GETCHARAT, start - 1))))
        --start;
    std::string scratch;
    return std::string(names_component_bytes(gadget, start, caret, &scratch));
}

// The gathered names that begin with the word, ignoring case.
std::vector<std::string_view> table_matches(const NamesState& state, std::string_view word) {
    std::vector<std::string_view> matches;
    auto at = std::lower_bound(state.table.begin(), state.table.end(), word, prefix_before);
    for (; at != state.table.end() && name_begins_with(*at, word); ++at) matches.push_back(*at);
    return matches;
}

// The keywords of the editor's completion list, as UTF-8.
std::vector<std::string> keywords_of(EditorRecord* record) {
    std::vector<std::string> keywords;
    if (!record->word_list.header) return keywords;
    LinkedList* list = record->word_list.header;
    list_reset(list);
    while (auto* entry = static_cast<WordEntry*>(list_next(list))) {
        if (!(entry->flags & WORD_AUTOCOMPLETE) || !entry->word) continue;
        const std::int32_t bytes = string_byte_length(entry->word, TEXT_UTF8);
        std::string word(static_cast<std::size_t>(bytes), '\0');
        string_to_memory(word.data(), entry->word, -1, TEXT_UTF8);
        keywords.push_back(std::move(word));
    }
    return keywords;
}

void show_list(ObjectNumber gadget, std::size_t word_length, const std::vector<std::string>& entries) {
    std::string list;
    for (const std::string& entry : entries) {
        if (!list.empty()) list += ' ';
        list += entry;
    }
    // The entries keep their order; the editor's own keyword list is sorted and keeps its own.
    const std::intptr_t order = names_send(gadget, SCI_AUTOCGETORDER);
    names_send(gadget, SCI_AUTOCSETORDER, SC_ORDER_CUSTOM);
    names_send(gadget, SCI_AUTOCSHOW, static_cast<std::intptr_t>(word_length),
               reinterpret_cast<std::intptr_t>(list.c_str()));
    names_send(gadget, SCI_AUTOCSETORDER, order);
}

}  // namespace

std::string_view names_component_bytes(ObjectNumber gadget, std::intptr_t start, std::intptr_t end,
                                       std::string* scratch) {
    if (end <= start) return {};
    const std::intptr_t gap = names_send(gadget, SCI_GETGAPPOSITION);
    auto in_place = [&](std::intptr_t from, std::intptr_t to) {
        const auto* bytes = reinterpret_cast<const char*>(names_send(gadget, SCI_GETRANGEPOINTER, from, to - from));
        return bytes ? std::string_view(bytes, static_cast<std::size_t>(to - from)) : std::string_view();
    };
    if (end <= gap || start >= gap) return in_place(start, end);
    scratch->assign(in_place(start, gap));
    scratch->append(in_place(gap, end));
    return *scratch;
}

NamesSpan names_screen_span(ObjectNumber gadget, std::intptr_t most) {
    const std::intptr_t top = names_send(gadget, SCI_GETFIRSTVISIBLELINE);
    const std::intptr_t page = std::max<std::intptr_t>(1, names_send(gadget, SCI_LINESONSCREEN));
    const std::intptr_t first = names_send(gadget, SCI_DOCLINEFROMVISIBLE, top);
    const std::intptr_t last = names_send(gadget, SCI_DOCLINEFROMVISIBLE, top + page);
    const std::intptr_t length = names_send(gadget, SCI_GETLENGTH);
    NamesSpan span{
        names_send(gadget, SCI_POSITIONFROMLINE, first),
        last + 1 < names_send(gadget, SCI_GETLINECOUNT) ? names_send(gadget, SCI_POSITIONFROMLINE, last + 1) : length};
    if (span.end - span.start > most) {
        const std::intptr_t caret = names_send(gadget, SCI_GETCURRENTPOS);
        span.start = std::clamp(caret - most / 2, span.start, span.end - most);
        span.end = span.start + most;
    }
    return span;
}

void names_start(ObjectNumber gadget, bool occurrences) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return;
    if (!record->names) {
        record->names = new NamesState;
        // The colour tables were handed out before the names had a state to keep theirs in.
        if (record->theme_colours) record->names->colour = theme_table(record->theme_kind).occurrence_mark;
        occurrences_configure(gadget, *record->names);
    }
    code_editor_set_occurrences(gadget, occurrences);
}

void names_note_change(EditorRecord* record, const SCNotification* notification) {
    NamesState* state = record ? record->names : nullptr;
    if (!state || !(notification->modificationType & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE))) return;
    state->table_current = false;
    state->text_changed = true;
    // A change raises no event: a loop waiting for one is told to look at the new due time.
    if (state->gathering == NamesState::Gathering::IDLE) event_wake();
    state->gathering = NamesState::Gathering::WAITING;
    state->changed_at = NamesClock::now();
}

void names_release(EditorRecord* record) {
    delete record->names;
    record->names = nullptr;
}

int names_wait_time(ObjectNumber gadget) {
    const NamesState* state = state_of(gadget);
    if (!state) return -1;
    int wait = occurrences_wait_time(*state);
    int gather = -1;
    if (state->gathering == NamesState::Gathering::RUNNING) gather = 0;
    if (state->gathering == NamesState::Gathering::WAITING)
        gather = std::max(0, GATHER_PAUSE_MS - static_cast<int>(ms_since(state->changed_at)));
    if (gather >= 0) wait = wait < 0 ? gather : std::min(wait, gather);
    return wait;
}

void names_tick(ObjectNumber gadget) {
    NamesState* state = state_of(gadget);
    if (!state) return;
    occurrences_tick(gadget, *state);
    if (state->gathering == NamesState::Gathering::WAITING && ms_since(state->changed_at) >= GATHER_PAUSE_MS) {
        state->gathering = NamesState::Gathering::RUNNING;
        state->next = 0;
        state->next_state = NameScanState::CODE;
        state->gathered.clear();
    }
    if (state->gathering == NamesState::Gathering::RUNNING) gather_slice(gadget, *state);
}

bool names_gathered(ObjectNumber gadget) {
    const NamesState* state = state_of(gadget);
    return state && state->gathering == NamesState::Gathering::IDLE && state->table_current;
}

bool code_editor_complete_word(ObjectNumber gadget, const std::vector<std::string_view>& declared) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return false;
    const std::string word = word_before_caret(gadget);
    std::vector<std::string_view> names;
    if (record->names) names = table_matches(*record->names, word);
    // The lines on screen as they are now: a name typed since the last gathering is offered too.
    const NamesSpan screen = names_screen_span(gadget, SCREEN_BYTES);
    const std::intptr_t first_line = names_send(gadget, SCI_LINEFROMPOSITION, screen.start);
    const NameScanState state =
        first_line > 0 && code_editor_get_line_state(gadget, static_cast<int>(first_line - 1)) == LINE_STATE_IN_COMMENT
            ? NameScanState::BLOCK_COMMENT
            : NameScanState::CODE;
    std::string scratch;
    scan_names(names_component_bytes(gadget, screen.start, screen.end, &scratch), state, &names);
    const std::vector<std::string> keywords = keywords_of(record);
    const std::vector<std::string> entries =
        completion_entries(word, declared, names, std::vector<std::string_view>(keywords.begin(), keywords.end()));
    if (entries.empty()) {
        if (names_send(gadget, SCI_AUTOCACTIVE)) names_send(gadget, SCI_AUTOCCANCEL);
        return false;
    }
    show_list(gadget, word.size(), entries);
    return true;
}
