// Word tables: additions and updates, trimming and empty fields, case folding, sorting,
// delimiters, lookups, attributes, and the byte tables that must agree with plain lookups.
#include "editor/editor_internal.h"
#include "editor_support.h"
#include "runtime/core/list.h"
#include "runtime/core/strings.h"

namespace {

class WordTable : public EditorTest {
protected:
    EditorRecord* record() const { return code_editor_record(kEditor); }

    std::vector<std::string> words_in_order() const {
        std::vector<std::string> words;
        LinkedList* list = record()->word_list.header;
        list_reset(list);
        while (auto* entry = static_cast<WordEntry*>(list_next(list))) words.push_back(utf8(entry->word));
        return words;
    }

    // Paints every byte with style 7 behind the engine's back, so that a restyle shows.
    void paint_style_7() {
        send(SCI_STARTSTYLING, 0, 31);
        send(SCI_SETSTYLING, static_cast<std::uintptr_t>(length()), 7);
    }
};

TEST_F(WordTable, ReAddingWithOtherCaseUpdatesTheOneEntry) {
    create_editor(0, false);
    EXPECT_EQ(code_editor_add_words(kEditor, u"if", 2, WORD_FOLD_OPEN), 1);
    EXPECT_EQ(code_editor_add_words(kEditor, u"If", 5, WORD_AUTOCOMPLETE), 1);
    EXPECT_EQ(list_count(record()->word_list.header), 1);
    WordEntry* entry = code_editor_find_word(kEditor, u"IF");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(utf8(entry->word), "If");
    EXPECT_EQ(entry->style, 5);
    EXPECT_EQ(entry->flags, WORD_FOLD_OPEN | WORD_AUTOCOMPLETE);
    // Style -1 keeps the style; flags are only ever added.
    EXPECT_EQ(code_editor_add_words(kEditor, u"iF", -1, 0), 1);
    EXPECT_EQ(entry->style, 5);
    EXPECT_EQ(entry->flags, WORD_FOLD_OPEN | WORD_AUTOCOMPLETE);
    EXPECT_EQ(utf8(entry->word), "iF");
}

TEST_F(WordTable, CaseSensitiveEditorKeepsCasesApart) {
    create_editor(EDITOR_CASE_SENSITIVE, false);
    EXPECT_EQ(code_editor_add_words(kEditor, u"if If", 2, 0), 2);
    EXPECT_EQ(utf8(code_editor_find_word(kEditor, u"If")->word), "If");
    EXPECT_EQ(utf8(code_editor_find_word(kEditor, u"if")->word), "if");
    EXPECT_EQ(code_editor_find_word(kEditor, u"IF"), nullptr);
}

TEST_F(WordTable, TrimmedEndsAndTheInnerDoubleBlank) {
    create_editor(0, false);
    const std::int32_t area = temp_position();
    EXPECT_EQ(code_editor_add_words(kEditor, u"  alpha  beta  ", 4, 0), 3);
    EXPECT_EQ(words_in_order(), (std::vector<std::string>{"alpha", "", "beta"}));
    EXPECT_EQ(code_editor_find_word(kEditor, u""), nullptr);
    EXPECT_EQ(code_editor_find_word(kEditor, u"   "), nullptr);
    ASSERT_NE(code_editor_find_word(kEditor, u" beta "), nullptr);
    EXPECT_EQ(code_editor_find_word(kEditor, u" beta ")->style, 4);
    // Nothing but blanks adds nothing.
    EXPECT_EQ(code_editor_add_words(kEditor, u"    ", 4, 0), 0);
    EXPECT_EQ(code_editor_add_words(kEditor, nullptr, 4, 0), 0);
    EXPECT_EQ(list_count(record()->word_list.header), 3);
    // What the additions and lookups built in the temporary area is given back.
    EXPECT_EQ(temp_position(), area);
}

TEST_F(WordTable, StyleMinusOneCreatesAnEntryWithStyleZero) {
    create_editor(0, false);
    EXPECT_EQ(code_editor_add_words(kEditor, u"plain", -1, WORD_STYLE_NEXT), 1);
    EXPECT_EQ(code_editor_find_word(kEditor, u"plain")->style, 0);
    EXPECT_EQ(code_editor_find_word(kEditor, u"plain")->close_char, 0);
}

TEST_F(WordTable, KeywordSortIgnoresCaseUnlessCaseSensitive) {
    create_editor(0, false);
    code_editor_add_keywords(kEditor, u"Null zebra new Apple", 2, 0, 1);
    EXPECT_EQ(words_in_order(), (std::vector<std::string>{"Apple", "new", "Null", "zebra"}));
    // A later unsorted addition is appended; a sorted one sorts the whole list.
    code_editor_add_keywords(kEditor, u"b", 2, 0, 0);
    EXPECT_EQ(words_in_order().back(), "b");
    code_editor_add_keywords(kEditor, u"m", 2, 0, 1);
    EXPECT_EQ(words_in_order(), (std::vector<std::string>{"Apple", "b", "m", "new", "Null", "zebra"}));

    create_editor(EDITOR_CASE_SENSITIVE, false);
    code_editor_add_keywords(kEditor, u"new Null", 2, 0, 1);
    EXPECT_EQ(words_in_order(), (std::vector<std::string>{"Null", "new"}));
}

TEST_F(WordTable, DelimitersRecordTheLowByteOfTheClosingText) {
    create_editor(0, false);
    const std::int32_t area = temp_position();
    code_editor_add_delimiter(kEditor, u"<", u"\u0141>", WORD_SPAN, 4);
    ASSERT_NE(code_editor_find_word(kEditor, u"<"), nullptr);
    EXPECT_EQ(code_editor_find_word(kEditor, u"<")->close_char, 0x41);
    EXPECT_EQ(code_editor_find_word(kEditor, u"<")->style, 4);
    // Several words: entries are made, but no closing character is recorded.
    code_editor_add_delimiter(kEditor, u"[ {", u"]", WORD_SPAN, 5);
    EXPECT_EQ(code_editor_find_word(kEditor, u"[")->close_char, 0);
    EXPECT_EQ(code_editor_find_word(kEditor, u"{")->close_char, 0);
    // Nothing is added for an empty opening text, or a span without a closing text.
    code_editor_add_delimiter(kEditor, u"", u"x", WORD_SPAN, 4);
    code_editor_add_delimiter(kEditor, u"|", u"", WORD_SPAN, 4);
    EXPECT_EQ(code_editor_find_word(kEditor, u"|"), nullptr);
    code_editor_add_delimiter(kEditor, u"|", u"", WORD_STYLE_NEXT, 4);
    EXPECT_NE(code_editor_find_word(kEditor, u"|"), nullptr);
    EXPECT_EQ(temp_position(), area);
}

TEST_F(WordTable, UnchangedAttributesDoNotRestyle) {
    create_editor(0, false);
    set_utf8("a+b 12");
    code_editor_set_attribute(kEditor, ATTRIBUTE_SEPARATORS, reinterpret_cast<std::intptr_t>(u"+"));
    code_editor_set_attribute(kEditor, ATTRIBUTE_NUMBER_STYLE, 5);
    ensure_styled();
    EXPECT_EQ(styles_of("12"), (std::vector<int>{5, 5}));

    paint_style_7();
    code_editor_set_attribute(kEditor, ATTRIBUTE_SEPARATORS, reinterpret_cast<std::intptr_t>(u"+"));
    code_editor_set_attribute(kEditor, ATTRIBUTE_NUMBER_STYLE, 5);
    code_editor_set_attribute(kEditor, 3, 9);  // unknown attribute: ignored
    EXPECT_EQ(style_at(0), 7);
    EXPECT_EQ(style_at(5), 7);

    code_editor_set_attribute(kEditor, ATTRIBUTE_NUMBER_STYLE, 6);
    EXPECT_EQ(styles_of("12"), (std::vector<int>{6, 6}));
    paint_style_7();
    code_editor_set_attribute(kEditor, ATTRIBUTE_SEPARATORS, 0);  // null: empty, which differs
    EXPECT_EQ(style_at(0), STYLE_DEFAULT);
    EXPECT_EQ(record()->separators, nullptr);
}

TEST_F(WordTable, SeparatorRuleFollowsTheFlags) {
    create_editor(0, false);
    code_editor_add_words(kEditor, u"#", 1, WORD_STYLE_NEXT);
    code_editor_add_words(kEditor, u"@", 1, WORD_STYLE_NEXT | WORD_NOT_SEPARATOR);
    code_editor_add_words(kEditor, u"{", 1, WORD_FOLD_OPEN | WORD_AUTOCOMPLETE);
    code_editor_set_attribute(kEditor, ATTRIBUTE_SEPARATORS, reinterpret_cast<std::intptr_t>(u";\u0141"));
    EditorRecord* r = record();
    WordEntry* entry = nullptr;
    EXPECT_TRUE(is_separator(r, '#', &entry));
    EXPECT_EQ(entry, code_editor_find_word(kEditor, u"#"));
    EXPECT_FALSE(is_separator(r, '@', &entry));
    EXPECT_EQ(entry, nullptr);
    EXPECT_FALSE(is_separator(r, '{', &entry));
    EXPECT_TRUE(is_separator(r, ';', &entry));
    EXPECT_EQ(entry, nullptr);
    EXPECT_TRUE(is_separator(r, '\r', nullptr));
    EXPECT_TRUE(is_separator(r, '\n', nullptr));
    EXPECT_FALSE(is_separator(r, 0x41, nullptr));  // the low byte of U+0141 is no match
    EXPECT_FALSE(is_separator(r, ' ', nullptr));
}

// Styling answers the one-character lookup of each byte value from tables; after every kind of
// change its answers must be those of the plain lookup of the byte's one-unit text.
TEST_F(WordTable, ByteLookupsWhileStylingAgreeWithPlainLookups) {
    create_editor(0, true);
    code_editor_add_words(kEditor, u"\u00c0 \u00e9", 7, WORD_STYLE_BEFORE);  // bytes 0xC0 and 0xE9 as codes
    code_editor_add_words(kEditor, u"\u00c4 $", 9, WORD_STYLE_NEXT | WORD_NOT_SEPARATOR);  // 0xC4 and 0xE4 by case
    for (int byte = 1; byte < 256; ++byte) {
        SCOPED_TRACE(byte);
        const std::int32_t p0 = temp_position();
        const std::u16string one(string_from_code(byte, p0));
        temp_reset(p0);
        WordEntry* plain = code_editor_find_word(kEditor, one.c_str());
        const bool separator = byte == '\r' || byte == '\n' ||
                               std::u16string_view(u"=+-*/%()[],.").find(char16_t(byte)) != std::u16string_view::npos ||
                               (plain && (plain->flags & 0xFFFFF) && !(plain->flags & WORD_NOT_SEPARATOR));
        WordEntry* entry = nullptr;
        EXPECT_EQ(is_separator(code_editor_record(kEditor), static_cast<unsigned char>(byte), &entry), separator);
        if (separator) {
            EXPECT_EQ(entry, plain);
            continue;
        }
        if (byte == ' ' || byte == '\t') continue;
        // A word that begins with the byte: an entry of the byte decides its style (its own when
        // it passes its style on, else the default); without one, the "(" behind it does. The
        // bytes go in as they are, whether or not they are UTF-8.
        const std::string word = std::string(1, static_cast<char>(byte)) + "zz(";
        send(SCI_SETTEXT, 0, reinterpret_cast<std::intptr_t>(word.c_str()));
        ensure_styled();
        const int expected = !plain ? 6 : (plain->flags & WORD_STYLE_NEXT) ? plain->style : STYLE_DEFAULT;
        EXPECT_EQ(style_at(0), expected);
    }
    EXPECT_NE(code_editor_find_word(kEditor, u"\u00e4"), nullptr);
}

TEST_F(WordTable, NonAsciiWordsAreFoundWithCaseFolding) {
    create_editor(0, true);
    code_editor_add_keywords(kEditor, u"\u00fcber", 2, 0, 0);
    set_utf8(
        "x \xc3\x9c"
        "BER y \xc3\xbc"
        "ber");
    const std::int32_t area = temp_position();
    ensure_styled();
    EXPECT_EQ(temp_position(), area);
    EXPECT_EQ(styles_of("\xc3\x9c"
                        "BER"),
              (std::vector<int>(5, 2)));
    EXPECT_EQ(styles_of("\xc3\xbc"
                        "ber"),
              (std::vector<int>(5, 2)));
    EXPECT_EQ(style_at(0), STYLE_DEFAULT);
}

TEST_F(WordTable, ConfiguringTwiceKeepsTheSameEntries) {
    create_editor(EDITOR_LINE_NUMBERS, true);
    const std::vector<std::string> once = words_in_order();
    ASSERT_EQ(once.size(), 30u + 4u + 2u);
    EXPECT_EQ(once.front(), "\"");
    code_editor_configure_javascript(kEditor);
    EXPECT_EQ(words_in_order(), once);
    EXPECT_EQ(code_editor_find_word(kEditor, u"function")->flags, WORD_AUTOCOMPLETE);
    EXPECT_EQ(code_editor_find_word(kEditor, u"(")->flags, WORD_STYLE_BEFORE);
    EXPECT_EQ(code_editor_find_word(kEditor, u"\"")->close_char, '"');
}

TEST_F(WordTable, CompletionWordsAreTheKeywordsInAlphabeticalOrder) {
    create_editor(EDITOR_LINE_NUMBERS, true);
    std::vector<std::string> completion;
    LinkedList* list = record()->word_list.header;
    list_reset(list);
    while (auto* entry = static_cast<WordEntry*>(list_next(list)))
        if (entry->flags & WORD_AUTOCOMPLETE) completion.push_back(utf8(entry->word));
    ASSERT_EQ(completion.size(), 30u);
    EXPECT_TRUE(std::is_sorted(completion.begin(), completion.end()));
    EXPECT_EQ(std::count(completion.begin(), completion.end(), "{"), 0);
    EXPECT_EQ(completion.front(), "break");
    EXPECT_EQ(completion.back(), "with");
}

TEST_F(WordTable, OperationsOnAGadgetThatIsNoCodeEditorDoNothing) {
    ASSERT_NE(text_gadget_create(12, 0, 0, 50, 20, u"label"), 0);
    EXPECT_EQ(code_editor_add_words(12, u"a b", 2, 0), 0);
    code_editor_add_keywords(12, u"a", 2, 0, 1);
    code_editor_add_delimiter(12, u"'", u"'", WORD_SPAN, 4);
    code_editor_set_attribute(12, ATTRIBUTE_NUMBER_STYLE, 5);
    EXPECT_EQ(code_editor_find_word(12, u"a"), nullptr);
    EXPECT_EQ(code_editor_record(12), nullptr);
    EXPECT_EQ(code_editor_find_word(4711, u"a"), nullptr);
    EXPECT_EQ(utf8(gadget_get_text(12, temp_position())), "label");
}

}  // namespace
