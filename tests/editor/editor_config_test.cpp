// Editor creation and configuration: the creation messages, the line-number margin, colours,
// fonts, margins, tabs, options, line stylers, and the whole text in and out.
#include <Qsci/qsciscintillabase.h>
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <functional>

#include "editor/editor_internal.h"
#include "editor_support.h"
#include "runtime/core/strings.h"
#include "runtime/ui/event.h"

namespace {

enum : unsigned {
    GETMARGINMASKN = QsciScintillaBase::SCI_GETMARGINMASKN,
    GETMARGINSENSITIVEN = QsciScintillaBase::SCI_GETMARGINSENSITIVEN,
    MARKERSYMBOLDEFINED = QsciScintillaBase::SCI_MARKERSYMBOLDEFINED,
    GETCARETFORE = QsciScintillaBase::SCI_GETCARETFORE,
    STYLEGETFONT = QsciScintillaBase::SCI_STYLEGETFONT,
    CALLTIPUSESTYLE_GET = 0,
};

class EditorConfig : public EditorTest {
protected:
    int margin_width(int margin) const { return static_cast<int>(send(SCI_GETMARGINWIDTHN, margin)); }
    int text_width(const char* sample) const {
        return static_cast<int>(send(SCI_TEXTWIDTH, STYLE_LINENUMBER, reinterpret_cast<std::intptr_t>(sample)));
    }
    std::string style_font(int style) const {
        char name[128] = {};
        send(STYLEGETFONT, style, reinterpret_cast<std::intptr_t>(name));
        return name;
    }
    void paint_style_7() {
        send(SCI_STARTSTYLING, 0, 31);
        send(SCI_SETSTYLING, static_cast<std::uintptr_t>(length()), 7);
    }
};

TEST_F(EditorConfig, CreationSetsUpTheComponent) {
    create_editor(EDITOR_LINE_NUMBERS, false);
    EditorRecord* record = code_editor_record(kEditor);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->gadget, kEditor);
    EXPECT_EQ(record->options, OPTION_STYLING | OPTION_FOLDING);
    EXPECT_EQ(record->number_style, STYLE_DEFAULT);
    EXPECT_EQ(record->completion_threshold, 3);
    EXPECT_EQ(gadget_kind(kEditor), GADGET_KIND_CODE_EDITOR);
    EXPECT_EQ(send(SCI_GETCODEPAGE), 65001);
    EXPECT_EQ(send(SCI_GETLEXER), 0);
    EXPECT_EQ(margin_width(1), 0);
    EXPECT_EQ(margin_width(2), 0);
    EXPECT_EQ(send(GETMARGINSENSITIVEN, 2), 1);
    EXPECT_EQ(static_cast<std::uint32_t>(send(GETMARGINMASKN, 2)), 0xFE000000u);
    EXPECT_EQ(send(GETMARGINMASKN, 1), 1);
    const std::pair<int, int> markers[] = {{31, 14}, {30, 12}, {29, 9}, {28, 10}, {25, 13}, {26, 15}, {27, 11}, {0, 4}};
    for (auto [marker, symbol] : markers) EXPECT_EQ(send(MARKERSYMBOLDEFINED, marker), symbol) << marker;
    EXPECT_EQ(send(SCI_AUTOCGETIGNORECASE), 1);

    create_editor(EDITOR_CASE_SENSITIVE, false);
    EXPECT_EQ(send(SCI_AUTOCGETIGNORECASE), 0);

    // The horizontal scroll bar shows only once a line drawn is wider than the editor.
    widget()->window()->show();
    const auto scroll_bar_after = [&](const std::string& text) {
        send(SCI_SETTEXT, 0, reinterpret_cast<std::intptr_t>(text.c_str()));
        // Painting measures the lines; the component then sets the bar.
        for (int i = 0; i < 3; ++i) {
            widget()->viewport()->repaint();
            QTest::qWait(20);
        }
        return widget()->horizontalScrollBar()->isVisible();
    };
    EXPECT_FALSE(scroll_bar_after("a\nb\nc"));
    EXPECT_TRUE(scroll_bar_after("a\n" + std::string(400, 'w') + "\nc"));
}

TEST_F(EditorConfig, CreationWithAnyNumberUsesTheDynamicNumber) {
    ObjectNumber dynamic = code_editor_create(ANY_NUMBER, 0, 0, 100, 100, nullptr, 0);
    ASSERT_NE(dynamic, 0);
    ASSERT_NE(code_editor_record(dynamic), nullptr);
    EXPECT_EQ(code_editor_record(dynamic)->gadget, dynamic);
    EXPECT_EQ(scintilla_send(dynamic, SCI_GETCODEPAGE), 65001);
    EXPECT_NE(code_editor_record(dynamic), code_editor_record(kEditor));
}

TEST_F(EditorConfig, LineNumberMarginWidensWithTheDigitsOfTheLineCount) {
    create_editor(EDITOR_LINE_NUMBERS, true);
    set_utf8("1\n2\n3\n4\n5\n6\n7\n8\n9");
    EXPECT_EQ(line_count(), 9);
    EXPECT_EQ(margin_width(0), text_width("9") + 10);
    send(SCI_INSERTTEXT, static_cast<std::uintptr_t>(length()), reinterpret_cast<std::intptr_t>("\n10"));
    EXPECT_EQ(margin_width(0), text_width("99") + 10);
    EXPECT_GT(text_width("99"), text_width("9"));
    // The margin is automatic: setting it by hand does nothing.
    code_editor_set_margin_width(kEditor, 0, 50);
    EXPECT_EQ(margin_width(0), text_width("99") + 10);
    code_editor_set_margin_width(kEditor, 2, -5);
    EXPECT_EQ(margin_width(2), 0);
    code_editor_set_margin_width(kEditor, 1, 16);
    EXPECT_EQ(margin_width(1), 16);
}

TEST_F(EditorConfig, WithoutLineNumbersMarginZeroIsTheOwners) {
    create_editor(0, false);
    code_editor_set_margin_width(kEditor, 0, 50);
    EXPECT_EQ(margin_width(0), 50);
    code_editor_update_line_numbers(kEditor);
    EXPECT_EQ(margin_width(0), 50);
}

TEST_F(EditorConfig, ColoursGoToTheirStylesAndSettings) {
    create_editor(EDITOR_LINE_NUMBERS, false);
    code_editor_set_style_color(kEditor, 5, 0x123456, -1);
    code_editor_set_color(kEditor, COLOR_BACKGROUND, 0x00FF00);
    // The default style was copied to every style, the earlier per-style colour included.
    EXPECT_EQ(send(SCI_STYLEGETBACK, 5), 0x00FF00);
    EXPECT_EQ(send(SCI_STYLEGETFORE, 5), send(SCI_STYLEGETFORE, STYLE_DEFAULT));
    code_editor_set_color(kEditor, COLOR_FOREGROUND, 0x0000FF);
    EXPECT_EQ(send(SCI_STYLEGETFORE, 9), 0x0000FF);
    code_editor_set_color(kEditor, COLOR_LINE_NUMBER_BACK, 0x111111);
    code_editor_set_color(kEditor, COLOR_LINE_NUMBER_FRONT, 0x222222);
    EXPECT_EQ(send(SCI_STYLEGETBACK, STYLE_LINENUMBER), 0x111111);
    EXPECT_EQ(send(SCI_STYLEGETFORE, STYLE_LINENUMBER), 0x222222);
    code_editor_set_color(kEditor, COLOR_CALLTIP_BACK, 0x333333);
    code_editor_set_color(kEditor, COLOR_CALLTIP_FRONT, 0x444444);
    EXPECT_EQ(send(SCI_STYLEGETBACK, STYLE_CALLTIP), 0x333333);
    EXPECT_EQ(send(SCI_STYLEGETFORE, STYLE_CALLTIP), 0x444444);
    code_editor_set_color(kEditor, COLOR_CARET, 0x555555);
    EXPECT_EQ(send(GETCARETFORE), 0x555555);
    code_editor_set_color(kEditor, COLOR_CURRENT_LINE, 0xF0F0FF);
    EXPECT_EQ(send(SCI_GETCARETLINEVISIBLE), 1);
    EXPECT_EQ(send(SCI_GETCARETLINEBACK), 0xF0F0FF);
    code_editor_set_color(kEditor, COLOR_CURRENT_LINE, -1);
    EXPECT_EQ(send(SCI_GETCARETLINEVISIBLE), 0);
    EXPECT_EQ(send(SCI_GETCARETLINEBACK), 0xF0F0FF);
    code_editor_set_style_color(kEditor, 4, -1, 0x666666);
    EXPECT_EQ(send(SCI_STYLEGETBACK, 4), 0x666666);
    EXPECT_EQ(send(SCI_STYLEGETFORE, 4), 0x0000FF);
    // Unknown attributes do nothing.
    code_editor_set_color(kEditor, 0, 0x777777);
    code_editor_set_color(kEditor, 18, 0x777777);
    EXPECT_EQ(send(SCI_STYLEGETFORE, STYLE_DEFAULT), 0x0000FF);
}

TEST_F(EditorConfig, FontsAndTabsOfTheJavaScriptSetUp) {
    create_editor(EDITOR_LINE_NUMBERS, true);
    EXPECT_EQ(style_font(STYLE_DEFAULT), "Consolas");
    EXPECT_EQ(send(SCI_STYLEGETSIZE, STYLE_DEFAULT), 11);
    EXPECT_EQ(style_font(2), "Consolas");
    EXPECT_EQ(send(SCI_STYLEGETITALIC, 3), 1);
    EXPECT_EQ(send(SCI_STYLEGETBOLD, 3), 0);
    EXPECT_EQ(send(SCI_STYLEGETBOLD, 11), 1);
    EXPECT_EQ(send(SCI_STYLEGETITALIC, 11), 0);
    EXPECT_EQ(send(SCI_STYLEGETFORE, 2), 0xE32D36);
    EXPECT_EQ(send(SCI_STYLEGETFORE, 3), 0xA0A0A0);
    EXPECT_EQ(send(SCI_STYLEGETFORE, 4), 0xC600C6);
    EXPECT_EQ(send(SCI_STYLEGETFORE, 5), 0x4040D0);
    EXPECT_EQ(send(SCI_STYLEGETFORE, 6), 0x23A323);
    EXPECT_EQ(send(SCI_STYLEGETFORE, 7), 0xBBAA31);
    EXPECT_EQ(send(SCI_STYLEGETFORE, 11), 0x0000FF);
    EXPECT_EQ(send(SCI_GETTABWIDTH), 4);
    EXPECT_EQ(send(SCI_GETUSETABS), 1);
    EXPECT_EQ(send(SCI_GETMARGINWIDTHN, 2), 24);
    EXPECT_EQ(code_editor_record(kEditor)->options, 39u);

    // -1 leaves size and flags alone; underline is the third flag.
    code_editor_set_style_font(kEditor, 3, u"", -1, -1);
    EXPECT_EQ(send(SCI_STYLEGETITALIC, 3), 1);
    code_editor_set_style_font(kEditor, 6, u"Courier", 14, FONT_UNDERLINE);
    EXPECT_EQ(style_font(6), "Courier");
    EXPECT_EQ(send(SCI_STYLEGETSIZE, 6), 14);
    EXPECT_EQ(send(SCI_STYLEGETUNDERLINE, 6), 1);
    code_editor_set_tabs(kEditor, 8, 1);
    EXPECT_EQ(send(SCI_GETTABWIDTH), 8);
    EXPECT_EQ(send(SCI_GETUSETABS), 0);
}

TEST_F(EditorConfig, LargerLineNumberFontWidensTheMargin) {
    create_editor(EDITOR_LINE_NUMBERS, false);
    set_utf8("a\nb");
    const int before = margin_width(0);
    code_editor_set_style_font(kEditor, STYLE_LINENUMBER, u"", 30, -1);
    EXPECT_EQ(margin_width(0), text_width("9") + 10);
    EXPECT_GT(margin_width(0), before);
}

TEST_F(EditorConfig, OnlyStylingAndFoldingOptionsRestyle) {
    create_editor(EDITOR_LINE_NUMBERS, true);
    code_editor_set_options(kEditor, 5);
    set_utf8("var a = 1;\nfunction f() {\n}\n");
    ensure_styled();
    paint_style_7();
    code_editor_set_options(kEditor, 39);  // completion and auto-indent only
    EXPECT_EQ(style_at(0), 7);
    code_editor_set_options(kEditor, 38);  // styling off: every token 32, folds still computed
    ensure_styled();
    for (int i = 0; i < length(); ++i) EXPECT_EQ(style_at(i), STYLE_DEFAULT) << i;
    EXPECT_EQ(fold_level(1), SC_FOLDLEVELBASE | SC_FOLDLEVELHEADERFLAG);
    EXPECT_EQ(fold_level(2), SC_FOLDLEVELBASE + 1);
    code_editor_set_options(kEditor, OPTION_STYLING);  // no folding: every level 0
    ensure_styled();
    for (int line = 0; line < line_count(); ++line) EXPECT_EQ(fold_level(line), 0) << line;
    EXPECT_EQ(style_at(0), 2);
    code_editor_set_options(kEditor, OPTION_STYLING | OPTION_FOLD_ANY_LINE);
    ensure_styled();
    EXPECT_EQ(fold_level(1), SC_FOLDLEVELBASE | SC_FOLDLEVELHEADERFLAG);
}

int counting_styler_calls = 0;
int counting_styler(ObjectNumber gadget, const char* text, int length, int, int, int) {
    ++counting_styler_calls;
    // A foreign styler that sends its styles itself.
    scintilla_send(gadget, SCI_SETSTYLING, static_cast<std::uintptr_t>(length), text[0] == '#' ? 9 : 8);
    return 0;
}

TEST_F(EditorConfig, LineStylersAreInstalledAndReturned) {
    create_editor(0, false);
    set_utf8("# one\ntwo\n");
    EXPECT_EQ(code_editor_set_line_styler(kEditor, counting_styler), nullptr);
    EXPECT_GE(counting_styler_calls, 2);
    ensure_styled();
    EXPECT_EQ(style_at(0), 9);
    EXPECT_EQ(style_at(find("two")), 8);
    EXPECT_EQ(code_editor_set_line_styler(kEditor, javascript_line_styler), counting_styler);
    EXPECT_EQ(code_editor_set_line_styler(kEditor, nullptr), javascript_line_styler);
    EXPECT_EQ(style_at(0), STYLE_DEFAULT);
}

TEST_F(EditorConfig, TextInAndOutIsUtf8BothWays) {
    create_editor(EDITOR_LINE_NUMBERS, true);
    const char16_t* text = u"var s = \"gr\u00fc\u00dfe \u4e2d\u6587 \U0001F600\";\r\nx";
    code_editor_set_text(kEditor, text, 1);
    EXPECT_EQ(text_utf8(),
              "var s = \"gr\xc3\xbc\xc3\x9f"
              "e \xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80\";\r\nx");
    const std::int32_t p0 = temp_position();
    char16_t* back = code_editor_get_text(kEditor);
    EXPECT_EQ(std::u16string(back), std::u16string(text));
    temp_reset(p0);
    ensure_styled();
    EXPECT_EQ(style_at(find("\"gr")), 4);
    EXPECT_EQ(style_at(find("\xf0\x9f")), 4);
    // A long text goes in piece by piece: after one unit, surrogate pairs stand across every
    // even place a piece could end, and stay whole; one undo brings the earlier text back.
    std::u16string rows = u"x";
    while (rows.size() < 200000) rows += u"\U0001F600";
    code_editor_set_text(kEditor, rows.c_str(), 0);
    back = code_editor_get_text(kEditor);
    EXPECT_TRUE(std::u16string(back) == rows);
    temp_reset(p0);
    send(SCI_UNDO);
    EXPECT_EQ(text_utf8(),
              "var s = \"gr\xc3\xbc\xc3\x9f"
              "e \xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80\";\r\nx");
}

TEST_F(EditorConfig, EmptyTextLeavesOneLineAndUndoKeepsTheEarlierText) {
    create_editor(EDITOR_LINE_NUMBERS, true);
    code_editor_set_text(kEditor, u"abc\ndef", 1);
    code_editor_set_text(kEditor, u"", 0);
    EXPECT_EQ(line_count(), 1);
    EXPECT_EQ(length(), 0);
    const std::int32_t p0 = temp_position();
    EXPECT_EQ(std::u16string(code_editor_get_text(kEditor)), u"");
    temp_reset(p0);
    send(SCI_UNDO);
    EXPECT_EQ(text_utf8(), "abc\ndef");

    code_editor_set_text(kEditor, u"xyz", 1);
    send(SCI_UNDO);
    EXPECT_EQ(text_utf8(), "xyz");
}

TEST_F(EditorConfig, SettersDoNothingOnAGadgetThatIsNoCodeEditor) {
    ASSERT_NE(string_gadget_create(12, 0, 0, 80, 20, u"field"), 0);
    code_editor_set_text(12, u"changed", 1);
    code_editor_update_line_numbers(12);
    code_editor_set_color(12, COLOR_BACKGROUND, 0);
    code_editor_set_font(12, u"Courier", 20, FONT_BOLD);
    code_editor_set_style_font(12, 3, u"Courier", 20, FONT_BOLD);
    code_editor_set_style_color(12, 3, 0, 0);
    code_editor_set_margin_width(12, 2, 20);
    code_editor_set_tabs(12, 2, 1);
    code_editor_set_options(12, 0);
    EXPECT_EQ(code_editor_set_line_styler(12, javascript_line_styler), nullptr);
    code_editor_restyle_lines(12, 0, -1, -1);
    code_editor_configure_javascript(12);
    EXPECT_EQ(code_editor_get_line_state(12, 0), 0);
    EXPECT_EQ(code_editor_set_line_state(12, 0, 1), 0);
    EXPECT_EQ(code_editor_style_token(12, "abc", 3), 0);
    EXPECT_EQ(scintilla_send(12, SCI_GETLENGTH), 0);
    EXPECT_EQ(scintilla_send(4711, SCI_GETLENGTH), 0);
    const std::int32_t p0 = temp_position();
    EXPECT_EQ(std::u16string(code_editor_get_text(12)), u"");
    EXPECT_EQ(utf8(gadget_get_text(12, temp_position())), "field");
    temp_reset(p0);
    EXPECT_EQ(on_editor_notification(12, nullptr), 0);
}

TEST_F(EditorConfig, LineStatesOnlyForLinesInRange) {
    create_editor(0, false);
    set_utf8("a\nb\n");
    EXPECT_EQ(code_editor_set_line_state(kEditor, 1, 5), 0);
    EXPECT_EQ(code_editor_get_line_state(kEditor, 1), 5);
    EXPECT_EQ(code_editor_set_line_state(kEditor, 1, 6), 5);
    EXPECT_EQ(code_editor_set_line_state(kEditor, 3, 1), 0);
    EXPECT_EQ(code_editor_get_line_state(kEditor, 3), 0);
    EXPECT_EQ(code_editor_set_line_state(kEditor, -1, 1), 0);
    EXPECT_EQ(code_editor_get_line_state(kEditor, -1), 0);
}

}  // namespace

namespace {

std::vector<unsigned> owner_codes;
int owner_saw_margin = -1;
int owner_updates = 0;  // the SC_UPDATE_* flags of every SCN_UPDATEUI seen
std::intptr_t owner_callback(ObjectNumber gadget, const SCNotification* notification) {
    EXPECT_EQ(gadget, kEditor);
    owner_codes.push_back(notification->nmhdr.code);
    if (notification->nmhdr.code == SCN_UPDATEUI) owner_updates |= notification->updated;
    // The editor has done its own handling first: the margin already fits the line count.
    if (notification->nmhdr.code == SCN_MODIFIED && notification->linesAdded != 0)
        owner_saw_margin = static_cast<int>(scintilla_send(gadget, SCI_GETMARGINWIDTHN, 0));
    return 12345;
}

class Notifications : public EditorTest {};

TEST_F(Notifications, TheOwnersCallbackFollowsTheEditorsOwnHandling) {
    ASSERT_NE(code_editor_create(kEditor, 0, 0, 400, 300, owner_callback, EDITOR_LINE_NUMBERS), 0);
    owner_codes.clear();
    set_utf8("1\n2\n3\n4\n5\n6\n7\n8\n9\n10");
    EXPECT_NE(std::find(owner_codes.begin(), owner_codes.end(), SCN_MODIFIED), owner_codes.end());
    // The component announces changes before they happen; a notice that lines were added (as
    // an owner that asks for every notice gets them) sizes the margin before the owner sees it.
    GadgetRecord* record = gadget_lookup(kEditor);
    send(SCI_SETMARGINWIDTHN, 0, 1);
    SCNotification n{};
    n.nmhdr.code = SCN_MODIFIED;
    n.modificationType = SC_MOD_INSERTTEXT;
    n.linesAdded = 1;
    EXPECT_EQ(scintilla_notify_hook(record, nullptr, WM_NOTIFY, 0, reinterpret_cast<std::intptr_t>(&n)), 0);
    EXPECT_EQ(owner_saw_margin,
              static_cast<int>(send(SCI_TEXTWIDTH, STYLE_LINENUMBER, reinterpret_cast<std::intptr_t>("99")) + 10));
    // Notifications reach the handler through the toolkit's WM_NOTIFY, synchronously.
    n = SCNotification{};
    n.nmhdr.code = SCN_CHARADDED;
    n.ch = 'a';
    owner_codes.clear();
    EXPECT_EQ(scintilla_notify_hook(record, nullptr, WM_NOTIFY, 0, reinterpret_cast<std::intptr_t>(&n)), 0);
    EXPECT_EQ(owner_codes, std::vector<unsigned>{SCN_CHARADDED});
    EXPECT_EQ(scintilla_notify_hook(record, nullptr, WM_COMMAND, 0, reinterpret_cast<std::intptr_t>(&n)), NOT_HANDLED);
    EXPECT_EQ(owner_codes.size(), 1u);
    EXPECT_EQ(record->kind_table->parent_message, scintilla_notify_hook);
    EXPECT_EQ(record->kind_table->kind, GADGET_KIND_CODE_EDITOR);
}

TEST_F(Notifications, TheOwnerHearsWhenTheTextTheSelectionOrTheScrollingChanged) {
    ASSERT_NE(code_editor_create(kEditor, 0, 0, 400, 300, owner_callback, EDITOR_LINE_NUMBERS), 0);
    widget()->window()->show();
    QApplication::processEvents();
    std::string text;
    for (int line = 0; line < 200; ++line) text += "line\n";
    struct Step {
        std::function<void()> act;
        int update;
    };
    const Step steps[] = {
        {[&] { set_utf8(text); }, SC_UPDATE_CONTENT},
        {[&] { send(SCI_SETSEL, 5, 9); }, SC_UPDATE_SELECTION},
        {[&] { send(SCI_LINESCROLL, 0, 50); }, SC_UPDATE_V_SCROLL},
    };
    for (const Step& step : steps) {
        owner_updates = 0;
        step.act();
        QApplication::processEvents();
        EXPECT_TRUE(owner_updates & step.update) << step.update;
    }
}

TEST_F(Notifications, StylingRequestsStyleFromTheLineAboveTheFirstUnstyledOne) {
    create_editor(EDITOR_LINE_NUMBERS, true);
    set_utf8("a\nb\nvar c\nvar d\nvar e\n");
    ensure_styled();
    // Paint lines 2 to 4 over, mark the text from line 3 on as unstyled, then ask up to line 3.
    send(SCI_STARTSTYLING, static_cast<std::uintptr_t>(send(SCI_POSITIONFROMLINE, 2)), 31);
    send(SCI_SETSTYLING, static_cast<std::uintptr_t>(length() - send(SCI_POSITIONFROMLINE, 2)), 7);
    send(SCI_STARTSTYLING, static_cast<std::uintptr_t>(send(SCI_POSITIONFROMLINE, 3)), 31);
    SCNotification n{};
    n.nmhdr.code = SCN_STYLENEEDED;
    n.position = send(SCI_POSITIONFROMLINE, 4) - 1;
    on_editor_notification(kEditor, &n);
    EXPECT_EQ(style_at(static_cast<int>(send(SCI_POSITIONFROMLINE, 2))), 2);  // one line above
    EXPECT_EQ(style_at(static_cast<int>(send(SCI_POSITIONFROMLINE, 3))), 2);
    EXPECT_EQ(style_at(static_cast<int>(send(SCI_POSITIONFROMLINE, 4))), 7);  // not asked for
}

}  // namespace

namespace {

// Each component gadget keeps its own handlers: notifications, the end of a change and the
// release of its data reach the ones set for it, whatever another gadget set.
std::vector<std::string> component_calls;
std::intptr_t component_notified(ObjectNumber gadget, const SCNotification*) {
    component_calls.push_back("notified " + std::to_string(gadget));
    return 0;
}
void component_changed(ObjectNumber gadget, int) { component_calls.push_back("changed " + std::to_string(gadget)); }
void release_first(std::intptr_t data) { component_calls.push_back("first released " + std::to_string(data)); }
void release_second(std::intptr_t data) { component_calls.push_back("second released " + std::to_string(data)); }

class Component : public EditorTest {};

TEST_F(Component, EachGadgetKeepsItsOwnHandlers) {
    ASSERT_NE(scintilla_gadget_create(20, 0, 0, 100, 100, nullptr), 0);
    ASSERT_NE(scintilla_gadget_create(21, 0, 0, 100, 100, component_notified), 0);
    gadget_set_data(20, 100);
    scintilla_set_data_release(20, release_first);
    scintilla_set_change_end_handler(20, component_changed);
    gadget_set_data(21, 200);
    scintilla_set_data_release(21, release_second);
    component_calls.clear();
    scintilla_send(21, SCI_INSERTTEXT, 0, reinterpret_cast<std::intptr_t>("x"));
    EXPECT_EQ(component_calls, std::vector<std::string>{"notified 21"});
    component_calls.clear();
    scintilla_send(20, SCI_INSERTTEXT, 0, reinterpret_cast<std::intptr_t>("x"));
    EXPECT_EQ(component_calls, std::vector<std::string>{"changed 20"});
    // A new gadget under the number replaces each; the old one's data goes with it.
    component_calls.clear();
    ASSERT_NE(text_gadget_create(20, 0, 0, 10, 10, u""), 0);
    ASSERT_NE(text_gadget_create(21, 0, 0, 10, 10, u""), 0);
    EXPECT_EQ(component_calls, (std::vector<std::string>{"first released 100", "second released 200"}));
}

}  // namespace
