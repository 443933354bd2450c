// Gadgets on real (offscreen) Qt: the six kinds, numbers and handles, text in and out (the editor
// with CR LF), fonts and their -1 forms, data, colours and the brush cache, events from clicks,
// typing and reported keys, a list that asks only for the rows it shows, moving, hiding and
// focus, undo and the clipboard, destruction and its queued events, and the per-window gadget
// lists.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/strings.h"
#include "runtime/ui/event_internal.h"
#include "runtime/ui/font.h"
#include "runtime/ui/font_qt.h"
#include "runtime/ui/gadget_internal.h"
#include "runtime/ui/shortcut.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_qt.h"

namespace {

struct Seen {
    int code;
    ObjectNumber object;
    ObjectNumber window;
    std::intptr_t type;
};

std::vector<Seen> collect() {
    QCoreApplication::processEvents();
    std::vector<Seen> seen;
    while (int code = event_wait(0)) seen.push_back({code, event_object(), event_window(), event_type()});
    return seen;
}

int count(const std::vector<Seen>& seen, int code, ObjectNumber object, std::intptr_t type) {
    int n = 0;
    for (const Seen& s : seen)
        if (s.code == code && s.object == object && s.type == type) ++n;
    return n;
}

std::u16string text_of(ObjectNumber gadget) {
    TempScope scope;
    char16_t* text = gadget_get_text(gadget, scope.start());
    return text ? std::u16string(text) : u"<null>";
}

QWidget* control(ObjectNumber gadget) {
    GadgetRecord* record = gadget_lookup(gadget);
    return record ? static_cast<QWidget*>(record->handle) : nullptr;
}

constexpr ObjectNumber WINDOW = 60;

class GadgetQt : public testing::Test {
protected:
    void SetUp() override {
        window_open(WINDOW, 0, 0, 400, 300, u"Gadgets", 0xC80001);
        collect();
    }
    void TearDown() override {
        window_close(WINDOW);
        window_close(WINDOW + 1);
        gadget_set_font(-1, -1);
        collect();
    }
};

TEST_F(GadgetQt, FourKindsAreChildrenOfTheClientAreaAtTheirPlace) {
    ObjectNumber label = text_gadget_create(ANY_NUMBER, 10, 10, 200, 22, u"Extension name");
    ObjectNumber handle = string_gadget_create(7, 10, 35, 200, 22, u"");
    editor_gadget_create(9, 10, 60, 200, 80);
    button_gadget_create(12, 220, 10, 80, 25, u"OK");
    EXPECT_GT(label, 0);
    EXPECT_EQ(handle, reinterpret_cast<ObjectNumber>(control(7)));
    EXPECT_EQ(gadget_kind(label), GADGET_KIND_TEXT);
    EXPECT_EQ(gadget_kind(7), GADGET_KIND_STRING);
    EXPECT_EQ(gadget_kind(9), GADGET_KIND_EDITOR);
    EXPECT_EQ(gadget_kind(12), GADGET_KIND_BUTTON);
    EXPECT_EQ(gadget_kind(13), 0);
    QWidget* client = window_client_widget(window_handle(WINDOW));
    EXPECT_EQ(control(7)->parentWidget(), client);
    EXPECT_EQ(control(7)->geometry(), QRect(10, 35, 200, 22));
    EXPECT_EQ(control(9)->geometry(), QRect(10, 60, 200, 80));
    EXPECT_NE(qobject_cast<QLabel*>(control(label)), nullptr);
    EXPECT_NE(qobject_cast<QLineEdit*>(control(7)), nullptr);
    EXPECT_NE(qobject_cast<QPlainTextEdit*>(control(9)), nullptr);
    auto* button = qobject_cast<QPushButton*>(control(12));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->autoDefault());
    EXPECT_TRUE(gadget_exists(label));
    EXPECT_TRUE(gadget_exists(7));
    EXPECT_FALSE(gadget_exists(8));
}

TEST_F(GadgetQt, TextRoundTripsAndNullClears) {
    ObjectNumber label = text_gadget_create(ANY_NUMBER, 0, 0, 100, 20, u"Author");
    string_gadget_create(7, 0, 30, 100, 20, u"start");
    button_gadget_create(12, 0, 60, 100, 20, u"Go");
    EXPECT_EQ(text_of(label), u"Author");
    EXPECT_EQ(text_of(7), u"start");
    EXPECT_EQ(text_of(12), u"Go");
    gadget_set_text(7, u"Zo\u00eb \U0001F600");
    EXPECT_EQ(text_of(7), u"Zo\u00eb \U0001F600");
    gadget_set_text(7, nullptr);
    EXPECT_EQ(text_of(7), u"");
    // Any length: more than QLineEdit's default limit of 32767 characters.
    const std::u16string long_text(40000, u'a');
    gadget_set_text(7, long_text.c_str());
    EXPECT_EQ(text_of(7), long_text);
    gadget_set_text(label, u"<b>not rich</b>");
    EXPECT_EQ(qobject_cast<QLabel*>(control(label))->text(), QStringLiteral("<b>not rich</b>"));
    EXPECT_EQ(qobject_cast<QLabel*>(control(label))->textFormat(), Qt::PlainText);
    EXPECT_EQ(gadget_get_text(99, temp_position()), nullptr);
    gadget_set_text(99, u"nothing");  // invalid: nothing happens
}

TEST_F(GadgetQt, AShorteningLabelShowsWhatFitsAndGivesBackAndReadsOutTheWholeText) {
    const std::u16string whole = u"Missing closing parenthesis at character 3";
    ObjectNumber label = text_gadget_create(ANY_NUMBER, 0, 0, 400, 20, whole.c_str(), GADGET_SHORTEN_FLAG);
    auto* shown = qobject_cast<QLabel*>(control(label));
    const int needed = gadget_text_width(label);
    EXPECT_GE(needed, shown->fontMetrics().horizontalAdvance(QString::fromStdU16String(whole)));
    // Narrower than the text, wide enough again, and a new text while narrow.
    const std::pair<int, std::u16string> cases[] = {
        {needed / 2, whole}, {needed, whole}, {needed / 4, u"Line 1, Column 1"}};
    for (const auto& [width, text] : cases) {
        gadget_resize(label, 0, 0, width, 20);
        gadget_set_text(label, text.c_str());
        const QString full = QString::fromStdU16String(text);
        EXPECT_LE(shown->fontMetrics().horizontalAdvance(shown->text()), shown->contentsRect().width()) << width;
        EXPECT_EQ(shown->text() == full, gadget_text_width(label) <= width) << width;
        EXPECT_EQ(text_of(label), text);
        EXPECT_EQ(shown->accessibleName(), full);
    }
}

TEST_F(GadgetQt, EditorTextReadsWithCrLfWhateverTheLineEndsWere) {
    editor_gadget_create(9, 0, 0, 200, 100);
    EXPECT_EQ(text_of(9), u"");
    gadget_set_text(9, u"one\r\ntwo\nthree\rfour");
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(control(9))->blockCount(), 4);
    EXPECT_EQ(text_of(9), u"one\r\ntwo\r\nthree\r\nfour");
    // Every other character reads back as it was: no-break space, line and paragraph separators.
    gadget_set_text(9, u"a\u00A0b\u2028c\u2029d\r\n\u2029");
    EXPECT_EQ(text_of(9), u"a\u00A0b\u2028c\u2029d\r\n\u2029");
    // Typed lines as well; Shift+Enter starts a line as Enter does.
    gadget_set_text(9, nullptr);
    auto* editor = qobject_cast<QPlainTextEdit*>(control(9));
    QTest::keyClicks(editor, QStringLiteral("ab"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, QStringLiteral("c"));
    QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(editor, QStringLiteral("d"));
    EXPECT_EQ(text_of(9), u"ab\r\nc\r\nd");
}

TEST_F(GadgetQt, EditorEmptyTextResetsTheLineState) {
    editor_gadget_create(9, 0, 0, 200, 100);
    gadget_set_text(9, u"x");
    gadget_lookup(9)->line_state = 5;
    gadget_set_text(9, u"y");
    EXPECT_EQ(gadget_lookup(9)->line_state, 5);
    gadget_set_text(9, nullptr);
    EXPECT_EQ(gadget_lookup(9)->line_state, 0);
}

TEST_F(GadgetQt, DefaultFontChangesOnlyGadgetsCreatedAfterwardsUntilItIsFreed) {
    ObjectNumber font = font_load(ANY_NUMBER, u"Arial", 20, FONT_BOLD);
    ASSERT_NE(font, 0);
    const QFont* qfont = font_qfont(font_handle(font));
    ASSERT_NE(qfont, nullptr);
    ObjectNumber before = text_gadget_create(ANY_NUMBER, 0, 0, 100, 20, u"before");
    EXPECT_EQ(gadget_set_font(-1, font_handle(font)), 1);
    ObjectNumber after = text_gadget_create(ANY_NUMBER, 0, 30, 100, 20, u"after");
    EXPECT_EQ(control(before)->font(), QApplication::font());
    EXPECT_EQ(control(after)->font(), *qfont);
    // -1 as the font: the default GUI font again.
    EXPECT_EQ(gadget_set_font(after, -1), 1);
    EXPECT_EQ(control(after)->font(), QApplication::font());
    // A dynamic number is a number gadget_set_font accepts.
    EXPECT_EQ(gadget_set_font(before, font_handle(font)), 1);
    EXPECT_EQ(control(before)->font(), *qfont);
    EXPECT_EQ(gadget_set_font(4444, font_handle(font)), 0);
    gadget_set_font(-1, -1);
    ObjectNumber last = text_gadget_create(ANY_NUMBER, 0, 60, 100, 20, u"last");
    EXPECT_EQ(control(last)->font(), QApplication::font());
    // A freed default font is the default no more, even when a font loaded right after takes its
    // memory; gadgets given it keep their own copy.
    const QFont loaded = *qfont;
    gadget_set_font(-1, font_handle(font));
    EXPECT_EQ(font_free(font), 1);
    ObjectNumber other = font_load(ANY_NUMBER, u"Courier", 7, FONT_ITALIC);
    ObjectNumber freed = text_gadget_create(ANY_NUMBER, 0, 90, 100, 20, u"freed");
    EXPECT_EQ(control(freed)->font(), QApplication::font());
    EXPECT_EQ(control(before)->font(), loaded);
    font_free(other);
}

TEST_F(GadgetQt, DataBelongsToTheGadget) {
    string_gadget_create(7, 0, 0, 100, 20, nullptr);
    EXPECT_EQ(gadget_get_data(7), 0);
    gadget_set_data(7, 123456789);
    EXPECT_EQ(gadget_get_data(7), 123456789);
    gadget_set_data(70, 5);
    EXPECT_EQ(gadget_get_data(70), 0);
    EXPECT_EQ(rgb(1, 2, 3), 0x030201);
    EXPECT_EQ(rgb(255, 255, 255), 0xFFFFFF);
}

TEST_F(GadgetQt, ColoursReachThePaletteAndShareCachedBrushes) {
    ObjectNumber a = text_gadget_create(ANY_NUMBER, 0, 0, 100, 20, u"a");
    string_gadget_create(7, 0, 30, 100, 20, u"b");
    int cached = gadget_brush_cache_size();
    EXPECT_EQ(gadget_get_color(a, COLOR_BACK), -1);
    gadget_set_color(a, COLOR_BACK, rgb(255, 0, 0));
    gadget_set_color(7, COLOR_BACK, rgb(255, 0, 0));
    EXPECT_EQ(gadget_brush_cache_size(), cached + 1);
    auto* brush = reinterpret_cast<GadgetBrush*>(gadget_lookup(a)->brush);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->references, 2);
    gadget_set_color(a, COLOR_FRONT, rgb(0, 0, 255));
    EXPECT_EQ(gadget_get_color(a, COLOR_FRONT), rgb(0, 0, 255));
    EXPECT_EQ(control(a)->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(control(a)->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(control(7)->palette().color(QPalette::Base), QColor(255, 0, 0));
    // Back to the system colour releases the brush; destroying the other gadget releases the last.
    gadget_set_color(a, COLOR_BACK, -1);
    EXPECT_EQ(gadget_lookup(a)->brush, 0);
    EXPECT_EQ(brush->references, 1);
    window_close(WINDOW);
    EXPECT_EQ(gadget_brush_cache_size(), cached);
}

TEST_F(GadgetQt, ButtonClickGivesGadgetEventWithClicked) {
    button_gadget_create(12, 10, 10, 80, 25, u"Press");
    collect();
    QTest::mouseClick(control(12), Qt::LeftButton);
    auto seen = collect();
    ASSERT_EQ(count(seen, EVENT_GADGET, 12, BN_CLICKED), 1);
    for (const Seen& s : seen)
        if (s.code == EVENT_GADGET) {
            EXPECT_EQ(s.window, WINDOW);
        }
}

TEST_F(GadgetQt, TypingInAFieldGivesUpdateAndChangeAndInAnEditorChange) {
    string_gadget_create(7, 10, 10, 100, 22, nullptr);
    editor_gadget_create(9, 10, 40, 100, 60);
    collect();
    QTest::keyClick(control(7), Qt::Key_A);
    auto seen = collect();
    EXPECT_EQ(count(seen, EVENT_GADGET, 7, EN_UPDATE), 1);
    EXPECT_EQ(count(seen, EVENT_GADGET, 7, EN_CHANGE), 1);
    EXPECT_EQ(text_of(7), u"a");
    QTest::keyClick(control(9), Qt::Key_B);
    seen = collect();
    EXPECT_EQ(count(seen, EVENT_GADGET, 9, EN_CHANGE), 1);
    EXPECT_EQ(text_of(9), u"b");
}

TEST_F(GadgetQt, FieldFocusChangesAreGadgetEvents) {
    string_gadget_create(7, 10, 10, 100, 22, nullptr);
    string_gadget_create(8, 10, 40, 100, 22, nullptr);
    QWidget* window = window_widget(window_handle(WINDOW));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    control(7)->setFocus();
    collect();
    control(8)->setFocus();
    auto seen = collect();
    EXPECT_EQ(count(seen, EVENT_GADGET, 7, GADGET_EVENT_LOST_FOCUS), 1);
    EXPECT_EQ(count(seen, EVENT_GADGET, 8, GADGET_EVENT_FOCUS), 1);
    // The program moves the focus as a click does.
    EXPECT_EQ(gadget_set_focus(7), 1);
    EXPECT_EQ(QApplication::focusWidget(), control(7));
    seen = collect();
    EXPECT_EQ(count(seen, EVENT_GADGET, 8, GADGET_EVENT_LOST_FOCUS), 1);
    EXPECT_EQ(count(seen, EVENT_GADGET, 7, GADGET_EVENT_FOCUS), 1);
    EXPECT_EQ(gadget_set_focus(99), 0);
    EXPECT_EQ(QApplication::focusWidget(), control(7));
}

TEST_F(GadgetQt, DestroyingAGadgetDropsOnlyItsOwnQueuedEvents) {
    string_gadget_create(7, 0, 0, 100, 20, nullptr);
    string_gadget_create(8, 0, 30, 100, 20, nullptr);
    collect();
    event_enqueue(EVENT_GADGET, 7, WINDOW, EN_CHANGE);
    event_enqueue(EVENT_GADGET, 8, WINDOW, EN_CHANGE);
    event_enqueue(EVENT_GADGET, 7, WINDOW, GADGET_EVENT_FOCUS);
    event_enqueue(EVENT_WINDOW_SIZED, 0, WINDOW, 0);
    QPointer<QWidget> old = control(7);
    // Re-creating the number destroys the old control first.
    text_gadget_create(7, 0, 60, 100, 20, u"new");
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(gadget_kind(7), GADGET_KIND_TEXT);
    auto seen = collect();
    EXPECT_EQ(count(seen, EVENT_GADGET, 7, EN_CHANGE), 0);
    EXPECT_EQ(count(seen, EVENT_GADGET, 7, GADGET_EVENT_FOCUS), 0);
    EXPECT_EQ(count(seen, EVENT_GADGET, 8, EN_CHANGE), 1);
    EXPECT_EQ(count(seen, EVENT_WINDOW_SIZED, 0, 0), 1);
}

TEST_F(GadgetQt, AGadgetGoesWhenItsControlIsDeleted) {
    ObjectNumber dynamic = string_gadget_create(ANY_NUMBER, 0, 0, 100, 20, nullptr);
    string_gadget_create(7, 0, 30, 100, 20, nullptr);
    EXPECT_TRUE(gadget_exists(dynamic));
    delete control(7);
    EXPECT_FALSE(gadget_exists(7));
    EXPECT_EQ(gadget_lookup(7), nullptr);
    window_close(WINDOW);
    EXPECT_FALSE(gadget_exists(dynamic));
}

TEST_F(GadgetQt, SecondWindowBecomesTheGadgetListAndClosingItLeavesNone) {
    NativeHandle first = window_handle(WINDOW);
    EXPECT_EQ(gadget_list_current(), first);
    window_open(WINDOW + 1, 0, 0, 200, 100, u"Second", 0xC80001);
    NativeHandle second = window_handle(WINDOW + 1);
    EXPECT_EQ(gadget_list_current(), second);
    string_gadget_create(7, 0, 0, 100, 20, nullptr);
    EXPECT_EQ(control(7)->window(), window_widget(second));
    window_close(WINDOW + 1);
    EXPECT_EQ(gadget_list_current(), nullptr);
    EXPECT_EQ(string_gadget_create(8, 0, 0, 100, 20, nullptr), 0);
    EXPECT_FALSE(gadget_exists(8));
    EXPECT_EQ(gadget_list_use(first), nullptr);
    EXPECT_NE(string_gadget_create(8, 0, 0, 100, 20, nullptr), 0);
    EXPECT_EQ(control(8)->window(), window_widget(first));
    // Switching back and forth returns the previous list each time.
    window_open(WINDOW + 1, 0, 0, 200, 100, u"Second", WINDOW_NO_GADGETS | 1);
    EXPECT_EQ(gadget_list_current(), first);
    EXPECT_EQ(gadget_list_use(window_handle(WINDOW + 1)), first);
    EXPECT_EQ(gadget_list_use(first), window_handle(WINDOW + 1));
    EXPECT_EQ(gadget_list_use(nullptr), first);
}

TEST_F(GadgetQt, EditorColoursSurviveAFontChange) {
    editor_gadget_create(9, 0, 0, 200, 100);
    EXPECT_EQ(gadget_get_color(9, COLOR_FRONT), -1);
    EXPECT_EQ(gadget_get_color(9, COLOR_BACK), -1);
    ObjectNumber font = font_load(ANY_NUMBER, u"Courier", 12, 0);
    gadget_set_font(9, font_handle(font));
    // The text colour stays automatic: the system's.
    EXPECT_EQ(gadget_get_color(9, COLOR_FRONT), -1);
    EXPECT_EQ(control(9)->palette().color(QPalette::Text), QApplication::palette(control(9)).color(QPalette::Text));
    gadget_set_color(9, COLOR_FRONT, rgb(0, 128, 0));
    gadget_set_color(9, COLOR_BACK, rgb(250, 250, 200));
    gadget_set_font(9, -1);
    EXPECT_EQ(control(9)->palette().color(QPalette::Text), QColor(0, 128, 0));
    EXPECT_EQ(control(9)->palette().color(QPalette::Base), QColor(250, 250, 200));
    EXPECT_EQ(gadget_get_color(9, COLOR_FRONT), rgb(0, 128, 0));
    font_free(font);
}

TEST_F(GadgetQt, CreationFlagsReadOnlyPasswordDisabledAndBorders) {
    string_gadget_create(7, 0, 0, 100, 20, u"secret", 0x20 | 0x800);
    editor_gadget_create(9, 0, 30, 100, 60, 0x800);
    button_gadget_create(12, 0, 100, 80, 25, u"Off", 0x08000000);
    string_gadget_create(8, 0, 130, 100, 20, u"flat", GADGET_BORDER_FLAG);
    ObjectNumber sunken = text_gadget_create(ANY_NUMBER, 0, 160, 100, 20, u"sunken", GADGET_BORDER_FLAG);
    auto* field = qobject_cast<QLineEdit*>(control(7));
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(field->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(qobject_cast<QPlainTextEdit*>(control(9))->isReadOnly());
    EXPECT_FALSE(control(12)->isEnabled());
    EXPECT_FALSE(qobject_cast<QLineEdit*>(control(8))->hasFrame());
    EXPECT_NE(qobject_cast<QLabel*>(control(sunken))->frameStyle(), 0);
    // Defaults: writable, framed field; frameless label.
    ObjectNumber plain = string_gadget_create(ANY_NUMBER, 0, 190, 100, 20, u"");
    EXPECT_FALSE(qobject_cast<QLineEdit*>(control(plain))->isReadOnly());
    EXPECT_TRUE(qobject_cast<QLineEdit*>(control(plain))->hasFrame());
}

TEST_F(GadgetQt, ACheckboxTicksOnAClickAndTellsOnlyThat) {
    ASSERT_NE(checkbox_gadget_create(13, 10, 10, 120, 22, u"Match case"), 0);
    EXPECT_EQ(gadget_kind(13), GADGET_KIND_CHECKBOX);
    EXPECT_EQ(qobject_cast<QCheckBox*>(control(13))->text(), "Match case");
    gadget_set_state(13, 1);
    EXPECT_EQ(gadget_get_state(13), 1);
    EXPECT_EQ(count(collect(), EVENT_GADGET, 13, BN_CLICKED), 0);
    QTest::mouseClick(control(13), Qt::LeftButton, {}, QPoint(5, 11));
    EXPECT_EQ(count(collect(), EVENT_GADGET, 13, BN_CLICKED), 1);
    EXPECT_EQ(gadget_get_state(13), 0);
}

TEST_F(GadgetQt, ControlsThatReportKeysGiveEnterEscapeAndTabAsEventsAndKeepThem) {
    string_gadget_create(7, 10, 10, 100, 22, nullptr, GADGET_KEY_EVENTS_FLAG);
    checkbox_gadget_create(13, 10, 40, 100, 22, u"Box", GADGET_KEY_EVENTS_FLAG);
    string_gadget_create(8, 10, 70, 100, 22, nullptr);
    // Without the window's Tab entries, as in the main window, Tab reaches the control.
    shortcut_remove(WINDOW, SHORTCUT_ALL);
    collect();
    const std::pair<QKeyCombination, int> keys[] = {{Qt::Key_Return, GADGET_EVENT_RETURN},
                                                    {Qt::KeypadModifier | Qt::Key_Enter, GADGET_EVENT_RETURN},
                                                    {Qt::ShiftModifier | Qt::Key_Return, GADGET_EVENT_SHIFT_RETURN},
                                                    {Qt::Key_Escape, GADGET_EVENT_ESCAPE},
                                                    {Qt::Key_Tab, GADGET_EVENT_TAB},
                                                    {Qt::ShiftModifier | Qt::Key_Backtab, GADGET_EVENT_SHIFT_TAB}};
    for (ObjectNumber gadget : {7, 13})
        for (auto [key, type] : keys) {
            QTest::keyClick(control(gadget), key.key(), key.keyboardModifiers());
            EXPECT_EQ(count(collect(), EVENT_GADGET, gadget, type), 1) << gadget << " " << type;
        }
    // Letters still type; a field made without the flag reports nothing.
    QTest::keyClick(control(7), Qt::Key_A);
    EXPECT_EQ(text_of(7), u"a");
    QTest::keyClick(control(8), Qt::Key_Return);
    for (const Seen& s : collect()) EXPECT_FALSE(s.type >= GADGET_EVENT_RETURN && s.type <= GADGET_EVENT_SHIFT_TAB);
}

// A list of 100,000 rows asks for the text of those it paints; it selects and moves within its
// rows. A field made with the arrow flag gives Up, Down, Page Up and Page Down as events.
TEST_F(GadgetQt, AListAsksOnlyForTheRowsItShowsAndAFieldCanMoveInIt) {
    list_gadget_create(14, 10, 10, 200, 100, GADGET_KEY_EVENTS_FLAG);
    string_gadget_create(7, 10, 120, 100, 22, nullptr, GADGET_ARROW_EVENTS_FLAG);
    EXPECT_EQ(gadget_kind(14), GADGET_KIND_LIST);
    static int asked = 0;
    static std::u16string row;
    list_gadget_set_rows(
        14, 100000,
        [](void*, int at) {
            ++asked;
            row = u"row " + std::u16string(1, char16_t(u'0' + at % 10));
            return row.c_str();
        },
        nullptr);
    control(14)->grab();
    const int shown = list_gadget_rows_shown(14);
    EXPECT_GE(shown, 2);
    EXPECT_GT(asked, 0);
    EXPECT_LE(asked, 4 * (shown + 2));
    EXPECT_EQ(gadget_get_state(14), -1);
    gadget_set_state(14, 99999);
    EXPECT_EQ(gadget_get_state(14), 99999);
    QTest::keyClick(control(14), Qt::Key_Return);
    EXPECT_EQ(count(collect(), EVENT_GADGET, 14, GADGET_EVENT_RETURN), 1);
    struct Move {
        int selected, by, count, row;
    };
    for (const Move& m : {Move{-1, 1, 5, 0}, Move{-1, -1, 5, -1}, Move{0, -1, 5, 0}, Move{2, -1, 5, 1},
                          Move{3, 10, 5, 4}, Move{0, 1, 0, -1}})
        EXPECT_EQ(list_row_after_move(m.selected, m.by, m.count), m.row) << m.selected << " " << m.by;
    for (auto [key, type] :
         {std::pair{Qt::Key_Up, GADGET_EVENT_UP}, std::pair{Qt::Key_Down, GADGET_EVENT_DOWN},
          std::pair{Qt::Key_PageUp, GADGET_EVENT_PAGE_UP}, std::pair{Qt::Key_PageDown, GADGET_EVENT_PAGE_DOWN}}) {
        QTest::keyClick(control(7), key);
        EXPECT_EQ(count(collect(), EVENT_GADGET, 7, type), 1) << type;
    }
}

TEST_F(GadgetQt, GadgetsMoveHideAndTellWhichHasTheFocus) {
    string_gadget_create(7, 10, 10, 100, 22, nullptr);
    editor_gadget_create(9, 10, 40, 100, 60);
    EXPECT_EQ(gadget_resize(7, 20, 30, 140, 24), 1);
    EXPECT_EQ(control(7)->geometry(), QRect(20, 30, 140, 24));
    EXPECT_EQ(gadget_hide(7, 1), 1);
    EXPECT_FALSE(control(7)->isVisible());
    EXPECT_EQ(gadget_hide(7, 0), 1);
    EXPECT_TRUE(control(7)->isVisible());
    QWidget* window = window_widget(window_handle(WINDOW));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    gadget_set_focus(9);
    EXPECT_EQ(gadget_with_focus(WINDOW), 9);
    // The editor's viewport counts as the editor.
    static_cast<QPlainTextEdit*>(control(9))->viewport()->setFocus();
    EXPECT_EQ(gadget_with_focus(WINDOW), 9);
    EXPECT_EQ(gadget_resize(99, 0, 0, 1, 1) + gadget_hide(99, 1), 0);
    EXPECT_EQ(gadget_with_focus(99), -1);
}

TEST_F(GadgetQt, FieldsUndoCutCopyPasteAndSelectAllOnlyWhenTheyCan) {
    string_gadget_create(7, 10, 10, 100, 22, nullptr);
    editor_gadget_create(9, 10, 40, 100, 60);
    string_gadget_create(8, 10, 110, 100, 22, nullptr, 0x800);  // read-only
    text_gadget_create(10, 10, 140, 100, 22, u"label");
    for (ObjectNumber gadget : {7, 9}) {
        SCOPED_TRACE(gadget);
        QGuiApplication::clipboard()->clear();
        // Empty: nothing to undo, select, cut, copy or paste.
        for (int action : {EDIT_UNDO, EDIT_REDO, EDIT_CUT, EDIT_COPY, EDIT_PASTE, EDIT_SELECT_ALL})
            EXPECT_EQ(gadget_can_edit(gadget, action), 0) << action;
        QTest::keyClicks(control(gadget), "abc");
        EXPECT_EQ(gadget_can_edit(gadget, EDIT_UNDO), 1);
        EXPECT_EQ(gadget_can_edit(gadget, EDIT_COPY), 0);  // nothing selected yet
        const std::pair<int, const char16_t*> steps[] = {
            {EDIT_SELECT_ALL, u"abc"}, {EDIT_CUT, u""},        {EDIT_PASTE, u"abc"},         {EDIT_PASTE, u"abcabc"},
            {EDIT_UNDO, u"abc"},       {EDIT_REDO, u"abcabc"}, {EDIT_SELECT_ALL, u"abcabc"}, {EDIT_COPY, u"abcabc"}};
        for (auto [action, text] : steps) {
            EXPECT_EQ(gadget_edit(gadget, action), 1) << action;
            EXPECT_EQ(text_of(gadget), text) << action;
        }
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "abcabc");
    }
    // A read-only field copies but neither cuts nor takes a paste; a label has no editing.
    gadget_set_text(8, u"fixed");
    gadget_edit(8, EDIT_SELECT_ALL);
    EXPECT_EQ(gadget_can_edit(8, EDIT_COPY), 1);
    EXPECT_EQ(gadget_can_edit(8, EDIT_CUT) + gadget_can_edit(8, EDIT_PASTE), 0);
    EXPECT_EQ(gadget_edit(10, EDIT_SELECT_ALL) + gadget_can_edit(99, EDIT_COPY), 0);
}

}  // namespace
