// Merge sort of lists: order and stability against std::stable_sort for every type code,
// both directions and both string modes, whole lists and ranges, with the links checked.
#include <gtest/gtest.h>

#include "core/heap_balance.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "runtime/core/memory.h"
#include "runtime/core/sort.h"
#include "runtime/core/strings.h"

namespace {

class SortTest : public HeapBalanceTest {};

// The key sits behind a sequence number, so the offset handling is exercised too.
struct Item {
    std::int32_t seq;
    std::int32_t padding;
    unsigned char key[8];
};
constexpr std::intptr_t KEY_OFFSET = offsetof(Item, key);
const LayoutEntry STRING_ITEM_LAYOUT[] = {KEY_OFFSET, LAYOUT_END};

void expect_links_sound(const LinkedList* list) {
    std::int32_t n = 0;
    const ListNode* previous = nullptr;
    for (const ListNode* node = list->first; node; node = node->next) {
        ASSERT_EQ(node->previous, previous) << "previous link of node " << n;
        previous = node;
        ASSERT_LE(++n, list->count) << "chain longer than count";
    }
    ASSERT_EQ(n, list->count);
    ASSERT_EQ(list->last, previous);
    if (list->first) {
        ASSERT_EQ(list->first->previous, nullptr);
        ASSERT_EQ(list->last->next, nullptr);
    }
}

std::vector<std::int32_t> seqs(const LinkedList* list) {
    std::vector<std::int32_t> out;
    for (ListNode* node = list->first; node; node = node->next)
        out.push_back(static_cast<Item*>(list_node_element(node))->seq);
    return out;
}

std::u16string folded(const char16_t* text) {
    std::u16string out = text ? text : u"";
    for (char16_t& unit : out)
        if (unit >= u'A' && unit <= u'Z') unit = char16_t(unit + 32);
    return out;
}

template <typename T>
struct Values {
    std::vector<T> keys;
    static bool less(const T& a, const T& b, int) { return a < b; }
};

template <>
struct Values<const char16_t*> {
    std::vector<const char16_t*> keys;
    static bool less(const char16_t* a, const char16_t* b, int options) {
        if (options & SORT_NO_CASE) return folded(a) < folded(b);
        return std::u16string(a ? a : u"") < std::u16string(b ? b : u"");
    }
};

// Builds a list from the keys, sorts it (whole or a range) and compares the order of the
// sequence numbers with std::stable_sort on the same data.
template <typename T>
void check_sort(int type, const std::vector<T>& keys, int options, std::int32_t first, std::int32_t last) {
    const bool is_string = type == TYPE_STRING;
    LinkedList* list = list_create(sizeof(Item), nullptr, is_string ? STRING_ITEM_LAYOUT : nullptr, type);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        list_last(list);
        auto* item = static_cast<Item*>(list_add(list));
        item->seq = static_cast<std::int32_t>(i);
        if constexpr (std::is_same_v<T, const char16_t*>) {
            string_var_assign(reinterpret_cast<StringVar*>(item->key), keys[i]);
        } else {
            std::memcpy(item->key, &keys[i], sizeof(T));
        }
    }
    const std::int32_t n = static_cast<std::int32_t>(keys.size());
    std::vector<std::int32_t> expected(keys.size());
    for (std::int32_t i = 0; i < n; ++i) expected[static_cast<std::size_t>(i)] = i;
    std::int32_t from = 0, to = n;  // half-open range that the reference sorts
    const bool sorts = first == -1 || (first >= 0 && last < n && first <= last);
    if (first != -1) {
        if (sorts)
            from = first, to = last + 1;
        else
            from = to = 0;
    }
    const bool descending = options & SORT_DESCENDING;
    std::stable_sort(expected.begin() + from, expected.begin() + to, [&](std::int32_t a, std::int32_t b) {
        const T& x = keys[static_cast<std::size_t>(a)];
        const T& y = keys[static_cast<std::size_t>(b)];
        return descending ? Values<T>::less(y, x, options) : Values<T>::less(x, y, options);
    });

    // Pick a current element; a range sort makes the element at `last` current instead.
    if (n > 0) list_select(list, n / 3);
    void* current_before = list_current(list);
    list_sort_structured(list, options, KEY_OFFSET, type, first, last);
    SCOPED_TRACE(::testing::Message() << "type " << type << " options " << options << " n " << n << " range " << first
                                      << ".." << last);
    ASSERT_NO_FATAL_FAILURE(expect_links_sound(list));
    EXPECT_EQ(seqs(list), expected);
    if (n > 0 && sorts) {
        EXPECT_EQ(list->index_stale, 1);
        if (first == -1) {
            EXPECT_EQ(list_current(list), current_before) << "the current element stays current";
        }
        void* current = list_current(list);
        if (current) {
            // The cached index is distrusted; asking for it walks to the right answer.
            const auto order = seqs(list);
            const auto at = std::find(order.begin(), order.end(), static_cast<Item*>(current)->seq) - order.begin();
            EXPECT_EQ(list_index(list), at);
        }
    }
    list_free(list);
}

template <typename T, typename Generate>
void check_type(int type, Generate generate, std::mt19937& rng) {
    for (int round = 0; round < 12; ++round) {
        const std::size_t n = round < 4 ? static_cast<std::size_t>(round) : static_cast<std::size_t>(rng() % 300);
        std::vector<T> keys;
        for (std::size_t i = 0; i < n; ++i) keys.push_back(generate());
        const int in = static_cast<int>(n);
        for (int options = 0; options < 4; ++options) {
            ASSERT_NO_FATAL_FAILURE(check_sort<T>(type, keys, options, -1, static_cast<std::int32_t>(rng() % 5) - 2));
            for (int r = 0; r < 3; ++r) {
                const std::int32_t first = static_cast<std::int32_t>(rng() % (in + 3)) - 1;
                const std::int32_t last = first + static_cast<std::int32_t>(rng() % (in / 2 + 4)) - 2;
                if (first == -1) continue;
                ASSERT_NO_FATAL_FAILURE(check_sort<T>(type, keys, options, first, last));
            }
        }
    }
}

TEST_F(SortTest, EveryTypeCodeSortsLikeStableSortInBothDirections) {
    std::mt19937 rng(1207);
    // Narrow value sets make many equal keys, so stability is tested, plus the extremes.
    auto pick = [&](auto... values) {
        using V = std::common_type_t<decltype(values)...>;
        const V all[] = {values...};
        return all[rng() % sizeof...(values)];
    };
    check_type<std::int8_t>(
        TYPE_BYTE, [&] { return std::int8_t(pick(-128, -1, 0, 1, 5, 127)); }, rng);
    check_type<std::int16_t>(
        TYPE_WORD, [&] { return std::int16_t(pick(-32768, -300, 0, 2, 300, 32767)); }, rng);
    check_type<std::int32_t>(
        TYPE_LONG, [&] { return std::int32_t(pick(INT32_MIN, -70000, -1, 0, 10, 70000, INT32_MAX)); }, rng);
    check_type<std::intptr_t>(
        TYPE_INTEGER,
        [&] {
            return std::intptr_t(pick(std::int64_t(INTPTR_MIN), std::int64_t(-5), std::int64_t(0),
                                      std::int64_t(1) << 40, std::int64_t(7)));
        },
        rng);
    check_type<float>(
        TYPE_FLOAT, [&] { return pick(-INFINITY, -2.5f, -0.0f, 0.0f, 1e-30f, 3.0f, INFINITY); }, rng);
    check_type<std::uint16_t>(
        TYPE_CHARACTER, [&] { return std::uint16_t(pick(0, 65, 97, 0x7FFF, 0x8000, 0xFFFF)); }, rng);
    check_type<std::uint16_t>(
        TYPE_UNICODE, [&] { return std::uint16_t(pick(0, 1, 0x8001, 0xFFFE)); }, rng);
    check_type<double>(
        TYPE_DOUBLE, [&] { return pick(-1e300, -1.0, -0.0, 0.0, 0.5, 1e300); }, rng);
    // Values whose low halves have the top bit set catch a signed comparison of the low halves.
    check_type<std::int64_t>(
        TYPE_QUAD,
        [&] {
            return pick(INT64_MIN, std::int64_t(-1), std::int64_t(0), std::int64_t(1), std::int64_t(0x7FFFFFFF),
                        std::int64_t(0x80000000), std::int64_t(0x1FFFFFFFF), INT64_MAX);
        },
        rng);
    check_type<std::uint8_t>(
        TYPE_ASCII, [&] { return std::uint8_t(pick(0, 1, 127, 128, 200, 255)); }, rng);
    // Letters of both cases and the characters between 'Z' and 'a', which tell lower-case
    // folding from upper-case folding; a null text and units above 0x7FFF.
    static const char16_t* const texts[] = {nullptr, u"",  u"a",      u"A",      u"b",       u"B",   u"_",
                                            u"[",    u"`", u"ab",     u"AB",     u"aB",      u"a_",  u"A[",
                                            u"z",    u"Z", u"\u00e9", u"\uff21", u"\u00c9a", u"abc", u"ABD"};
    check_type<const char16_t*>(
        TYPE_STRING, [&] { return texts[rng() % (sizeof texts / sizeof *texts)]; }, rng);
}

// A list of strings sorted by its first field, as the highlighter sorts its keywords.
std::vector<std::u16string> sorted_words(std::initializer_list<const char16_t*> words, int options) {
    static const LayoutEntry word_layout[] = {0, LAYOUT_END};
    LinkedList* list = list_create(sizeof(StringVar), nullptr, word_layout, TYPE_STRING);
    for (const char16_t* word : words) {
        list_last(list);
        string_var_assign(static_cast<StringVar*>(list_add(list)), word);
    }
    list_sort_structured_all(list, options, 0, TYPE_STRING);
    std::vector<std::u16string> out;
    list_reset(list);
    while (void* element = list_next(list)) {
        const StringVar text = *static_cast<StringVar*>(element);
        out.emplace_back(text ? text : u"");
    }
    list_free(list);
    return out;
}

TEST_F(SortTest, KeywordsSortWithAndWithoutCase) {
    EXPECT_EQ(sorted_words({u"Q", u"a", u"R", u"q"}, SORT_NO_CASE),
              (std::vector<std::u16string>{u"a", u"Q", u"q", u"R"}));
    EXPECT_EQ(sorted_words({u"Q", u"a", u"R", u"q"}, 0), (std::vector<std::u16string>{u"Q", u"R", u"a", u"q"}));
    EXPECT_EQ(sorted_words({u"b", u"_", u"A"}, SORT_NO_CASE), (std::vector<std::u16string>{u"_", u"A", u"b"}))
        << "letters fold to lower case, so '_' sorts before them";
    EXPECT_EQ(sorted_words({u"x", nullptr, u"", u"a"}, 0), (std::vector<std::u16string>{u"", u"", u"a", u"x"}));
    EXPECT_EQ(sorted_words({u"ab", u"a", u"abc"}, SORT_DESCENDING), (std::vector<std::u16string>{u"abc", u"ab", u"a"}));
}

LinkedList* long_list(std::initializer_list<std::int32_t> values) {
    LinkedList* list = list_create(sizeof(std::int32_t), nullptr, nullptr, TYPE_LONG);
    for (std::int32_t v : values) {
        list_last(list);
        *static_cast<std::int32_t*>(list_add(list)) = v;
    }
    return list;
}

std::vector<std::int32_t> longs(const LinkedList* list) {
    std::vector<std::int32_t> out;
    for (ListNode* node = list->first; node; node = node->next)
        out.push_back(*static_cast<std::int32_t*>(list_node_element(node)));
    return out;
}

TEST_F(SortTest, PlainValueListsUseTheirOwnType) {
    LinkedList* list = long_list({2, 10, 1});
    list_sort(list, SORT_DESCENDING, -1, -1);
    EXPECT_EQ(longs(list), (std::vector<std::int32_t>{10, 2, 1}));
    list_sort_structured_all(list, 0, 0, -1);
    EXPECT_EQ(longs(list), (std::vector<std::int32_t>{1, 2, 10}));
    list_free(list);

    LinkedList* quads = list_create(sizeof(std::int64_t), nullptr, nullptr, TYPE_QUAD);
    for (std::int64_t v : {std::int64_t(1), std::int64_t(-1)}) *static_cast<std::int64_t*>(list_add(quads)) = v;
    list_sort(quads, 0, -1, -1);
    EXPECT_EQ(*static_cast<std::int64_t*>(list_node_element(quads->first)), -1);
    EXPECT_EQ(*static_cast<std::int64_t*>(list_node_element(quads->last)), 1);
    list_free(quads);
}

TEST_F(SortTest, RangesLeaveTheRestInPlace) {
    LinkedList* list = long_list({50, 40, 30, 20, 10});
    ListNode* head = list->first;
    ListNode* tail = list->last;
    list_sort(list, 0, 1, 2);
    EXPECT_EQ(longs(list), (std::vector<std::int32_t>{50, 30, 40, 20, 10}));
    EXPECT_EQ(list->first, head);
    EXPECT_EQ(list->last, tail);
    expect_links_sound(list);
    EXPECT_EQ(*static_cast<std::int32_t*>(list_current(list)), 30) << "the element at the range's end stays current";

    list_sort(list, 0, 3, 5);
    EXPECT_EQ(longs(list), (std::vector<std::int32_t>{50, 30, 40, 20, 10})) << "a range past the end sorts nothing";
    list_sort(list, 0, 3, 1);
    EXPECT_EQ(longs(list), (std::vector<std::int32_t>{50, 30, 40, 20, 10})) << "an inverted range sorts nothing";
    list_sort(list, 0, 0, 4);
    EXPECT_EQ(longs(list), (std::vector<std::int32_t>{10, 20, 30, 40, 50}));
    expect_links_sound(list);
    list_sort_structured(list, SORT_DESCENDING, 0, 77, -1, -1);
    EXPECT_EQ(longs(list), (std::vector<std::int32_t>{10, 20, 30, 40, 50})) << "an unknown type sorts nothing";
    expect_links_sound(list);
    list_free(list);
}

TEST_F(SortTest, EmptyAndSingleElementListsAreLeftAlone) {
    LinkedList* empty = long_list({});
    list_sort(empty, 0, -1, -1);
    list_sort(empty, 0, 0, 0);
    EXPECT_EQ(empty->first, nullptr);
    EXPECT_EQ(empty->last, nullptr);
    list_free(empty);
    LinkedList* one = long_list({7});
    ListNode* node = one->first;
    list_sort(one, SORT_DESCENDING, -1, -1);
    EXPECT_EQ(one->first, node);
    EXPECT_EQ(one->last, node);
    expect_links_sound(one);
    list_free(one);
    list_sort_structured_all(nullptr, 0, 0, TYPE_LONG);  // a null list is no fault
}

TEST_F(SortTest, LargeListsSortCorrectly) {
    std::mt19937 rng(99);
    LinkedList* list = list_create(sizeof(std::int32_t), nullptr, nullptr, TYPE_LONG);
    std::vector<std::int32_t> model;
    for (int i = 0; i < 200000; ++i) {
        const auto v = static_cast<std::int32_t>(rng());
        model.push_back(v);
        list_last(list);
        *static_cast<std::int32_t*>(list_add(list)) = v;
    }
    list_sort(list, 0, -1, -1);
    std::sort(model.begin(), model.end());
    expect_links_sound(list);
    EXPECT_EQ(longs(list), model);
    list_free(list);
}

}  // namespace
