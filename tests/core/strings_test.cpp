// String runtime: the temporary area (growth, offsets, self-overlapping arguments), string
// variables, every string operation against reference implementations on random UTF-16, and
// the conversions to and from UTF-8 and the narrow code page.
#include <gtest/gtest.h>

#include <cstdint>
#include <unicode/uchar.h>

#include <clocale>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "runtime/core/memory.h"
#include "runtime/core/strings.h"

namespace {

using Text = std::u16string;

class StringsTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime_core_start();
        p0_ = temp_position();
        string_blocks_ = heap_block_count(string_heap());
    }
    void TearDown() override {
        EXPECT_EQ(temp_position(), p0_) << "a test left the area's position moved";
        EXPECT_EQ(heap_block_count(string_heap()), string_blocks_) << "string variables left behind";
    }
    std::int32_t p0_ = 0;
    std::size_t string_blocks_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Reference implementations, written plainly over std::u16string.

Text ref_left(const Text& s, int n) { return n <= 0 ? Text() : s.substr(0, std::min<std::size_t>(n, s.size())); }

Text ref_mid(const Text& s, int start, int n) {
    if (start < 1) start = 1;
    if (n <= 0 || static_cast<std::size_t>(start) > s.size()) return Text();
    return s.substr(start - 1, n);
}

int ref_find(const Text& s, const Text& search, int start) {
    if (s.empty() || search.empty()) return 0;
    if (start < 1) start = 1;
    for (std::size_t i = start - 1; i + search.size() <= s.size(); ++i) {
        bool match = true;
        for (std::size_t k = 0; k < search.size() && match; ++k) match = s[i + k] == search[k];
        if (match) return static_cast<int>(i) + 1;
    }
    return 0;
}

int ref_count(const Text& s, const Text& search) {
    if (search.empty()) return 0;
    int count = 0;
    std::size_t i = 0;
    while (i + search.size() <= s.size()) {
        if (s.compare(i, search.size(), search) == 0) {
            ++count;
            i += search.size();
        } else {
            ++i;
        }
    }
    return count;
}

Text ref_field(const Text& s, int index, const Text& separator) {
    if (index < 1) return Text();
    if (separator.empty()) return index == 1 ? s : Text();
    std::vector<Text> fields(1);
    for (char16_t unit : s) {
        if (unit == separator[0])
            fields.emplace_back();
        else
            fields.back() += unit;
    }
    return static_cast<std::size_t>(index) <= fields.size() ? fields[index - 1] : Text();
}

Text ref_trim(const Text& s, const char16_t* chars) {
    if (chars && !*chars) return s;
    const char16_t unit = chars ? chars[0] : u' ';
    std::size_t first = 0, last = s.size();
    while (first < last && s[first] == unit) ++first;
    while (last > first && s[last - 1] == unit) --last;
    return s.substr(first, last - first);
}

char16_t ascii_lower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; }

Text ref_replace(const Text& s, const Text& search, const Text& replacement, bool ignore_case, int start) {
    if (start < 1) start = 1;
    if (search.empty() || static_cast<std::size_t>(start) > s.size()) return s;
    Text out = s.substr(0, start - 1);
    std::size_t i = start - 1;
    while (i < s.size()) {
        bool match = i + search.size() <= s.size();
        for (std::size_t k = 0; k < search.size() && match; ++k)
            match = ignore_case ? ascii_lower(s[i + k]) == ascii_lower(search[k]) : s[i + k] == search[k];
        if (match) {
            out += replacement;
            i += search.size();
        } else {
            out += s[i++];
        }
    }
    return out;
}

Text ref_lower(const Text& s) {
    Text out = s;
    for (char16_t& unit : out) {
        if (unit >= 0xD800 && unit <= 0xDFFF) continue;
        UChar32 lower = u_tolower(unit);
        if (lower <= 0xFFFF) unit = static_cast<char16_t>(lower);
    }
    return out;
}

// UTF-8 as Windows writes it: unpaired surrogates become U+FFFD.
std::string ref_utf8(const Text& s) {
    std::string out;
    auto put = [&out](char32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t unit = s[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            put(0x10000 + ((unit - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            put(0xFFFD);
        } else {
            put(unit);
        }
    }
    return out;
}

Text replace_lone_surrogates(const Text& s) {
    Text out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t unit = s[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            out += unit;
            out += s[++i];
        } else {
            out += unit >= 0xD800 && unit <= 0xDFFF ? char16_t(0xFFFD) : unit;
        }
    }
    return out;
}

// Random UTF-16 without NULs: a small alphabet (so searches hit), case pairs, separators,
// spaces, Latin-1 and other BMP letters, paired and unpaired surrogates.
Text random_text(std::mt19937& random, int max_length = 40) {
    static const char16_t common[] = {u'a', u'b', u'A', u'B', u';', u' ', u'x', 0xE9, 0xC9, 0x130, 0x3A3, 0x2C00};
    Text s;
    const int length = static_cast<int>(random() % (max_length + 1));
    while (static_cast<int>(s.size()) < length) {
        const unsigned pick = random() % 10;
        if (pick < 6) {
            s += common[random() % (sizeof common / sizeof common[0])];
        } else if (pick < 7) {
            s += static_cast<char16_t>(1 + random() % 0xD7FF);
        } else if (pick < 8) {
            s += static_cast<char16_t>(0xE000 + random() % 0x2000);
        } else if (pick < 9) {
            s += static_cast<char16_t>(0xD800 + random() % 0x400);
            s += static_cast<char16_t>(0xDC00 + random() % 0x400);
        } else {
            s += static_cast<char16_t>(0xD800 + random() % 0x800);  // a lone surrogate
        }
    }
    return s;
}

// A piece of the text (often), so that searches find something.
Text random_search(std::mt19937& random, const Text& s) {
    if (!s.empty() && random() % 3 != 0) {
        const std::size_t from = random() % s.size();
        return s.substr(from, 1 + random() % 3);
    }
    return random_text(random, 3);
}

Text area_text(const char16_t* p) { return p ? Text(p) : Text(); }

// Runs a one-argument string operation with its argument in every placement the evaluation
// protocol produces, and checks result, position and terminator each time.
void check_placements(const Text& argument, const Text& expected,
                      const std::function<char16_t*(const char16_t*, std::int32_t)>& operation) {
    const std::int32_t base = temp_position();
    auto check = [&](const char* how, const char16_t* arg, std::int32_t at) {
        char16_t* result = operation(arg, at);
        ASSERT_EQ(result, temp_address(at)) << how;
        ASSERT_EQ(area_text(result), expected) << how;
        ASSERT_EQ(temp_position(), at + static_cast<std::int32_t>(expected.size()) * 2) << how;
        ASSERT_EQ(*temp_address(temp_position()), 0) << how;
    };
    // Outside the area.
    check("outside", argument.c_str(), base);
    temp_reset(base);
    // Built in the area where the result goes.
    temp_append(argument.c_str());
    check("at the result's position", temp_address(base), base);
    temp_reset(base);
    // Built after a filler, result at the argument's own position.
    temp_append(u"filler text;");
    const std::int32_t p1 = temp_position();
    temp_append(argument.c_str());
    check("after filler, same position", temp_address(p1), p1);
    ASSERT_EQ(area_text(temp_address(base)).substr(0, 12), Text(u"filler text;"));
    temp_reset(base);
    // Built earlier, result at the current position behind it: the argument stays intact.
    temp_append(argument.c_str());
    check("behind the argument", temp_address(base), temp_position());
    ASSERT_EQ(Text(temp_address(base), argument.size()), argument);
    temp_reset(base);
    // Null counts as the empty string.
    if (argument.empty()) check("null", nullptr, base);
    temp_reset(base);
}

// ---------------------------------------------------------------------------------------------
// Temporary area

TEST(TempAreaTest, GrowthRuleAndOffsets) {
    runtime_core_end();
    runtime_core_start();
    TempStringArea& area = temp_area();
    EXPECT_EQ(area.position, 0);
    EXPECT_EQ(area.capacity, 16);
    EXPECT_EQ(*temp_address(0), 0);

    temp_append(u"abcde");  // end 10 < capacity - 4: no growth
    EXPECT_EQ(area.position, 10);
    EXPECT_EQ(area.capacity, 16);
    char16_t* terminator = temp_append(u"f");  // end 12 >= 12: capacity = 12 + 16384
    EXPECT_EQ(area.capacity, 12 + 16384);
    EXPECT_EQ(area.position, 12);
    EXPECT_EQ(terminator, temp_address(12));
    EXPECT_EQ(area_text(temp_address(0)), Text(u"abcdef"));

    EXPECT_EQ(temp_locate(temp_address(0)), 1);
    EXPECT_EQ(temp_locate(temp_address(12)), 13) << "the terminator at the position is inside";
    EXPECT_EQ(temp_locate(temp_address(14)), 0) << "beyond the position is outside";
    EXPECT_EQ(temp_locate(u"elsewhere"), 0);
    EXPECT_EQ(temp_locate(nullptr), 0);

    char16_t* reserved = temp_reserve(10, 12);
    EXPECT_EQ(reserved, temp_address(12));
    EXPECT_EQ(area.position, 32);
    temp_give_back(4);
    EXPECT_EQ(area.position, 24);
    temp_reset(6);
    EXPECT_EQ(area.position, 6);
    EXPECT_EQ(area_text(temp_address(0)), Text(u"abc"));
    temp_append(nullptr);
    EXPECT_EQ(area.position, 6);

    // The next growth is measured from the current end again.
    const std::int32_t before = area.capacity;
    temp_reserve((before - 6) / 2 - 2, 6);
    EXPECT_EQ(area.capacity, before - 4 + 16384);
    temp_reset(0);
}

TEST_F(StringsTest, TheAreaRefusesWhatPassesItsLimitAndStaysAsItWas) {
    const std::int32_t p0 = temp_position();
    temp_set_limit(p0 + 2 * 100 + 5);
    EXPECT_EQ(temp_room(p0), 100);
    EXPECT_EQ(temp_try_reserve(101, p0), nullptr);
    EXPECT_EQ(temp_try_reserve(std::int64_t{1} << 62, p0), nullptr) << "a count that would wrap";
    EXPECT_EQ(temp_position(), p0);
    char16_t* reserved = temp_try_reserve(100, p0);
    ASSERT_EQ(reserved, temp_address(p0));
    EXPECT_EQ(temp_position(), p0 + 200);
    EXPECT_EQ(temp_room(temp_position()), 0);
    temp_reset(p0);
    temp_set_limit(0);
    EXPECT_EQ(temp_limit(), INT32_MAX - 10);
    EXPECT_EQ(temp_room(0), (INT32_MAX - 15) / 2);
}

TEST_F(StringsTest, ConcatenationBeyondTheCapacityKeepsEarlierPieces) {
    const std::int32_t p0 = temp_position();
    Text expected;
    std::mt19937 random(7);
    const std::int32_t capacity = temp_area().capacity;
    while (static_cast<std::int32_t>(expected.size()) * 2 < capacity * 3) {
        const Text piece = random_text(random, 300);
        temp_append(piece.c_str());
        expected += piece;
    }
    EXPECT_GT(temp_area().capacity, capacity);
    EXPECT_EQ(area_text(temp_address(p0)), expected);
    temp_reset(p0);
}

TEST_F(StringsTest, AppendingAPieceOfTheAreaToItselfSurvivesGrowth) {
    const std::int32_t p0 = temp_position();
    temp_append(u"0123456789");
    Text expected = u"0123456789";
    for (int round = 0; round < 12; ++round) {
        temp_append(temp_address(p0));  // doubles the text; the source moves when the area grows
        expected += expected;
    }
    EXPECT_EQ(area_text(temp_address(p0)), expected);
    temp_reset(p0);
}

// ---------------------------------------------------------------------------------------------
// Operations on random UTF-16 in every placement

TEST_F(StringsTest, RandomTextsAgreeWithReferenceImplementations) {
    std::mt19937 random(2024);
    for (int round = 0; round < 600; ++round) {
        const Text s = random_text(random);
        const int n = static_cast<int>(random() % 50) - 5;
        const int start = static_cast<int>(random() % 50) - 5;
        const Text search = random_search(random, s);
        const Text replacement = random_text(random, 5);
        const int index = static_cast<int>(random() % 6) - 1;
        SCOPED_TRACE(round);

        check_placements(s, ref_left(s, n), [&](const char16_t* a, std::int32_t at) { return string_left(a, n, at); });
        check_placements(s, ref_mid(s, start, n),
                         [&](const char16_t* a, std::int32_t at) { return string_mid(a, start, n, at); });
        check_placements(s, ref_lower(s), [&](const char16_t* a, std::int32_t at) { return string_lower(a, at); });
        check_placements(s, ref_field(s, index, u";"),
                         [&](const char16_t* a, std::int32_t at) { return string_field(a, index, u";", at); });
        const char16_t* trim_set = round % 3 == 0 ? nullptr : (round % 3 == 1 ? u"a" : u"");
        check_placements(s, ref_trim(s, trim_set),
                         [&](const char16_t* a, std::int32_t at) { return string_trim(a, trim_set, at); });
        for (int flags : {0, REPLACE_NO_CASE}) {
            check_placements(s, ref_replace(s, search, replacement, flags != 0, start),
                             [&](const char16_t* a, std::int32_t at) {
                                 return string_replace(a, search.c_str(), replacement.c_str(), flags, start, at);
                             });
        }
        ASSERT_EQ(string_find(s.c_str(), search.c_str(), start), ref_find(s, search, start));
        ASSERT_EQ(string_count(s.c_str(), search.c_str()), ref_count(s, search));
        ASSERT_EQ(string_len(s.c_str()), static_cast<std::int32_t>(s.size()));
        ASSERT_EQ(string_first_code(s.c_str()), s.empty() ? 0 : s[0]);
        ASSERT_EQ(string_equal(s.c_str(), search.c_str()), s == search ? 1 : 0);
    }
}

// The search and replacement may be built in the area too, right before the text.
TEST_F(StringsTest, ReplaceWithEveryArgumentInTheArea) {
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        const Text s = random_text(random);
        const Text search = random_search(random, s);
        const Text replacement = random_text(random, 6);
        const std::int32_t p0 = temp_position();
        temp_append(search.c_str());
        const std::int32_t p_replacement = temp_position() + 2;  // behind the search's terminator
        temp_reserve(1, temp_position());
        temp_append(replacement.c_str());
        const std::int32_t p_text = temp_position() + 2;
        temp_reserve(1, temp_position());
        temp_append(s.c_str());
        char16_t* result =
            string_replace(temp_address(p_text), temp_address(p0), temp_address(p_replacement), 0, 1, p0);
        ASSERT_EQ(area_text(result), ref_replace(s, search, replacement, false, 1)) << round;
        temp_reset(p0);
    }
}

// The result's reservation grows (and under AddressSanitizer always moves) the area while the
// argument lies in it.
TEST(StringsGrowthTest, OperationsSurviveTheAreaMovingUnderTheirArgument) {
    std::mt19937 random(11);
    int grew_during_operation = 0;
    for (int pad = 0; pad < 300; pad += 3) {
        runtime_core_end();
        runtime_core_start();
        Text filler(static_cast<std::size_t>(pad) * 40, u'.');
        temp_append(filler.c_str());
        // Longer than a quarter of the area's 16384-byte growth step, so that the result's
        // reservation outgrows what is left after the argument.
        Text s = u"ABC";
        while (s.size() < 5000) s += random_text(random, 200);
        const std::int32_t p1 = temp_position();
        temp_append(s.c_str());
        const std::int32_t capacity = temp_area().capacity;
        char16_t* lowered = string_lower(temp_address(p1), p1);
        ASSERT_EQ(area_text(lowered), ref_lower(s));
        if (temp_area().capacity != capacity) ++grew_during_operation;
        temp_reset(p1);
        temp_append(s.c_str());
        char16_t* middle = string_mid(temp_address(p1), 2, 100000, p1);
        ASSERT_EQ(area_text(middle), s.substr(1));
        temp_reset(p1);
        temp_append(s.c_str());
        char16_t* replaced = string_replace(temp_address(p1), u"A", u"[long replacement]", 0, 0, p1);
        ASSERT_EQ(area_text(replaced), ref_replace(s, u"A", u"[long replacement]", false, 1));
        ASSERT_EQ(area_text(temp_address(0)).substr(0, filler.size()), filler);
    }
    EXPECT_GT(grew_during_operation, 0);
    runtime_core_end();
    runtime_core_start();
}

// ---------------------------------------------------------------------------------------------
// Edge cases of the operations

TEST_F(StringsTest, DecimalFormatting) {
    const std::int32_t p0 = temp_position();
    EXPECT_EQ(area_text(string_from_int(INT32_MIN, p0)), Text(u"-2147483648"));
    EXPECT_EQ(temp_position(), p0 + 22);
    EXPECT_EQ(area_text(string_from_int(0, p0)), Text(u"0"));
    EXPECT_EQ(area_text(string_from_int(INT32_MAX, p0)), Text(u"2147483647"));
    EXPECT_EQ(area_text(string_from_int(-7, p0)), Text(u"-7"));
    EXPECT_EQ(temp_position(), p0 + 4);
    EXPECT_EQ(area_text(string_from_int64(4294967296LL, p0)), Text(u"4294967296"));
    EXPECT_EQ(area_text(string_from_int64(INT64_MIN, p0)), Text(u"-9223372036854775808"));
    EXPECT_EQ(area_text(string_from_int64(INT64_MAX, p0)), Text(u"9223372036854775807"));
    EXPECT_EQ(area_text(string_from_int64(-2147483649LL, p0)), Text(u"-2147483649"));
    EXPECT_EQ(area_text(string_from_int64(-12, p0)), Text(u"-12"));
    EXPECT_EQ(temp_position(), p0 + 6);
    std::mt19937_64 random(3);
    for (int i = 0; i < 2000; ++i) {
        const auto value = static_cast<std::int64_t>(random()) >> (random() % 64);
        const std::string digits = std::to_string(value);
        ASSERT_EQ(area_text(string_from_int64(value, p0)), Text(digits.begin(), digits.end()));
    }
    temp_reset(p0);
}

TEST_F(StringsTest, FieldsCountsFindsMidsTrims) {
    const std::int32_t p0 = temp_position();
    EXPECT_EQ(area_text(string_field(u"a;b;;c", 3, u";", p0)), Text());
    EXPECT_EQ(area_text(string_field(u"a;b;;c", 4, u";", p0)), Text(u"c"));
    EXPECT_EQ(area_text(string_field(u"a;b;;c", 5, u";", p0)), Text());
    EXPECT_EQ(area_text(string_field(u"a;b;;c", 0, u";", p0)), Text());
    EXPECT_EQ(area_text(string_field(u"a;b;;c", 1, u"", p0)), Text(u"a;b;;c"));
    EXPECT_EQ(area_text(string_field(u"a;b;;c", 2, nullptr, p0)), Text());
    EXPECT_EQ(area_text(string_field(u"a;b", 2, u";x", p0)), Text(u"b")) << "only the separator's first unit";
    EXPECT_EQ(string_count(u"aaaa", u"aa"), 2);
    EXPECT_EQ(string_count(nullptr, u"a"), 0);
    EXPECT_EQ(string_count(u"a", u""), 0);
    EXPECT_EQ(string_find(u"abcabc", u"bc", 0), 2);
    EXPECT_EQ(string_find(u"abcabc", u"bc", 3), 5);
    EXPECT_EQ(string_find(u"abcabc", u"c", 7), 0);
    EXPECT_EQ(string_find(u"abc", u"", 1), 0);
    EXPECT_EQ(area_text(string_mid(u"abcdef", 0, 3, p0)), Text(u"abc"));
    EXPECT_EQ(area_text(string_mid(u"abcdef", 7, 3, p0)), Text());
    EXPECT_EQ(area_text(string_mid(u"abcdef", 5, -1, p0)), Text());
    // A huge count takes what there is without growing the area for nothing.
    const std::int32_t capacity = temp_area().capacity;
    EXPECT_EQ(area_text(string_mid(u"abcdef", 4, INT32_MAX, p0)), Text(u"def"));
    EXPECT_EQ(temp_area().capacity, capacity);
    EXPECT_EQ(temp_position(), p0 + 6);
    EXPECT_EQ(area_text(string_trim(u"    ", nullptr, p0)), Text());
    EXPECT_EQ(area_text(string_trim(u"xxaxx", u"xyz", p0)), Text(u"a"));
    EXPECT_EQ(area_text(string_trim(u"  a  ", u"", p0)), Text(u"  a  "));
    EXPECT_EQ(area_text(string_left(u"abc", -3, p0)), Text());
    EXPECT_EQ(area_text(string_left(u"abc", 10, p0)), Text(u"abc"));
    EXPECT_EQ(string_len(nullptr), 0);
    EXPECT_EQ(string_first_code(u""), 0);
    EXPECT_EQ(string_first_code(nullptr), 0);
    char16_t* code = string_from_code(0x263A, p0);
    EXPECT_EQ(area_text(code), Text(u"\u263A"));
    EXPECT_EQ(temp_position(), p0 + 2);
    EXPECT_EQ(string_equal(nullptr, u""), 1);
    EXPECT_EQ(string_equal(u"a", u"A"), 0);
    EXPECT_EQ(string_equal(u"ab", u"a"), 0);
    temp_reset(p0);
}

TEST_F(StringsTest, LowerMapsUnitsAndLeavesSurrogatesAlone) {
    const std::int32_t p0 = temp_position();
    const Text mixed = u"ABC \u00C9\u0130\u03A3 \U00010400 z";  // U+10400 has a lower case, but as a pair
    const Text lowered = area_text(string_lower(mixed.c_str(), p0));
    EXPECT_EQ(lowered, Text(u"abc \u00E9i\u03C3 \U00010400 z"));
    temp_reset(p0);
}

TEST_F(StringsTest, ReplaceCases) {
    const std::int32_t p0 = temp_position();
    EXPECT_EQ(area_text(string_replace(u"My Extension.qex", u".qex", u"", 0, 0, p0)), Text(u"My Extension"));
    EXPECT_EQ(area_text(string_replace(u"unchanged", u".qex", u"", 0, 0, p0)), Text(u"unchanged"));
    EXPECT_EQ(area_text(string_replace(u"aXbxc", u"x", u"--", REPLACE_NO_CASE, 0, p0)), Text(u"a--b--c"));
    EXPECT_EQ(area_text(string_replace(u"aXbxc", u"x", u"--", 0, 0, p0)), Text(u"aXb--c"));
    EXPECT_EQ(area_text(string_replace(u"xxxx", u"x", u"y", 0, 3, p0)), Text(u"xxyy"));
    EXPECT_EQ(area_text(string_replace(u"abc", u"", u"y", 0, 0, p0)), Text(u"abc"));
    EXPECT_EQ(area_text(string_replace(u"abc", u"c", u"y", 0, 4, p0)), Text(u"abc"));
    EXPECT_EQ(area_text(string_replace(u"abc", u"bc", u"x", 0, INT32_MAX, p0)), Text(u"abc"));
    EXPECT_EQ(area_text(string_replace(nullptr, u"c", u"y", 0, 0, p0)), Text());
    EXPECT_EQ(area_text(string_replace(u"abc", u"b", nullptr, 0, 0, p0)), Text(u"ac"));
    EXPECT_EQ(temp_position(), p0 + 4);

    // In-place mode overwrites matches inside the text and leaves the area alone.
    const std::int32_t before = temp_position();
    char16_t text[] = u"one-two-three";
    EXPECT_EQ(string_replace(text, u"-", u"+", REPLACE_IN_PLACE, 0, p0), text);
    EXPECT_EQ(Text(text), Text(u"one+two+three"));
    EXPECT_EQ(temp_position(), before);
    // A longer replacement never runs past the match (or past the text's end).
    char16_t tail[] = u"abcXY\0guard";
    string_replace(tail, u"XY", u"1234", REPLACE_IN_PLACE, 0, p0);
    EXPECT_EQ(Text(tail), Text(u"abc12"));
    EXPECT_EQ(Text(tail + 6), Text(u"guard"));
    char16_t shorter[] = u"aXYb";
    string_replace(shorter, u"xy", u"1", REPLACE_IN_PLACE | REPLACE_NO_CASE, 0, p0);
    EXPECT_EQ(Text(shorter), Text(u"a1Yb"));
    char16_t far[] = u"abc";
    string_replace(far, u"bc", u"x", REPLACE_IN_PLACE, INT32_MAX, p0);
    EXPECT_EQ(Text(far), Text(u"abc"));
    temp_reset(p0);
}

// ---------------------------------------------------------------------------------------------
// String variables

TEST_F(StringsTest, VariablesAssignInitTakeAndFree) {
    StringVar var = nullptr;
    string_var_init(&var, nullptr);
    EXPECT_EQ(var, nullptr);
    EXPECT_EQ(string_var_assign(&var, u"hello"), 12);
    EXPECT_EQ(Text(var), Text(u"hello"));
    EXPECT_EQ(heap_block_count(string_heap()), string_blocks_ + 1);
    EXPECT_EQ(string_var_assign(&var, u""), 2);
    EXPECT_EQ(Text(var), Text());
    EXPECT_NE(var, nullptr);
    EXPECT_EQ(string_var_assign(&var, nullptr), 2);
    EXPECT_EQ(var, nullptr);
    EXPECT_EQ(heap_block_count(string_heap()), string_blocks_);

    StringVar copy = nullptr;
    string_var_init(&copy, u"init");
    EXPECT_EQ(Text(copy), Text(u"init"));

    // A text from the variable's own block (a = mid(a, 3)), growing and shrinking.
    string_var_assign(&var, u"0123456789");
    string_var_assign(&var, var + 3);
    EXPECT_EQ(Text(var), Text(u"3456789"));
    string_var_assign(&var, var);
    EXPECT_EQ(Text(var), Text(u"3456789"));

    // Taking a concatenation built in the area; the position returns to p0.
    const std::int32_t p0 = temp_position();
    temp_append(u"Extensions/");
    temp_append(copy);
    temp_append(u".qex");
    string_var_take_temp(&var, p0);
    EXPECT_EQ(Text(var), Text(u"Extensions/init.qex"));
    EXPECT_EQ(temp_position(), p0);
    string_var_take_temp(&var, p0);
    EXPECT_EQ(Text(var), Text());

    string_var_free(var);
    string_var_free(copy);
    string_var_free(nullptr);
}

TEST_F(StringsTest, ScopeGivesTheAreaBackOnEveryWayOutUnlessKeptOrTaken) {
    const std::int32_t p0 = temp_position();
    auto build = [](bool leave_early) {
        TempScope scope;
        temp_append(u"abandoned");
        if (leave_early) return;
        temp_append(u" as well");
    };
    build(true);
    EXPECT_EQ(temp_position(), p0);
    EXPECT_EQ(*temp_address(p0), 0) << "a terminator stands at the position again";
    build(false);
    EXPECT_EQ(temp_position(), p0);
    {
        TempScope scope;
        EXPECT_EQ(scope.start(), p0);
        temp_append(u"kept");
        scope.keep();
    }
    EXPECT_EQ(area_text(temp_address(p0)), Text(u"kept"));
    EXPECT_EQ(temp_position(), p0 + 8);
    temp_reset(p0);

    StringVar var = nullptr;
    {
        TempScope scope;
        temp_append(u"Extensions/");
        temp_append(u"x.qex");
        EXPECT_EQ(area_text(scope.text()), Text(u"Extensions/x.qex"));
        scope.take(&var);
        EXPECT_EQ(temp_position(), p0);
        temp_append(u"built after the take");
    }
    EXPECT_EQ(Text(var), Text(u"Extensions/x.qex"));
    EXPECT_EQ(temp_position(), p0);
    string_var_free(var);
}

// ---------------------------------------------------------------------------------------------
// Conversions

TEST_F(StringsTest, Utf8OfRandomTextsMatchesTheReference) {
    std::mt19937 random(77);
    const std::int32_t p0 = temp_position();
    for (int round = 0; round < 500; ++round) {
        const Text s = random_text(random, 60);
        const std::string utf8 = ref_utf8(s);
        ASSERT_EQ(string_byte_length(s.c_str(), TEXT_UTF8), static_cast<std::int32_t>(utf8.size()));
        std::vector<char> buffer(utf8.size() + 8, '\x7F');
        ASSERT_EQ(string_to_memory(buffer.data(), s.c_str(), -1, TEXT_UTF8), static_cast<std::int32_t>(utf8.size()));
        ASSERT_EQ(std::string(buffer.data(), utf8.size()), utf8);
        ASSERT_EQ(buffer[utf8.size()], 0);
        ASSERT_EQ(buffer[utf8.size() + 1], '\x7F') << "one terminator byte, nothing more";

        const Text decoded = area_text(string_from_memory(utf8.data(), -1, TEXT_UTF8, p0));
        ASSERT_EQ(decoded, replace_lone_surrogates(s));
        ASSERT_EQ(temp_position(), p0 + static_cast<std::int32_t>(decoded.size()) * 2);

        // UTF-16 round trip is exact, lone surrogates included.
        std::vector<char16_t> units(s.size() + 2, 0x7F);
        ASSERT_EQ(string_to_memory(units.data(), s.c_str(), -1, TEXT_UTF16), static_cast<std::int32_t>(s.size()) * 2);
        ASSERT_EQ(string_byte_length(s.c_str(), TEXT_UTF16), static_cast<std::int32_t>(s.size()) * 2);
        ASSERT_EQ(area_text(string_from_memory(units.data(), -1, TEXT_UTF16, p0)), s);
    }
    temp_reset(p0);
}

TEST_F(StringsTest, InvalidUtf8DecodesToReplacementCharacters) {
    const std::int32_t p0 = temp_position();
    auto decode = [p0](const char* bytes, std::int32_t length) {
        return area_text(string_from_memory(bytes, length, TEXT_UTF8, p0));
    };
    EXPECT_EQ(decode("\xC3\x28", -1), Text(u"\uFFFD("));
    EXPECT_EQ(decode("a\xFF"
                     "b",
                     -1),
              Text(u"a\uFFFDb"));
    EXPECT_EQ(decode("\xE2\x82", -1), Text(u"\uFFFD")) << "a truncated sequence is one replacement";
    EXPECT_EQ(decode("\xC0\x80", -1), Text(u"\uFFFD\uFFFD")) << "overlong forms are refused";
    EXPECT_EQ(decode("\xF0\x9F\x98\x80", -1), Text(u"\U0001F600"));
    EXPECT_EQ(decode("\xC3\xA9xyz", 3), Text(u"\u00E9x")) << "length counts bytes";
    EXPECT_EQ(decode("abc", -7), Text()) << "a length below -1 counts as 0";
    EXPECT_EQ(decode(nullptr, 5), Text());
    EXPECT_EQ(temp_position(), p0);
    temp_reset(p0);
}

TEST_F(StringsTest, MemoryConversionEdges) {
    const std::int32_t p0 = temp_position();
    // UTF-16 from memory: stops at a NUL within the length, reads unaligned memory.
    alignas(2) char raw[16] = {};
    const char16_t units[] = u"hi!";
    std::memcpy(raw + 1, units, 8);
    EXPECT_EQ(area_text(string_from_memory(raw + 1, -1, TEXT_UTF16, p0)), Text(u"hi!"));
    EXPECT_EQ(area_text(string_from_memory(raw + 1, 2, TEXT_UTF16, p0)), Text(u"hi"));
    EXPECT_EQ(area_text(string_from_memory(u"ab\0cd", 5, TEXT_UTF16, p0)), Text(u"ab"));
    EXPECT_EQ(temp_position(), p0 + 4);

    char bytes[16];
    std::memset(bytes, 'x', sizeof bytes);
    EXPECT_EQ(string_to_memory(bytes, nullptr, -1, TEXT_UTF8), 0);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[1], 'x');
    std::memset(bytes, 'x', sizeof bytes);
    EXPECT_EQ(string_to_memory(bytes, nullptr, -1, TEXT_UTF16), 0);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 'x');
    EXPECT_EQ(string_to_memory(bytes, u"\u00E9t\u00E9", 2, TEXT_UTF8), 3);
    EXPECT_EQ(std::string(bytes), std::string("\xC3\xA9t"));
    EXPECT_EQ(string_to_memory(bytes, u"abcdef", 3, TEXT_UTF16), 6);
    EXPECT_EQ(Text(reinterpret_cast<char16_t*>(bytes)), Text(u"abc"));
    EXPECT_EQ(string_to_memory(bytes, u"ab", 10, TEXT_UTF16), 4);
    EXPECT_EQ(string_byte_length(nullptr, TEXT_UTF8), 0);
    EXPECT_EQ(string_byte_length(u"\u20AC", TEXT_UTF8), 3);

    // UTF-8 bytes lying in the area at the result's own position decode correctly.
    const char* source = "\xE2\x82\xAC and \xC3\xA9t\xC3\xA9 and more text";
    const std::size_t size = std::strlen(source) + 1;
    char* in_area = reinterpret_cast<char*>(temp_reserve(static_cast<std::int32_t>((size + 1) / 2), p0));
    std::memcpy(in_area, source, size);
    EXPECT_EQ(area_text(string_from_memory(in_area, -1, TEXT_UTF8, p0)),
              Text(u"\u20AC and \u00E9t\u00E9 and more text"));
    temp_reset(p0);
}

TEST_F(StringsTest, NarrowCodePageFollowsTheLocale) {
    const std::int32_t p0 = temp_position();
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
    // The C locale's set is ASCII: what it lacks becomes '?', bytes above 127 are invalid.
    char bytes[16] = {};
    EXPECT_EQ(string_to_memory(bytes, u"caf\u00E9", -1, TEXT_ANSI), 4);
    EXPECT_EQ(std::string(bytes), "caf?");
    EXPECT_EQ(string_byte_length(u"caf\u00E9", TEXT_ANSI), 4);
    EXPECT_EQ(string_byte_length(u"caf\u00E9", 5), 4) << "every other format value is the narrow page";
    EXPECT_EQ(area_text(string_from_memory("ab\xE9", -1, TEXT_ANSI, p0)), Text(u"ab\uFFFD"));

    if (std::setlocale(LC_CTYPE, "C.UTF-8") || std::setlocale(LC_CTYPE, "C.utf8")) {
        EXPECT_EQ(string_byte_length(u"caf\u00E9", TEXT_ANSI), 5);
        EXPECT_EQ(string_to_memory(bytes, u"caf\u00E9", -1, TEXT_ANSI), 5);
        EXPECT_EQ(std::string(bytes), "caf\xC3\xA9");
        EXPECT_EQ(area_text(string_from_memory("caf\xC3\xA9", -1, TEXT_ANSI, p0)), Text(u"caf\u00E9"));
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    temp_reset(p0);
}

}  // namespace
