// Structure layouts: initialising, clearing, resetting and deep-copying structures with
// strings, fixed arrays, embedded structures, dynamic arrays, lists and maps.
#include <gtest/gtest.h>

#include "core/heap_balance.h"

#include <cstring>

#include "runtime/core/layout.h"
#include "runtime/core/list.h"
#include "runtime/core/map.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"

namespace {

class LayoutTest : public HeapBalanceTest {};

struct Inner {
    StringVar text;
    int number;
};
const LayoutEntry INNER_LAYOUT[] = {offsetof(Inner, text), LAYOUT_END};
const LayoutEntry WORD_LAYOUT[] = {0, LAYOUT_END};

struct Outer {
    int plain_a;
    StringVar name;
    int plain_b;
    Inner fixed[3];
    Inner embedded;
    void* array;         // dynamic array of Inner
    ListVariable words;  // list of strings
    HashMap* counts;     // map of ints
    double plain_tail;
};

// Deliberately not in offset order: the operations must not depend on it.
const LayoutEntry OUTER_LAYOUT[] = {LAYOUT_MAP,
                                    offsetof(Outer, counts),
                                    sizeof(int),
                                    0,
                                    5,
                                    offsetof(Outer, name),
                                    LAYOUT_FIXED_ARRAY,
                                    3,
                                    offsetof(Outer, fixed),
                                    sizeof(Inner),
                                    layout_ref(INNER_LAYOUT),
                                    LAYOUT_STRUCTURE,
                                    offsetof(Outer, embedded),
                                    sizeof(Inner),
                                    layout_ref(INNER_LAYOUT),
                                    LAYOUT_ARRAY,
                                    offsetof(Outer, array),
                                    sizeof(Inner),
                                    4,
                                    0,
                                    layout_ref(INNER_LAYOUT),
                                    LAYOUT_LIST,
                                    offsetof(Outer, words),
                                    sizeof(StringVar),
                                    layout_ref(WORD_LAYOUT),
                                    TYPE_STRING,
                                    LAYOUT_END};

void fill(Outer* o, const char16_t* tag) {
    o->plain_a = 11;
    o->plain_b = 22;
    o->plain_tail = 3.5;
    string_var_assign(&o->name, tag);
    for (Inner& inner : o->fixed) {
        string_var_assign(&inner.text, tag);
        inner.number = 7;
    }
    string_var_assign(&o->embedded.text, tag);
    auto* items = static_cast<Inner*>(o->array);
    for (int i = 0; i < 4; ++i) {
        string_var_assign(&items[i].text, tag);
        items[i].number = i;
    }
    string_var_assign(static_cast<StringVar*>(list_add(o->words.header)), tag);
    string_var_assign(static_cast<StringVar*>(list_add(o->words.header)), u"second");
    *static_cast<int*>(map_add(o->counts, tag)) = 5;
}

TEST_F(LayoutTest, NeedsInitOnlyForContainersAtAnyDepth) {
    EXPECT_FALSE(layout_needs_init(nullptr));
    EXPECT_FALSE(layout_needs_init(INNER_LAYOUT));
    static const LayoutEntry strings_only[] = {0, 8, LAYOUT_STRUCTURE, 16, 16, layout_ref(INNER_LAYOUT), LAYOUT_END};
    EXPECT_FALSE(layout_needs_init(strings_only));
    static const LayoutEntry list_only[] = {LAYOUT_LIST, 0, 4, 0, TYPE_LONG, LAYOUT_END};
    static const LayoutEntry nested[] = {0, LAYOUT_STRUCTURE, 8, 16, layout_ref(list_only), LAYOUT_END};
    static const LayoutEntry fixed_nested[] = {LAYOUT_FIXED_ARRAY, 2, 0, 16, layout_ref(list_only), LAYOUT_END};
    static const LayoutEntry fixed_empty[] = {LAYOUT_FIXED_ARRAY, 0, 0, 16, layout_ref(list_only), LAYOUT_END};
    EXPECT_TRUE(layout_needs_init(list_only));
    EXPECT_TRUE(layout_needs_init(nested));
    EXPECT_TRUE(layout_needs_init(fixed_nested));
    EXPECT_FALSE(layout_needs_init(fixed_empty)) << "no element, nothing to create";
    EXPECT_TRUE(layout_needs_init(OUTER_LAYOUT));
}

TEST_F(LayoutTest, InitialiseCreatesEveryContainerInItsShape) {
    Outer o{};
    layout_initialise(&o, OUTER_LAYOUT);
    EXPECT_EQ(o.name, nullptr);
    ASSERT_NE(o.array, nullptr);
    EXPECT_EQ(array_count(o.array), 4);
    EXPECT_EQ(array_header(o.array)->element_size, static_cast<std::intptr_t>(sizeof(Inner)));
    EXPECT_EQ(array_header(o.array)->layout, INNER_LAYOUT);
    ASSERT_NE(o.words.header, nullptr);
    EXPECT_EQ(o.words.header->variable, &o.words);
    EXPECT_EQ(o.words.header->type, TYPE_STRING);
    EXPECT_EQ(o.words.header->layout, WORD_LAYOUT);
    EXPECT_EQ(list_count(o.words.header), 0);
    ASSERT_NE(o.counts, nullptr);
    EXPECT_EQ(o.counts->bucket_count, 5);
    layout_clear(&o, OUTER_LAYOUT);
}

struct Cell {
    int id;
    ListVariable items;
};
const LayoutEntry CELL_LAYOUT[] = {LAYOUT_LIST, offsetof(Cell, items), sizeof(int), 0, TYPE_LONG, LAYOUT_END};
struct Grid {
    Cell cells[2];
    Cell single;
};
const LayoutEntry GRID_LAYOUT[] = {LAYOUT_FIXED_ARRAY,      2,
                                   offsetof(Grid, cells),   sizeof(Cell),
                                   layout_ref(CELL_LAYOUT), LAYOUT_STRUCTURE,
                                   offsetof(Grid, single),  sizeof(Cell),
                                   layout_ref(CELL_LAYOUT), LAYOUT_END};

TEST_F(LayoutTest, NestedContainersAreCreatedAndFreedInsideFixedArraysAndStructures) {
    Grid g{};
    layout_initialise(&g, GRID_LAYOUT);
    ASSERT_NE(g.cells[0].items.header, nullptr);
    ASSERT_NE(g.cells[1].items.header, nullptr);
    ASSERT_NE(g.single.items.header, nullptr);
    EXPECT_NE(g.cells[0].items.header, g.cells[1].items.header);
    for (int i = 0; i < 40; ++i) list_add(g.cells[1].items.header);
    layout_clear(&g, GRID_LAYOUT);
    // TearDown verifies that every list header and pool went back to the heap.
}

TEST_F(LayoutTest, ClearFreesEveryStringAndContainer) {
    const std::size_t strings_before = heap_block_count(string_heap());
    Outer o{};
    layout_initialise(&o, OUTER_LAYOUT);
    fill(&o, u"tag");
    EXPECT_GT(heap_block_count(string_heap()), strings_before + 10);
    layout_clear(&o, OUTER_LAYOUT);
    EXPECT_EQ(heap_block_count(string_heap()), strings_before);
}

TEST_F(LayoutTest, ResetClearsThenZeroesOnlyTheGivenSize) {
    Outer o{};
    layout_initialise(&o, OUTER_LAYOUT);
    fill(&o, u"tag");
    layout_reset(&o, sizeof(Outer), OUTER_LAYOUT);
    const Outer zero{};
    EXPECT_EQ(std::memcmp(&o, &zero, sizeof(Outer)), 0);

    int numbers[4] = {1, 2, 3, 4};
    layout_reset(numbers, 0, nullptr);
    EXPECT_EQ(numbers[0], 1) << "size 0 zeroes nothing";
    layout_reset(numbers, -8, nullptr);
    EXPECT_EQ(numbers[3], 4);
    layout_reset(numbers, 2 * sizeof(int), nullptr);
    EXPECT_EQ(numbers[1], 0);
    EXPECT_EQ(numbers[2], 3);
}

TEST_F(LayoutTest, CopyIsDeepAndOutlivesItsSource) {
    Outer source{}, destination{};
    layout_initialise(&source, OUTER_LAYOUT);
    layout_initialise(&destination, OUTER_LAYOUT);
    fill(&source, u"source");
    fill(&destination, u"old destination");
    destination.plain_a = 99;
    destination.plain_tail = -1;

    layout_copy(&destination, sizeof(Outer), OUTER_LAYOUT, &source);
    EXPECT_EQ(destination.plain_a, 11);
    EXPECT_EQ(destination.plain_b, 22);
    EXPECT_EQ(destination.plain_tail, 3.5) << "bytes after the last field are copied";
    EXPECT_NE(destination.name, source.name);
    EXPECT_TRUE(string_equal(destination.name, u"source"));
    EXPECT_NE(destination.fixed[2].text, source.fixed[2].text);
    EXPECT_TRUE(string_equal(destination.fixed[2].text, u"source"));
    EXPECT_EQ(destination.fixed[2].number, 7);
    EXPECT_TRUE(string_equal(destination.embedded.text, u"source"));
    ASSERT_NE(destination.array, source.array);
    EXPECT_EQ(array_count(destination.array), 4);
    auto* items = static_cast<Inner*>(destination.array);
    EXPECT_EQ(items[3].number, 3);
    EXPECT_NE(items[3].text, static_cast<Inner*>(source.array)[3].text);
    ASSERT_NE(destination.words.header, source.words.header);
    EXPECT_EQ(destination.words.header->variable, &destination.words);
    ASSERT_EQ(list_count(destination.words.header), 2);
    EXPECT_TRUE(string_equal(*static_cast<StringVar*>(list_select(destination.words.header, 1)), u"second"));
    ASSERT_NE(destination.counts, source.counts);
    EXPECT_EQ(map_count(destination.counts), 1) << "the old destination's entries are gone";
    ASSERT_NE(map_find(destination.counts, u"source"), nullptr);
    EXPECT_EQ(*static_cast<int*>(map_find(destination.counts, u"source")), 5);

    // Everything the copy holds is its own: it stays readable once the source is gone.
    layout_reset(&source, sizeof(Outer), OUTER_LAYOUT);
    EXPECT_TRUE(string_equal(destination.name, u"source"));
    EXPECT_TRUE(string_equal(items[0].text, u"source"));
    EXPECT_TRUE(string_equal(*static_cast<StringVar*>(list_select(destination.words.header, 0)), u"source"));
    EXPECT_NE(map_find(destination.counts, u"source"), nullptr);
    layout_clear(&destination, OUTER_LAYOUT);
}

TEST_F(LayoutTest, CopyOfMissingContainersLeavesTheDestinationWithout) {
    Outer source{}, destination{};
    layout_initialise(&destination, OUTER_LAYOUT);
    fill(&destination, u"old");
    string_var_assign(&source.name, u"only a name");
    layout_copy(&destination, sizeof(Outer), OUTER_LAYOUT, &source);
    EXPECT_EQ(destination.array, nullptr);
    EXPECT_EQ(destination.words.header, nullptr);
    EXPECT_EQ(destination.counts, nullptr);
    EXPECT_EQ(destination.fixed[0].text, nullptr);
    EXPECT_TRUE(string_equal(destination.name, u"only a name"));
    layout_clear(&destination, OUTER_LAYOUT);
    layout_clear(&source, OUTER_LAYOUT);
}

TEST_F(LayoutTest, CopyWithoutATableCopiesBytesAndCopyOntoItselfChangesNothing) {
    double a[3] = {1, 2, 3}, b[3] = {};
    layout_copy(b, sizeof b, nullptr, a);
    EXPECT_EQ(b[2], 3.0);
    // A nested entry without a table describes plain bytes.
    static const LayoutEntry plain_nested[] = {LAYOUT_STRUCTURE, 0, 16, 0, LAYOUT_FIXED_ARRAY, 1, 16, 8, 0, LAYOUT_END};
    double c[3] = {};
    layout_initialise(c, plain_nested);
    layout_copy(c, sizeof c, plain_nested, a);
    EXPECT_EQ(c[1], 2.0);
    layout_clear(c, plain_nested);
    Outer o{};
    layout_initialise(&o, OUTER_LAYOUT);
    fill(&o, u"self");
    const StringVar name = o.name;
    layout_copy(&o, sizeof(Outer), OUTER_LAYOUT, &o);
    EXPECT_EQ(o.name, name);
    EXPECT_TRUE(string_equal(o.name, u"self"));
    EXPECT_EQ(list_count(o.words.header), 2);
    layout_clear(&o, OUTER_LAYOUT);
}

TEST_F(LayoutTest, ArraysOfStructuresCopyAndFreeThroughTheirLayout) {
    void* source = nullptr;
    void* destination = nullptr;
    ASSERT_NE(array_create(sizeof(Outer), 3, 0, OUTER_LAYOUT, &source), nullptr);
    ASSERT_NE(array_create(sizeof(Outer), 3, 0, OUTER_LAYOUT, &destination), nullptr);
    auto* outers = static_cast<Outer*>(source);
    ASSERT_NE(outers[2].words.header, nullptr) << "array elements are initialised";
    fill(&outers[2], u"deep");
    ASSERT_EQ(array_copy(source, destination, 0), 1);
    auto* copies = static_cast<Outer*>(destination);
    EXPECT_TRUE(string_equal(copies[2].fixed[1].text, u"deep"));
    EXPECT_NE(copies[2].counts, outers[2].counts);
    array_free(source);
    EXPECT_EQ(source, nullptr);
    EXPECT_TRUE(string_equal(static_cast<Inner*>(copies[2].array)[1].text, u"deep"));
    array_free(destination);
}

}  // namespace
