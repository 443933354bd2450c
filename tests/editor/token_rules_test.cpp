// The token rules beyond what the JavaScript set-up uses: spans that nest, spans to the line
// end, styles passed to the next word or taken from a word's first or last character or from
// the separator behind it, fold-once entries, measuring without side effects, and a styler of
// another's between the engine's tokens.
#include "editor/editor_internal.h"
#include "editor_support.h"

namespace {

class TokenRules : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        create_editor(0, false);
    }
    // The style of each byte of the document, as a string of style numbers per character.
    void styled(const std::string& text) {
        set_utf8(text);
        ensure_styled();
    }
    std::vector<int> run(int style, std::size_t n) const { return std::vector<int>(n, style); }
};

TEST_F(TokenRules, SpanToLineEndStopsBeforeTheLineEnd) {
    code_editor_add_delimiter(kEditor, u"#", u"", WORD_TO_LINE_END, 7);
    styled("a # rest\r\nb");
    EXPECT_EQ(styles_of("# rest"), run(7, 6));
    EXPECT_EQ(styles_of("\r\nb"), run(STYLE_DEFAULT, 3));
    EXPECT_EQ(style_at(0), STYLE_DEFAULT);
}

TEST_F(TokenRules, SpansWithOtherClosingCharactersNest) {
    code_editor_add_delimiter(kEditor, u"(", u")", WORD_SPAN, 4);
    styled("x(a(b)c)d (open\nnext");
    EXPECT_EQ(styles_of("(a(b)c)"), run(4, 7));
    EXPECT_EQ(styles_of("d "), run(STYLE_DEFAULT, 2));
    EXPECT_EQ(styles_of("(open"), run(4, 5));
    EXPECT_EQ(styles_of("\nnext"), run(STYLE_DEFAULT, 5));
}

TEST_F(TokenRules, StyleNextPassesAcrossBlanksToTheNextWord) {
    code_editor_add_words(kEditor, u"@", 8, WORD_STYLE_NEXT);
    styled("@  name other");
    EXPECT_EQ(styles_of("@  name"), run(8, 7));
    EXPECT_EQ(styles_of(" other"), run(STYLE_DEFAULT, 6));
}

TEST_F(TokenRules, StyleNextAdjacentOnlyWithoutABlankBehind) {
    code_editor_add_words(kEditor, u"&", 9, WORD_STYLE_NEXT_ADJACENT);
    styled("& x &y");
    EXPECT_EQ(styles_of("& x "), (std::vector<int>{9, STYLE_DEFAULT, STYLE_DEFAULT, STYLE_DEFAULT}));
    EXPECT_EQ(styles_of("&y"), run(9, 2));
}

TEST_F(TokenRules, AWordTakesTheStyleOfItsFirstOrLastCharacter) {
    code_editor_add_words(kEditor, u"$", 10, WORD_STYLE_NEXT | WORD_NOT_SEPARATOR);
    code_editor_add_words(kEditor, u":", 11, WORD_STYLE_BEFORE_ADJACENT | WORD_NOT_SEPARATOR);
    code_editor_add_words(kEditor, u"~", 12, 0);
    styled("$foo bar label: ~x: y");
    EXPECT_EQ(styles_of("$foo"), run(10, 4));
    EXPECT_EQ(styles_of(" bar "), run(STYLE_DEFAULT, 5));
    EXPECT_EQ(styles_of("label:"), run(11, 6));
    // A first character with an entry but no passing flag ends the word rules: default.
    EXPECT_EQ(styles_of("~x:"), run(STYLE_DEFAULT, 3));
}

TEST_F(TokenRules, TheSeparatorBehindAWordStylesItWhenAdjacentOnlyIfSoFlagged) {
    code_editor_add_words(kEditor, u"[", 12, WORD_STYLE_BEFORE_ADJACENT);
    code_editor_add_words(kEditor, u"<", 13, WORD_STYLE_BEFORE);
    styled("arr[0] arr [1] t <x> u\t\t<");
    EXPECT_EQ(styles_of("arr[0]"), (std::vector<int>{12, 12, 12, 12, STYLE_DEFAULT, STYLE_DEFAULT}));
    EXPECT_EQ(styles_of("arr [1]"), (std::vector<int>{STYLE_DEFAULT, STYLE_DEFAULT, STYLE_DEFAULT, STYLE_DEFAULT, 12,
                                                      STYLE_DEFAULT, STYLE_DEFAULT}));
    // With WORD_STYLE_BEFORE the blanks between join the word.
    EXPECT_EQ(styles_of("t <"), run(13, 3));
    EXPECT_EQ(styles_of("u\t\t<"), run(13, 4));
}

TEST_F(TokenRules, FoldOpenOnceCountsOncePerLine) {
    code_editor_add_words(kEditor, u"begin", 2, WORD_FOLD_OPEN_ONCE);
    code_editor_add_words(kEditor, u"end", 2, WORD_FOLD_CLOSE);
    code_editor_add_words(kEditor, u"both", 2, WORD_FOLD_OPEN | WORD_FOLD_CLOSE);
    styled("begin begin\nx\nend\nend\nbegin end begin\nboth\ny\n");
    EXPECT_EQ(fold_level(0), SC_FOLDLEVELBASE | SC_FOLDLEVELHEADERFLAG);
    EXPECT_EQ(fold_level(1), SC_FOLDLEVELBASE + 1);
    EXPECT_EQ(fold_level(2), SC_FOLDLEVELBASE + 1);
    EXPECT_EQ(fold_level(3), SC_FOLDLEVELBASE);  // cannot close below the base
    // "begin" opens, "end" closes, the second "begin" opens again (the change is 0 again).
    EXPECT_EQ(fold_level(4), SC_FOLDLEVELBASE | SC_FOLDLEVELHEADERFLAG);
    EXPECT_EQ(fold_level(5), SC_FOLDLEVELBASE + 1);
    EXPECT_EQ(fold_level(6), SC_FOLDLEVELBASE + 1);  // an entry with both flags does both
}

TEST_F(TokenRules, FoldLevelsStopAtTheLevelNumbersLimit) {
    code_editor_add_words(kEditor, u"{", 2, WORD_FOLD_OPEN);
    code_editor_add_words(kEditor, u"}", 2, WORD_FOLD_CLOSE);
    std::string deep;
    for (int i = 0; i < 3100; ++i) deep += "{ ";
    styled(deep + "\nx\n}\ny\n");
    EXPECT_EQ(fold_level(0), SC_FOLDLEVELBASE | SC_FOLDLEVELHEADERFLAG);
    EXPECT_EQ(fold_level(1), SC_FOLDLEVELNUMBERMASK);
    EXPECT_EQ(fold_level(2), SC_FOLDLEVELNUMBERMASK);
    EXPECT_EQ(fold_level(3), SC_FOLDLEVELNUMBERMASK - 1);
    // A run that starts below the deep line agrees with the full one.
    const EditorSnapshot full = snapshot();
    code_editor_restyle_lines(kEditor, 3, -1, -1);
    EXPECT_EQ(snapshot(), full);
}

TEST_F(TokenRules, MeasuringCutsAsStylingDoesAndSendsNothing) {
    code_editor_add_words(kEditor, u"(", 6, WORD_STYLE_BEFORE);
    code_editor_add_words(kEditor, u"{", 2, WORD_FOLD_OPEN);
    code_editor_add_words(kEditor, u"@", 8, WORD_STYLE_NEXT);
    styled("0123456789");
    EditorRecord* record = code_editor_record(kEditor);
    const EditorSnapshot before = snapshot();
    const std::intptr_t end_styled = send(SCI_GETENDSTYLED);
    EXPECT_EQ(measure_next_token(record, "foo (", 5), 4);
    EXPECT_EQ(measure_next_token(record, "{ x", 3), 1);
    EXPECT_EQ(measure_next_token(record, "@ x", 3), 1);
    // No style is pending for a measured token: the word takes in the blank before "(".
    EXPECT_EQ(measure_next_token(record, "foo (", 5), 4);
    EXPECT_EQ(measure_next_token(record, " \t x", 4), 3);
    EXPECT_EQ(measure_next_token(record, "12 x", 4), 2);
    EXPECT_EQ(send(SCI_GETENDSTYLED), end_styled);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(measure_next_token(record, "x", 0), 0);
    EXPECT_EQ(measure_next_token(nullptr, "x", 1), 0);
}

// A styler of another's that styles "@" through the engine, then on its first line one byte
// itself, then the rest through the engine: a pending style reaches only the token right after.
int styles_a_byte_itself(ObjectNumber gadget, const char* text, int length, int line, int, int) {
    int done = code_editor_style_token(gadget, text, length);
    if (line == 0) {
        scintilla_send(gadget, SCI_SETSTYLING, 1, 3);
        ++done;
    }
    while (done < length) done += code_editor_style_token(gadget, text + done, length - done);
    EXPECT_EQ(code_editor_style_token(gadget, text + done, 0), 0);
    return 0;
}

TEST_F(TokenRules, StyleTokenForgetsThePendingStyleAfterAGap) {
    code_editor_add_words(kEditor, u"@", 8, WORD_STYLE_NEXT);
    code_editor_set_line_styler(kEditor, styles_a_byte_itself);
    styled("@ab cd\n@ab cd");
    EXPECT_EQ(styles_of("@ab cd\n"),
              (std::vector<int>{8, 3, STYLE_DEFAULT, STYLE_DEFAULT, STYLE_DEFAULT, STYLE_DEFAULT, STYLE_DEFAULT}));
    const int second = static_cast<int>(send(SCI_POSITIONFROMLINE, 1));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(style_at(second + i), 8) << i;
    EXPECT_EQ(style_at(second + 3), STYLE_DEFAULT);
}

TEST_F(TokenRules, WithoutALineStylerTheDefaultStylerTokenisesWholeLines) {
    code_editor_add_keywords(kEditor, u"if", 2, 0, 0);
    code_editor_set_attribute(kEditor, ATTRIBUTE_NUMBER_STYLE, 5);
    styled("if x 12\n// if");
    EXPECT_EQ(styles_of("if x 12"), (std::vector<int>{2, 2, 32, 32, 32, 5, 5}));
    EXPECT_EQ(styles_of("// if"), (std::vector<int>{32, 32, 32, 2, 2}));  // no comments without the JavaScript styler
}

}  // namespace

namespace {

// An owner that restyles from inside a notification raised while the editor styles.
int nested_runs = 0;
bool owner_armed = false;
std::intptr_t restyling_owner(ObjectNumber gadget, const SCNotification* notification) {
    static bool inside = false;
    if (owner_armed && notification->nmhdr.code == SCN_MODIFIED && !inside && nested_runs < 50) {
        inside = true;
        ++nested_runs;
        code_editor_restyle_lines(gadget, 0, -1, -1);
        inside = false;
    }
    return 0;
}

class NestedRuns : public EditorTest {};

TEST_F(NestedRuns, AnOwnerRestylingInsideARunLeavesTheSameResult) {
    ASSERT_NE(code_editor_create(kEditor, 0, 0, 400, 300, nullptr, EDITOR_LINE_NUMBERS), 0);
    code_editor_configure_javascript(kEditor);
    const std::string text = "/* a\nb */ function f() {\n  return \"x\"; // y\n}\n";
    set_utf8(text);
    ensure_styled();
    const EditorSnapshot expected = snapshot();

    ASSERT_NE(code_editor_create(kEditor, 0, 0, 400, 300, restyling_owner, EDITOR_LINE_NUMBERS), 0);
    code_editor_configure_javascript(kEditor);
    // An owner may ask for every modification notice, those raised by the styling included.
    send(SCI_SETMODEVENTMASK, SC_MODEVENTMASKALL);
    set_utf8(text);
    ensure_styled();
    // Stale line states and levels make the run raise notifications from inside the styler.
    // (The empty last line is never handed to a styler, so its state is left alone.)
    for (int line = 0; line < line_count() - 1; ++line) {
        send(SCI_SETLINESTATE, line, 5);
        send(SCI_SETFOLDLEVEL, line, 0);
    }
    nested_runs = 0;
    owner_armed = true;
    code_editor_restyle_lines(kEditor, 0, -1, -1);
    ensure_styled();
    owner_armed = false;
    EXPECT_GT(nested_runs, 0);
    code_editor_restyle_lines(kEditor, 0, -1, -1);
    EXPECT_EQ(snapshot(), expected);
}

}  // namespace
