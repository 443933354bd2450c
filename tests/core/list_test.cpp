// Lists: a random model check against std::vector with a cursor, the loop idioms callers
// rely on, and elements whose strings and containers must be released.
#include <gtest/gtest.h>

#include "core/heap_balance.h"

#include <random>
#include <vector>

#include "runtime/core/list.h"
#include "runtime/core/map.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"

namespace {

class ListTest : public HeapBalanceTest {};

// Walks the chain both ways and checks it against count, first, last and the variable.
void expect_links_sound(const LinkedList* list) {
    std::int32_t n = 0;
    const ListNode* previous = nullptr;
    for (const ListNode* node = list->first; node; node = node->next) {
        ASSERT_EQ(node->previous, previous) << "at node " << n;
        previous = node;
        ASSERT_LE(++n, list->count) << "chain longer than count";
    }
    EXPECT_EQ(n, list->count);
    EXPECT_EQ(list->last, previous);
    EXPECT_EQ(list->variable->header, list);
    EXPECT_EQ(list->variable->current, list_node_element(list->current));
}

std::vector<int> values_of(const LinkedList* list) {
    std::vector<int> out;
    for (ListNode* node = list->first; node; node = node->next)
        out.push_back(*static_cast<int*>(list_node_element(node)));
    return out;
}

ListNode* node_at(const LinkedList* list, int index) {
    ListNode* node = list->first;
    while (index-- > 0) node = node->next;
    return node;
}

int value_of(void* element) { return element ? *static_cast<int*>(element) : -1; }

TEST_F(ListTest, RandomOperationsMatchAModelWithACursor) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 20; ++round) {
        ListVariable var{};
        LinkedList* list = list_create(sizeof(int), &var, nullptr, TYPE_LONG);
        ASSERT_NE(list, nullptr);
        std::vector<int> model;
        int cur = -1;  // -1: before the first element
        int next_value = 1;
        for (int step = 0; step < 1500; ++step) {
            const int n = static_cast<int>(model.size());
            const int op = static_cast<int>(rng() % 100);
            void* got = nullptr;
            int expected = -1;
            if (op < 30) {
                got = list_add(list);
                ASSERT_NE(got, nullptr);
                EXPECT_EQ(*static_cast<int*>(got), 0) << "new elements are zeroed";
                *static_cast<int*>(got) = next_value;
                model.insert(model.begin() + (cur + 1), next_value);
                expected = next_value++;
                ++cur;
            } else if (op < 45) {
                got = list_next(list);
                if (cur + 1 < n) expected = model[++cur];
            } else if (op < 50) {
                got = list_previous(list);
                if (cur > 0)
                    expected = model[--cur];
                else
                    cur = -1;
            } else if (op < 55) {
                got = list_last(list);
                if (n > 0) expected = model[cur = n - 1];
            } else if (op < 60) {
                list_reset(list);
                cur = -1;
            } else if (op < 75) {
                const int flags = static_cast<int>(rng() % 2);
                got = list_delete(list, flags);
                if (cur >= 0) {
                    model.erase(model.begin() + cur);
                    if (cur > 0)
                        --cur;
                    else if (flags == 1 && !model.empty())
                        cur = 0;
                    else
                        cur = -1;
                    if (cur >= 0) expected = model[cur];
                }
            } else if (op < 92) {
                const int index = static_cast<int>(rng() % (n + 4)) - 2;
                got = list_select(list, index);
                if (index >= 0 && index < n)
                    expected = model[cur = index];
                else
                    cur = -1;
            } else if (op < 98) {
                if (n > 0) {
                    const int index = static_cast<int>(rng() % n);
                    list_change_current(list, list_node_element(node_at(list, index)));
                    cur = index;
                }
                got = list_current(list);
                if (cur >= 0) expected = model[cur];
            } else {
                list_clear(list);
                model.clear();
                cur = -1;
            }
            ASSERT_EQ(value_of(got), expected) << "step " << step << " op " << op;
            ASSERT_NO_FATAL_FAILURE(expect_links_sound(list));
            ASSERT_EQ(values_of(list), model) << "step " << step;
            ASSERT_EQ(value_of(list_current(list)), cur >= 0 ? model[cur] : -1) << "step " << step;
            // Asking for the index trusts the cache again, so do it only now and then to keep
            // the stale paths of select and next exercised.
            if (rng() % 4 == 0) {
                ASSERT_EQ(list_index(list), cur) << "step " << step;
            }
        }
        list_free(list);
        EXPECT_EQ(var.header, nullptr);
        EXPECT_EQ(var.current, nullptr);
    }
}

TEST_F(ListTest, SelectFindsEveryIndexFromEveryStartingPlace) {
    LinkedList* list = list_create(sizeof(int), nullptr, nullptr, TYPE_LONG);
    for (int i = 0; i < 37; ++i) *static_cast<int*>(list_add(list)) = i;
    for (int from = -1; from < 37; ++from) {
        for (int to = 0; to < 37; ++to) {
            if (from < 0) {
                list_reset(list);
            } else {
                ASSERT_NE(list_select(list, from), nullptr);
            }
            ASSERT_EQ(value_of(list_select(list, to)), to) << from << " -> " << to;
            ASSERT_EQ(list->current_index, to);
            ASSERT_EQ(list->index_stale, 0);
        }
    }
    EXPECT_EQ(list_select(list, 37), nullptr);
    EXPECT_EQ(list_current(list), nullptr);
    EXPECT_EQ(list->index_stale, 1);
    // After an explicit change the cached index is not trusted, so select still finds the right node.
    list_change_current(list, list_node_element(node_at(list, 30)));
    list->current_index = 2;  // a stale value that must not be used
    EXPECT_EQ(value_of(list_select(list, 29)), 29);
    EXPECT_EQ(value_of(list_select(list, 3)), 3);
    list_free(list);
}

TEST_F(ListTest, AddAfterLastAppendsAndAddAfterResetInsertsAtTheFront) {
    ListVariable var{};
    LinkedList* list = list_create(sizeof(int), &var, nullptr, TYPE_LONG);
    *static_cast<int*>(list_add(list)) = 1;
    *static_cast<int*>(list_add(list)) = 2;
    list_select(list, 0);
    list_last(list);
    *static_cast<int*>(list_add(list)) = 3;
    EXPECT_EQ(values_of(list), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list_index(list), 2);
    list_reset(list);
    *static_cast<int*>(list_add(list)) = 0;
    EXPECT_EQ(values_of(list), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(list_index(list), 0);
    EXPECT_EQ(var.current, list_current(list));
    list_free(list);
}

TEST_F(ListTest, DeletingEveryElementInsideAResetNextLoopVisitsAll) {
    LinkedList* list = list_create(sizeof(int), nullptr, nullptr, TYPE_LONG);
    for (int i = 0; i < 10; ++i) {
        list_last(list);
        *static_cast<int*>(list_add(list)) = i;
    }
    std::vector<int> visited;
    list_reset(list);
    while (void* element = list_next(list)) {
        visited.push_back(*static_cast<int*>(element));
        list_delete(list, 0);
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(list_count(list), 0);
    EXPECT_EQ(list->first, nullptr);
    EXPECT_EQ(list->last, nullptr);

    // Deleting only the odd ones keeps the walk on the elements that follow.
    for (int i = 0; i < 10; ++i) {
        list_last(list);
        *static_cast<int*>(list_add(list)) = i;
    }
    list_reset(list);
    while (void* element = list_next(list))
        if (*static_cast<int*>(element) % 2) list_delete(list, 0);
    EXPECT_EQ(values_of(list), (std::vector<int>{0, 2, 4, 6, 8}));
    list_free(list);
}

TEST_F(ListTest, NextAtTheEndKeepsTheLastElementCurrent) {
    LinkedList* list = list_create(sizeof(int), nullptr, nullptr, TYPE_LONG);
    EXPECT_EQ(list_next(list), nullptr) << "empty list";
    EXPECT_EQ(list_last(list), nullptr);
    EXPECT_EQ(list_delete(list, 0), nullptr);
    *static_cast<int*>(list_add(list)) = 5;
    *static_cast<int*>(list_add(list)) = 6;
    EXPECT_EQ(list_next(list), nullptr);
    EXPECT_EQ(list_next(list), nullptr);
    EXPECT_EQ(value_of(list_current(list)), 6);
    EXPECT_EQ(list_index(list), 1);
    list_free(list);
}

TEST_F(ListTest, DeletingTheFirstElementWithAndWithoutFlagOne) {
    LinkedList* list = list_create(sizeof(int), nullptr, nullptr, TYPE_LONG);
    for (int i = 1; i <= 3; ++i) *static_cast<int*>(list_add(list)) = i;
    list_select(list, 0);
    EXPECT_EQ(list_delete(list, 0), nullptr);
    EXPECT_EQ(list_current(list), nullptr);
    EXPECT_EQ(value_of(list_next(list)), 2) << "the list stood before its new first element";
    EXPECT_EQ(value_of(list_delete(list, 1)), 3);
    EXPECT_EQ(list_index(list), 0);
    EXPECT_EQ(list_delete(list, 1), nullptr) << "deleting the only element empties the list";
    EXPECT_EQ(list_count(list), 0);
    list_free(list);
}

struct Named {
    StringVar name;
    int value;
};
const LayoutEntry NAMED_LAYOUT[] = {0, LAYOUT_END};

TEST_F(ListTest, ClearingAndDeletingReleaseTheElementsStrings) {
    const std::size_t strings_before = heap_block_count(string_heap());
    LinkedList* list = list_create(sizeof(Named), nullptr, NAMED_LAYOUT, 0);
    for (int i = 0; i < 50; ++i) {
        auto* named = static_cast<Named*>(list_add(list));
        string_var_assign(&named->name, u"some text");
        named->value = i;
    }
    EXPECT_EQ(heap_block_count(string_heap()), strings_before + 50);
    list_select(list, 10);
    list_delete(list, 0);
    EXPECT_EQ(heap_block_count(string_heap()), strings_before + 49);
    list_clear(list);
    EXPECT_EQ(heap_block_count(string_heap()), strings_before);
    EXPECT_EQ(list_count(list), 0);
    list_free(list);
}

// An element holding a string, a list of strings and a map: copies must be deep.
struct Holder {
    StringVar title;
    ListVariable words;
    HashMap* table;
};
const LayoutEntry WORD_LAYOUT[] = {0, LAYOUT_END};
const LayoutEntry HOLDER_LAYOUT[] = {offsetof(Holder, title),
                                     LAYOUT_LIST,
                                     offsetof(Holder, words),
                                     sizeof(StringVar),
                                     layout_ref(WORD_LAYOUT),
                                     TYPE_STRING,
                                     LAYOUT_MAP,
                                     offsetof(Holder, table),
                                     sizeof(int),
                                     0,
                                     4,
                                     LAYOUT_END};

TEST_F(ListTest, CopyIsDeepAndEveryContainerIsReleased) {
    LinkedList* source = list_create(sizeof(Holder), nullptr, HOLDER_LAYOUT, 0);
    ASSERT_EQ(source->needs_init, 1);
    for (int i = 0; i < 3; ++i) {
        auto* h = static_cast<Holder*>(list_add(source));
        ASSERT_NE(h->words.header, nullptr) << "containers are created for new elements";
        ASSERT_NE(h->table, nullptr);
        string_var_assign(&h->title, u"title");
        string_var_assign(static_cast<StringVar*>(list_add(h->words.header)), u"word");
        *static_cast<int*>(map_add(h->table, u"k")) = i;
    }
    LinkedList* copy = list_create(sizeof(Holder), nullptr, HOLDER_LAYOUT, 0);
    *static_cast<int*>(map_add(static_cast<Holder*>(list_add(copy))->table, u"old")) = 9;
    ASSERT_EQ(list_copy(source, copy, 0), 1);
    EXPECT_EQ(list_count(copy), 4);
    auto* first_source = static_cast<Holder*>(list_select(source, 0));
    auto* first_copy = static_cast<Holder*>(list_select(copy, 1));
    EXPECT_NE(first_copy->title, first_source->title);
    EXPECT_TRUE(string_equal(first_copy->title, u"title"));
    EXPECT_NE(first_copy->words.header, first_source->words.header);
    ASSERT_EQ(list_count(first_copy->words.header), 1);
    EXPECT_TRUE(string_equal(*static_cast<StringVar*>(list_select(first_copy->words.header, 0)), u"word"));
    ASSERT_NE(first_copy->table, first_source->table);
    ASSERT_NE(map_find(first_copy->table, u"k"), nullptr);
    EXPECT_EQ(*static_cast<int*>(map_find(first_copy->table, u"k")), 0);
    // Changing the source afterwards leaves the copy alone.
    string_var_assign(&first_source->title, u"changed");
    list_clear(first_source->words.header);
    EXPECT_TRUE(string_equal(first_copy->title, u"title"));
    EXPECT_EQ(list_count(first_copy->words.header), 1);

    ASSERT_EQ(list_copy(source, copy, 1), 1);
    EXPECT_EQ(list_count(copy), 3);
    EXPECT_EQ(list_copy(source, nullptr, 0), 0);
    list_free(copy);
    list_free(source);
}

TEST_F(ListTest, CopyOntoItselfAppendsTheOriginalElementsOnce) {
    LinkedList* list = list_create(sizeof(int), nullptr, nullptr, TYPE_LONG);
    for (int i = 1; i <= 3; ++i) *static_cast<int*>(list_add(list)) = i;
    ASSERT_EQ(list_copy(list, list, 0), 1);
    EXPECT_EQ(values_of(list), (std::vector<int>{1, 2, 3, 1, 2, 3}));
    ASSERT_EQ(list_copy(list, list, 1), 1);
    EXPECT_EQ(list_count(list), 6);
    LinkedList* other = list_create(sizeof(double), nullptr, nullptr, TYPE_DOUBLE);
    EXPECT_EQ(list_copy(list, other, 0), 0) << "different element sizes";
    list_free(other);
    list_free(list);
}

TEST_F(ListTest, ListsOfOneNodeSizeShareOnePool) {
    ListVariable a{}, b{};
    LinkedList* first = list_create(12, &a, nullptr, 0);
    LinkedList* second = list_create(12, &b, nullptr, 0);
    LinkedList* other = list_create(40, nullptr, nullptr, 0);
    EXPECT_EQ(first->pool, second->pool);
    EXPECT_NE(first->pool, other->pool);
    for (int i = 0; i < 100; ++i) {
        list_add(first);
        list_add(second);
    }
    list_free(first);
    EXPECT_EQ(a.header, nullptr);
    // The survivor's nodes are intact and its pool still serves.
    for (int i = 0; i < 100; ++i) ASSERT_NE(list_add(second), nullptr);
    EXPECT_EQ(list_count(second), 200);
    expect_links_sound(second);
    list_free(second);
    list_free(other);
}

}  // namespace
