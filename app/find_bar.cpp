/** @file find_bar.cpp
 * The find bar: toolkit gadgets in rows that wrap to the code editor's width, laid out by
 * bar_layout, their events turned into calls of editor/search/find.h. */
#include "app/find_bar.h"

#include <algorithm>
#include <vector>

#include "app/application.h"
#include "app/messages.h"
#include "editor/code_editor.h"
#include "editor/search/find.h"
#include "runtime/core/strings.h"
#include "runtime/ui/event.h"
#include "runtime/ui/gadget.h"

namespace {

enum class Kind { LABEL, FIELD, BUTTON, TOGGLE, MESSAGE };
enum Row { FIND_ROW, REPLACE_ROW, OPTIONS_ROW };

struct BarGadget {
    ObjectNumber number;
    Kind kind;
    const char16_t* text;
    Row row;
    int width;  // the least width; fields and messages take a share of what is left
};

// In the order of their rows and of Tab, which goes on from the code editor to the bar's
// fields, buttons and toggles.
constexpr BarGadget bar_gadgets[] = {
    {GADGET_FIND_LABEL, Kind::LABEL, u"Find", FIND_ROW, 64},
    {GADGET_FIND_FIELD, Kind::FIELD, u"", FIND_ROW, 160},
    {GADGET_FIND_PREVIOUS, Kind::BUTTON, u"Previous", FIND_ROW, 80},
    {GADGET_FIND_NEXT, Kind::BUTTON, u"Next", FIND_ROW, 80},
    {GADGET_FIND_MESSAGE, Kind::MESSAGE, u"", FIND_ROW, 160},
    {GADGET_FIND_CLOSE, Kind::BUTTON, u"Close", FIND_ROW, 64},
    {GADGET_REPLACE_LABEL, Kind::LABEL, u"Replace", REPLACE_ROW, 64},
    {GADGET_REPLACE_FIELD, Kind::FIELD, u"", REPLACE_ROW, 160},
    {GADGET_REPLACE_ONE, Kind::BUTTON, u"Replace", REPLACE_ROW, 80},
    {GADGET_REPLACE_ALL, Kind::BUTTON, u"Replace All", REPLACE_ROW, 90},
    {GADGET_MATCH_CASE, Kind::TOGGLE, u"Match case", OPTIONS_ROW, 100},
    {GADGET_WHOLE_WORD, Kind::TOGGLE, u"Whole word", OPTIONS_ROW, 100},
    {GADGET_REGULAR_EXPRESSION, Kind::TOGGLE, u"Regular expression", OPTIONS_ROW, 150},
    {GADGET_IN_SELECTION, Kind::TOGGLE, u"In selection", OPTIONS_ROW, 100},
    {GADGET_GO_TO_LABEL, Kind::LABEL, u"Go to line", OPTIONS_ROW, 76},
    {GADGET_GO_TO_FIELD, Kind::FIELD, u"", OPTIONS_ROW, 90},
    {GADGET_GO_TO_MESSAGE, Kind::MESSAGE, u"", OPTIONS_ROW, 120},
};

constexpr int ROW_HEIGHT = 26;
constexpr int GAP = 4;
// Labels draw their text from the top: this far down, it stands level with the fields' text.
constexpr int TEXT_DROP = 3;

struct FindBar {
    bool shown = false;
    bool replacing = false;
};

FindBar the_bar;

bool visible(const BarGadget& gadget) { return the_bar.shown && (gadget.row != REPLACE_ROW || the_bar.replacing); }

// The least width of a gadget in a bar of that width: a message asks for its whole text, so that a
// long one moves to a row with the room for it.
int least_width(const BarGadget& gadget, int bar_width) {
    if (gadget.kind != Kind::MESSAGE) return gadget.width;
    return std::max(gadget.width, std::min(gadget_text_width(gadget.number), bar_width));
}

// The rows of the gadgets that show in a bar of that width, and which gadget each place is for.
std::vector<BarItem> bar_items(int width, std::vector<ObjectNumber>* numbers) {
    std::vector<BarItem> items;
    Row row = FIND_ROW;
    for (const BarGadget& gadget : bar_gadgets) {
        if (!visible(gadget)) continue;
        const bool grows = gadget.kind == Kind::FIELD || gadget.kind == Kind::MESSAGE;
        items.push_back({least_width(gadget, width), grows, !items.empty() && gadget.row != row});
        row = gadget.row;
        if (numbers) numbers->push_back(gadget.number);
    }
    return items;
}

std::u16string text_of(ObjectNumber gadget) {
    TempScope scope;
    const char16_t* text = gadget_get_text(gadget, scope.start());
    return text ? std::u16string(text) : std::u16string();
}

void set_utf8(ObjectNumber gadget, const std::string& text) {
    TempScope scope;
    string_from_memory(text.data(), std::int32_t(text.size()), TEXT_UTF8, scope.start());
    gadget_set_text(gadget, scope.text());
}

FindQuery query_of_bar() {
    FindQuery query;
    query.pattern = gadget_text_utf8(GADGET_FIND_FIELD);
    query.match_case = gadget_get_state(GADGET_MATCH_CASE) != 0;
    query.whole_word = gadget_get_state(GADGET_WHOLE_WORD) != 0;
    query.regex = gadget_get_state(GADGET_REGULAR_EXPRESSION) != 0;
    query.in_selection = gadget_get_state(GADGET_IN_SELECTION) != 0;
    return query;
}

// A message of the bar: the bar is laid out again, so that one longer than its place moves to a
// row with the room for it (and a shorter one back).
void set_message(ObjectNumber gadget, const std::u16string& text) {
    if (text_of(gadget) == text) return;
    gadget_set_text(gadget, text.c_str());
    if (the_bar.shown) main_window_lay_out();
}

void set_message_utf8(ObjectNumber gadget, const std::string& text) {
    std::u16string converted;
    {
        TempScope scope;
        string_from_memory(text.data(), std::int32_t(text.size()), TEXT_UTF8, scope.start());
        converted = scope.text();
    }
    set_message(gadget, converted);
}

// The report in the bar's words; a move that came round the end says so.
void show(const FindReport& report) {
    std::string text = find_status_text(report);
    if (report.wrapped) text += report.backward ? ", search wrapped to the bottom" : ", search wrapped to the top";
    set_message_utf8(GADGET_FIND_MESSAGE, text);
}

void search_again() { show(find_set_query(GADGET_CODE, query_of_bar())); }

void step(bool forward) { show(forward ? find_next(GADGET_CODE) : find_previous(GADGET_CODE)); }

void go_to_typed_line() {
    const long last_line = long(scintilla_send(GADGET_CODE, SCI_GETLINECOUNT));
    long line = 0, column = 0;
    switch (parse_go_to(text_of(GADGET_GO_TO_FIELD), last_line, &line, &column)) {
    case GO_TO_NOT_A_NUMBER:
        set_message(GADGET_GO_TO_MESSAGE, u"Type a line number, or line:column");
        return;
    case GO_TO_OUT_OF_RANGE: {
        const std::string text = "The lines go from 1 to " + std::to_string(last_line);
        set_message_utf8(GADGET_GO_TO_MESSAGE, text);
        return;
    }
    case GO_TO_COLUMN_ZERO:
        set_message(GADGET_GO_TO_MESSAGE, u"The columns start at 1");
        return;
    case GO_TO_LINE:
        break;
    }
    set_message(GADGET_GO_TO_MESSAGE, u"");
    code_editor_go_to(GADGET_CODE, line, column);
    gadget_set_focus(GADGET_CODE);
}

// Shows a report; a Replace All that would leave too large a text (answered at once, or later by
// the search worker) replaced nothing: an Error says why, and the bar keeps what it showed.
void show_or_tell(const FindReport& report) {
    if (report.outcome != FIND_TOO_LARGE) {
        show(report);
        return;
    }
    std::u16string text;
    for (char c : find_status_text(report)) text += char16_t(c);
    show_message(u"Error", text);
    show(find_report(GADGET_CODE));
}

void click(ObjectNumber gadget) {
    switch (gadget) {
    case GADGET_FIND_PREVIOUS:
    case GADGET_FIND_NEXT:
        step(gadget == GADGET_FIND_NEXT);
        break;
    case GADGET_FIND_CLOSE:
        find_bar_close();
        break;
    case GADGET_REPLACE_ONE:
        show(find_replace(GADGET_CODE, gadget_text_utf8(GADGET_REPLACE_FIELD)));
        break;
    case GADGET_REPLACE_ALL:
        show_or_tell(find_replace_all(GADGET_CODE, gadget_text_utf8(GADGET_REPLACE_FIELD)));
        break;
    case GADGET_MATCH_CASE:
    case GADGET_WHOLE_WORD:
    case GADGET_REGULAR_EXPRESSION:
    case GADGET_IN_SELECTION:
        search_again();
        break;
    default:
        break;
    }
}

void enter(ObjectNumber gadget, bool shift) {
    switch (gadget) {
    case GADGET_GO_TO_FIELD:
        go_to_typed_line();
        break;
    case GADGET_REPLACE_FIELD:
        click(GADGET_REPLACE_ONE);
        break;
    case GADGET_FIND_PREVIOUS:
    case GADGET_FIND_NEXT:
    case GADGET_FIND_CLOSE:
    case GADGET_REPLACE_ONE:
    case GADGET_REPLACE_ALL:
        click(gadget);
        break;
    default:
        step(!shift);
        break;
    }
}

}  // namespace

void find_bar_create(const Settings& settings) {
    // The search worker's answers wake the loop, which then shows them (find_bar_tick).
    find_set_wake(event_wake);
    // A new window's bar starts closed, whatever an earlier window's was.
    the_bar = FindBar{};
    for (const BarGadget& gadget : bar_gadgets) {
        const ObjectNumber n = gadget.number;
        switch (gadget.kind) {
        case Kind::LABEL:
            text_gadget_create(n, 0, 0, gadget.width, 22, gadget.text);
            break;
        case Kind::MESSAGE:
            // A message moves to a row of its own when it needs the room, and is shortened only
            // when it is wider than the whole bar.
            text_gadget_create(n, 0, 0, gadget.width, 22, gadget.text, GADGET_SHORTEN_FLAG);
            break;
        case Kind::FIELD:
            string_gadget_create(n, 0, 0, gadget.width, 22, gadget.text, GADGET_KEY_EVENTS_FLAG);
            break;
        case Kind::BUTTON:
            button_gadget_create(n, 0, 0, gadget.width, 22, gadget.text, GADGET_KEY_EVENTS_FLAG);
            break;
        case Kind::TOGGLE:
            checkbox_gadget_create(n, 0, 0, gadget.width, 22, gadget.text, GADGET_KEY_EVENTS_FLAG);
            break;
        }
        gadget_hide(n, 1);
    }
    gadget_set_accessible_name(GADGET_FIND_FIELD, u"Find");
    gadget_set_accessible_name(GADGET_REPLACE_FIELD, u"Replace");
    gadget_set_accessible_name(GADGET_GO_TO_FIELD, u"Go to line");
    gadget_set_state(GADGET_MATCH_CASE, settings.match_case);
    gadget_set_state(GADGET_WHOLE_WORD, settings.whole_word);
    gadget_set_state(GADGET_REGULAR_EXPRESSION, settings.regular_expression);
}

void find_bar_store_settings(Settings* settings) {
    settings->match_case = gadget_get_state(GADGET_MATCH_CASE) != 0;
    settings->whole_word = gadget_get_state(GADGET_WHOLE_WORD) != 0;
    settings->regular_expression = gadget_get_state(GADGET_REGULAR_EXPRESSION) != 0;
}

bool find_bar_shown() { return the_bar.shown; }

int find_bar_height(int width) {
    if (!the_bar.shown) return 0;
    int height = 0;
    bar_layout(bar_items(width, nullptr), 0, 0, width, ROW_HEIGHT, GAP, &height);
    return height;
}

void find_bar_place(const GadgetPlace& bar) {
    for (const BarGadget& gadget : bar_gadgets) gadget_hide(gadget.number, visible(gadget) ? 0 : 1);
    if (!the_bar.shown) return;
    std::vector<ObjectNumber> numbers;
    const std::vector<GadgetPlace> places =
        bar_layout(bar_items(bar.width, &numbers), bar.x, bar.y, bar.width, ROW_HEIGHT, GAP, nullptr);
    for (std::size_t i = 0; i < places.size(); ++i) {
        const int drop = gadget_kind(numbers[i]) == GADGET_KIND_TEXT ? TEXT_DROP : 0;
        gadget_resize(numbers[i], places[i].x, places[i].y + drop, places[i].width, places[i].height - drop);
    }
}

void find_bar_open(FindBarMode mode) {
    const bool was_shown = the_bar.shown;
    if (mode != FIND_BAR_GO_TO || !was_shown) the_bar.replacing = mode == FIND_BAR_REPLACE;
    the_bar.shown = true;
    main_window_lay_out();
    if (mode == FIND_BAR_GO_TO) {
        set_message(GADGET_GO_TO_MESSAGE, u"");
        gadget_set_focus(GADGET_GO_TO_FIELD);
        gadget_edit(GADGET_GO_TO_FIELD, EDIT_SELECT_ALL);
        return;
    }
    const std::string seed = find_selection_seed(GADGET_CODE);
    if (!seed.empty()) set_utf8(GADGET_FIND_FIELD, seed);
    gadget_set_focus(GADGET_FIND_FIELD);
    gadget_edit(GADGET_FIND_FIELD, EDIT_SELECT_ALL);
    // A pattern set by the seed searched already; one kept from before searches now.
    if (seed.empty() || !find_active(GADGET_CODE)) search_again();
}

void find_bar_close() {
    if (!the_bar.shown) return;
    the_bar.shown = false;
    find_close(GADGET_CODE);
    gadget_set_text(GADGET_FIND_MESSAGE, u"");
    main_window_lay_out();
    gadget_set_focus(GADGET_CODE);
}

void find_bar_step(bool forward) {
    if (!the_bar.shown) find_bar_open(FIND_BAR_FIND);
    if (find_bar_has_pattern()) step(forward);
}

bool find_bar_has_pattern() { return !text_of(GADGET_FIND_FIELD).empty(); }

bool find_bar_event(ObjectNumber gadget, std::intptr_t type) {
    bool ours = false;
    for (const BarGadget& g : bar_gadgets) ours = ours || g.number == gadget;
    if (!ours) return false;
    switch (type) {
    case BN_CLICKED:
        click(gadget);
        break;
    case EN_CHANGE:
        // Searching as the pattern is typed.
        if (gadget == GADGET_FIND_FIELD && the_bar.shown) search_again();
        if (gadget == GADGET_GO_TO_FIELD) set_message(GADGET_GO_TO_MESSAGE, u"");
        break;
    case GADGET_EVENT_RETURN:
    case GADGET_EVENT_SHIFT_RETURN:
        enter(gadget, type == GADGET_EVENT_SHIFT_RETURN);
        break;
    case GADGET_EVENT_ESCAPE:
        find_bar_close();
        break;
    default:
        break;
    }
    return true;
}

int find_bar_wait_time() { return find_wait_time(GADGET_CODE); }

void find_bar_tick() {
    if (find_tick(GADGET_CODE)) show_or_tell(find_report(GADGET_CODE));
}

GoToParse parse_go_to(const std::u16string& text, long last_line, long* line, long* column) {
    // Digits only, at most nine of them, blanks around the numbers allowed.
    auto number = [](std::u16string_view part, long* value) {
        const std::size_t first = part.find_first_not_of(u' ');
        if (first == std::u16string_view::npos) return false;
        part = part.substr(first, part.find_last_not_of(u' ') - first + 1);
        if (part.size() > 9) return false;
        long result = 0;
        for (char16_t c : part) {
            if (c < u'0' || c > u'9') return false;
            result = result * 10 + (c - u'0');
        }
        *value = result;
        return true;
    };
    const std::u16string_view all(text);
    const std::size_t colon = all.find(u':');
    *column = 1;
    if (!number(all.substr(0, colon), line)) return GO_TO_NOT_A_NUMBER;
    if (colon != std::u16string_view::npos && !number(all.substr(colon + 1), column)) return GO_TO_NOT_A_NUMBER;
    if (*line < 1 || *line > last_line) return GO_TO_OUT_OF_RANGE;
    return *column < 1 ? GO_TO_COLUMN_ZERO : GO_TO_LINE;
}
