/** @file status_line.cpp
 * The status line's text and what it reads from the code editor; "Modified" without reading
 * the code: the component keeps a save point, and only the four small fields are compared. */
#include "app/status_line.h"

#include <array>

#include "app/application.h"
#include "runtime/core/strings.h"
#include "runtime/ui/gadget.h"

namespace {

constexpr ObjectNumber TEXT_FIELDS[] = {GADGET_NAME, GADGET_AUTHOR, GADGET_DESCRIPTION, GADGET_HELP};

struct StatusLine {
    // The fields' texts when the texts were last settled, and which of them differ now.
    std::array<std::u16string, 4> settled_fields;
    std::array<bool, 4> field_differs{};
    // The selection last counted: counting its characters walks it, so a selection that only
    // grows or shrinks at one end is counted by the difference.
    std::intptr_t counted_start = -1, counted_end = -1;
    long counted = 0;
    std::u16string shown;
};

StatusLine the_line;

std::u16string field_text(ObjectNumber gadget) {
    TempScope scope;
    const char16_t* text = gadget_get_text(gadget, scope.start());
    return text ? std::u16string(text) : std::u16string();
}

std::u16string number_text(long value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

long count_characters(std::intptr_t from, std::intptr_t to) {
    return long(scintilla_send(GADGET_CODE, SCI_COUNTCHARACTERS, std::uintptr_t(from), to));
}

long selection_length(std::intptr_t start, std::intptr_t end) {
    StatusLine& line = the_line;
    if (start == end) {
        line.counted_start = line.counted_end = start;
        line.counted = 0;
        return 0;
    }
    if (start == line.counted_start && line.counted_end >= start) {
        line.counted += end >= line.counted_end ? count_characters(line.counted_end, end)
                                                : -count_characters(end, line.counted_end);
    } else if (end == line.counted_end && line.counted_start <= end && line.counted_start >= 0) {
        line.counted += start <= line.counted_start ? count_characters(start, line.counted_start)
                                                    : -count_characters(line.counted_start, start);
    } else {
        line.counted = count_characters(start, end);
    }
    line.counted_start = start;
    line.counted_end = end;
    return line.counted;
}

bool any_field_differs() {
    for (bool differs : the_line.field_differs)
        if (differs) return true;
    return false;
}

}  // namespace

std::u16string status_text(const StatusFacts& facts) {
    std::u16string text = u"Line " + number_text(facts.line) + u", Column " + number_text(facts.column);
    if (facts.selection > 0) text += u"  |  " + number_text(facts.selection) + u" selected";
    text += u"  |  " + number_text(facts.lines) + (facts.lines == 1 ? u" line" : u" lines");
    if (facts.modified) text += u"  |  Modified";
    return text;
}

void status_line_create(const GadgetPlace& status, const GadgetPlace& message) {
    // A new window's line shows its text even when an earlier window's showed the same.
    the_line = StatusLine{};
    // A text longer than the room beside the status (a syntax error's message at the least size)
    // is shown shortened; its accessible name keeps it whole.
    text_gadget_create(GADGET_STATUS, status.x, status.y, status.width, status.height, u"", GADGET_SHORTEN_FLAG);
    text_gadget_create(GADGET_STATUS_MESSAGE, message.x, message.y, message.width, message.height, u"",
                       GADGET_SHORTEN_FLAG);
    status_line_texts_settled();
}

void status_line_place(const GadgetPlace& status, const GadgetPlace& message) {
    gadget_resize(GADGET_STATUS, status.x, status.y, status.width, status.height);
    gadget_resize(GADGET_STATUS_MESSAGE, message.x, message.y, message.width, message.height);
}

void status_line_update() {
    if (!gadget_exists(GADGET_STATUS)) return;
    const std::intptr_t caret = scintilla_send(GADGET_CODE, SCI_GETCURRENTPOS);
    StatusFacts facts{};
    facts.line = long(scintilla_send(GADGET_CODE, SCI_LINEFROMPOSITION, std::uintptr_t(caret))) + 1;
    facts.column = long(scintilla_send(GADGET_CODE, SCI_GETCOLUMN, std::uintptr_t(caret))) + 1;
    facts.selection = selection_length(scintilla_send(GADGET_CODE, SCI_GETSELECTIONSTART),
                                       scintilla_send(GADGET_CODE, SCI_GETSELECTIONEND));
    facts.lines = long(scintilla_send(GADGET_CODE, SCI_GETLINECOUNT));
    facts.modified = texts_modified();
    std::u16string text = status_text(facts);
    if (text == the_line.shown) return;
    the_line.shown = std::move(text);
    gadget_set_text(GADGET_STATUS, the_line.shown.c_str());
}

void status_line_code_notification(const SCNotification* notification) {
    if (notification->nmhdr.code != SCN_UPDATEUI) return;
    // A change of the text moves what the counted selection spans.
    if (notification->updated & SC_UPDATE_CONTENT) the_line.counted_start = the_line.counted_end = -1;
    if (notification->updated & (SC_UPDATE_CONTENT | SC_UPDATE_SELECTION)) status_line_update();
}

void status_line_field_changed(ObjectNumber gadget) {
    for (std::size_t i = 0; i < std::size(TEXT_FIELDS); ++i)
        if (TEXT_FIELDS[i] == gadget) the_line.field_differs[i] = field_text(gadget) != the_line.settled_fields[i];
    status_line_update();
}

void status_line_texts_settled() {
    for (std::size_t i = 0; i < std::size(TEXT_FIELDS); ++i) {
        the_line.settled_fields[i] = field_text(TEXT_FIELDS[i]);
        the_line.field_differs[i] = false;
    }
    scintilla_send(GADGET_CODE, SCI_SETSAVEPOINT);
    status_line_update();
}

bool texts_modified() { return any_field_differs() || scintilla_send(GADGET_CODE, SCI_GETMODIFY) != 0; }

void status_line_set_message(const char16_t* text, const char16_t* accessible_text) {
    gadget_set_text(GADGET_STATUS_MESSAGE, text);
    gadget_set_accessible_name(GADGET_STATUS_MESSAGE, accessible_text ? accessible_text : text);
}
