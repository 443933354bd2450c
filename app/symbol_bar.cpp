/** @file symbol_bar.cpp
 * The Go to Symbol bar: its gadgets (a row with the field, the count and Close; the list under
 * it), filtering on each change of the field, the keys that move in the list while the caret stays
 * in the field, and the jump. */
#include "app/symbol_bar.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/code_check.h"
#include "editor/code_editor.h"
#include "editor/names/symbol_filter.h"
#include "editor/names/symbols.h"
#include "editor/scintilla.h"
#include "runtime/core/strings.h"
#include "runtime/ui/event.h"
#include "runtime/ui/gadget.h"

namespace {

constexpr int ROW_HEIGHT = 26;
constexpr int GAP = 4;
constexpr int TEXT_DROP = 3;  // labels draw from the top: this far down they stand level with the field
constexpr int LABEL_WIDTH = 100;
constexpr int COUNT_WIDTH = 150;
constexpr int CLOSE_WIDTH = 64;
constexpr int LIST_MOST_HEIGHT = 260;
constexpr int LIST_LEAST_HEIGHT = 60;

struct SymbolBar {
    bool shown = false;
    std::shared_ptr<const SymbolIndex> index;  // the one listed
    std::vector<std::uint32_t> matches;        // its symbols that match, best first
    std::u16string row;                        // the last row's text handed to the list
    // Where the caret and the view were when the bar opened, for Escape.
    std::intptr_t caret = 0, anchor = 0, first_line = 0;
};

SymbolBar the_bar;

std::u16string utf16_of(std::string_view bytes) {
    TempScope scope;
    string_from_memory(bytes.data(), std::int32_t(bytes.size()), TEXT_UTF8, scope.start());
    return scope.text();
}

// "parseExpression — method in Parser, line 1,234".
const char16_t* row_text(void*, int row) {
    SymbolBar& bar = the_bar;
    if (!bar.index || row < 0 || std::size_t(row) >= bar.matches.size()) return u"";
    const Symbol symbol = bar.index->at(bar.matches[std::size_t(row)]);
    const char* kind = symbol_kind_text(symbol.kind);
    bar.row = utf16_of(symbol.name) + u" \u2014 " + std::u16string(kind, kind + std::char_traits<char>::length(kind));
    if (!symbol.container.empty()) bar.row += u" in " + utf16_of(symbol.container);
    bar.row += u", line " + grouped_number(std::size_t(symbol.line) + 1);
    return bar.row.c_str();
}

void show_count() {
    const std::size_t total = the_bar.index ? the_bar.index->size() : 0;
    const std::u16string count = grouped_number(the_bar.matches.size()) + u" of " + grouped_number(total);
    gadget_set_text(GADGET_SYMBOL_COUNT, count.c_str());
    gadget_set_accessible_name(GADGET_SYMBOL_COUNT, (count + u" symbols").c_str());
}

// Lists the symbols that match the field, the best selected.
void filter() {
    if (the_bar.index)
        symbol_filter(*the_bar.index, gadget_text_utf8(GADGET_SYMBOL_FIELD), &the_bar.matches);
    else
        the_bar.matches.clear();
    list_gadget_set_rows(GADGET_SYMBOL_LIST, int(the_bar.matches.size()), row_text, nullptr);
    gadget_set_state(GADGET_SYMBOL_LIST, the_bar.matches.empty() ? -1 : 0);
    show_count();
}

void move_selection(int by) {
    const int row = int(gadget_get_state(GADGET_SYMBOL_LIST));
    const int next = list_row_after_move(row, by, int(the_bar.matches.size()));
    if (next >= 0) gadget_set_state(GADGET_SYMBOL_LIST, next);
}

void close_bar() {
    the_bar.shown = false;
    the_bar.index.reset();
    the_bar.matches.clear();
    list_gadget_set_rows(GADGET_SYMBOL_LIST, 0, row_text, nullptr);
    main_window_lay_out();
}

// Enter: to the chosen symbol's name, its line unfolded and in view.
void go_to_chosen() {
    const int row = int(gadget_get_state(GADGET_SYMBOL_LIST));
    if (!the_bar.index || row < 0 || std::size_t(row) >= the_bar.matches.size()) return;
    const Symbol symbol = the_bar.index->at(the_bar.matches[std::size_t(row)]);
    close_bar();
    code_editor_go_to_byte(GADGET_CODE, symbol.line + 1, symbol.column);
    gadget_set_focus(GADGET_CODE);
}

constexpr ObjectNumber focus_stops[] = {GADGET_SYMBOL_FIELD, GADGET_SYMBOL_LIST, GADGET_SYMBOL_CLOSE};

void move_focus(ObjectNumber from, bool forward) {
    const std::size_t count = std::size(focus_stops);
    for (std::size_t i = 0; i < count; ++i)
        if (focus_stops[i] == from) gadget_set_focus(focus_stops[(i + (forward ? 1 : count - 1)) % count]);
}

}  // namespace

std::u16string grouped_number(std::size_t number) {
    const std::string digits = std::to_string(number);
    std::u16string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += u',';
        out += char16_t(digits[i]);
    }
    return out;
}

void symbol_bar_create() {
    text_gadget_create(GADGET_SYMBOL_LABEL, 0, 0, LABEL_WIDTH, 22, u"Go to symbol");
    string_gadget_create(GADGET_SYMBOL_FIELD, 0, 0, 200, 22, u"", GADGET_KEY_EVENTS_FLAG | GADGET_ARROW_EVENTS_FLAG);
    text_gadget_create(GADGET_SYMBOL_COUNT, 0, 0, COUNT_WIDTH, 22, u"");
    button_gadget_create(GADGET_SYMBOL_CLOSE, 0, 0, CLOSE_WIDTH, 22, u"Close", GADGET_KEY_EVENTS_FLAG);
    list_gadget_create(GADGET_SYMBOL_LIST, 0, 0, 200, 100, GADGET_KEY_EVENTS_FLAG);
    gadget_set_accessible_name(GADGET_SYMBOL_LABEL, u"Go to symbol");
    gadget_set_accessible_name(GADGET_SYMBOL_FIELD, u"Go to symbol");
    gadget_set_accessible_name(GADGET_SYMBOL_CLOSE, u"Close Go to Symbol");
    gadget_set_accessible_name(GADGET_SYMBOL_LIST, u"Symbols");
    for (ObjectNumber gadget = GADGET_SYMBOL_LABEL; gadget <= GADGET_SYMBOL_LIST; ++gadget) gadget_hide(gadget, 1);
}

bool symbol_bar_shown() { return the_bar.shown; }

int symbol_bar_height(int code_height) {
    if (!the_bar.shown) return 0;
    return ROW_HEIGHT + std::clamp(code_height / 2, LIST_LEAST_HEIGHT, LIST_MOST_HEIGHT) + GAP;
}

void symbol_bar_place(const GadgetPlace& bar) {
    for (ObjectNumber gadget = GADGET_SYMBOL_LABEL; gadget <= GADGET_SYMBOL_LIST; ++gadget)
        gadget_hide(gadget, the_bar.shown ? 0 : 1);
    if (!the_bar.shown) return;
    const std::vector<BarItem> items = {
        {LABEL_WIDTH, false, false}, {160, true, false}, {COUNT_WIDTH, false, false}, {CLOSE_WIDTH, false, false}};
    int height = 0;
    const std::vector<GadgetPlace> places = bar_layout(items, bar.x, bar.y, bar.width, ROW_HEIGHT, GAP, &height);
    const ObjectNumber row[] = {GADGET_SYMBOL_LABEL, GADGET_SYMBOL_FIELD, GADGET_SYMBOL_COUNT, GADGET_SYMBOL_CLOSE};
    for (std::size_t i = 0; i < places.size(); ++i) {
        const int drop = gadget_kind(row[i]) == GADGET_KIND_TEXT ? TEXT_DROP : 0;
        gadget_resize(row[i], places[i].x, places[i].y + drop, places[i].width, places[i].height - drop);
    }
    const int list_y = bar.y + height + GAP;
    gadget_resize(GADGET_SYMBOL_LIST, bar.x, list_y, bar.width, std::max(0, bar.y + bar.height - list_y - GAP));
}

void symbol_bar_open() {
    if (!the_bar.shown) {
        the_bar.caret = scintilla_send(GADGET_CODE, SCI_GETCURRENTPOS);
        the_bar.anchor = scintilla_send(GADGET_CODE, SCI_GETANCHOR);
        the_bar.first_line = scintilla_send(GADGET_CODE, SCI_GETFIRSTVISIBLELINE);
        the_bar.shown = true;
        main_window_lay_out();
    }
    // Typing may have left the index a check behind: the check is asked for now, not after the pause.
    code_check_texts_settled();
    the_bar.index = code_check_symbols();
    filter();
    gadget_set_focus(GADGET_SYMBOL_FIELD);
    gadget_edit(GADGET_SYMBOL_FIELD, EDIT_SELECT_ALL);
}

void symbol_bar_cancel() {
    if (!the_bar.shown) return;
    close_bar();
    scintilla_send(GADGET_CODE, SCI_SETSEL, std::uintptr_t(the_bar.anchor), the_bar.caret);
    scintilla_send(GADGET_CODE, SCI_SETFIRSTVISIBLELINE, std::uintptr_t(the_bar.first_line));
    gadget_set_focus(GADGET_CODE);
}

bool symbol_bar_event(ObjectNumber gadget, std::intptr_t type) {
    if (gadget < GADGET_SYMBOL_LABEL || gadget > GADGET_SYMBOL_LIST) return false;
    switch (type) {
    case EN_CHANGE:
        if (gadget == GADGET_SYMBOL_FIELD && the_bar.shown) filter();
        break;
    case GADGET_EVENT_UP:
    case GADGET_EVENT_DOWN:
        move_selection(type == GADGET_EVENT_UP ? -1 : 1);
        break;
    case GADGET_EVENT_PAGE_UP:
    case GADGET_EVENT_PAGE_DOWN: {
        const int page = std::max(1, list_gadget_rows_shown(GADGET_SYMBOL_LIST) - 1);
        move_selection(type == GADGET_EVENT_PAGE_UP ? -page : page);
        break;
    }
    case GADGET_EVENT_RETURN:
    case GADGET_EVENT_SHIFT_RETURN:
        if (gadget == GADGET_SYMBOL_CLOSE)
            symbol_bar_cancel();
        else
            go_to_chosen();
        break;
    case BN_CLICKED:
    case GADGET_EVENT_ESCAPE:
        symbol_bar_cancel();
        break;
    case GADGET_EVENT_TAB:
    case GADGET_EVENT_SHIFT_TAB:
        move_focus(gadget, type == GADGET_EVENT_TAB);
        break;
    default:
        break;
    }
    return true;
}

void symbol_bar_tick() {
    if (!the_bar.shown) return;
    std::shared_ptr<const SymbolIndex> latest = code_check_symbols();
    if (latest == the_bar.index) return;
    // A newer index: the same query over it, the selection back at the best.
    the_bar.index = std::move(latest);
    filter();
}
