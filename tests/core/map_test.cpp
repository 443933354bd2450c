// Maps: a random model check of contents and of iteration order (bucket by bucket, newest
// key first in each chain), the hash itself, and the release of keys and element strings.
#include <gtest/gtest.h>

#include "core/heap_balance.h"

#include <deque>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/core/map.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"

namespace {

class MapTest : public HeapBalanceTest {};

// The hash written out independently with 64-bit arithmetic reduced modulo 2^32.
std::uint32_t reference_hash(const std::u16string& key) {
    std::uint64_t h = 0;
    for (char16_t unit : key) h = (h * 65599u + unit) % 4294967296u;
    return static_cast<std::uint32_t>(h);
}

std::vector<std::pair<std::u16string, int>> iterate(HashMap* map) {
    std::vector<std::pair<std::u16string, int>> out;
    map_reset(map);
    while (void* element = map_next(map)) out.emplace_back(map_current_key(map), *static_cast<int*>(element));
    return out;
}

TEST_F(MapTest, HashIsTheMultiplicative65599Hash) {
    EXPECT_EQ(map_hash(u"", false), 0u);
    EXPECT_EQ(map_hash(nullptr, false), 0u);
    EXPECT_EQ(map_hash(u"a", false), 97u);
    EXPECT_EQ(map_hash(u"ab", false), 97u * 65599u + 98u);
    const std::u16string long_key = u"function prototype constructor \u00e9\uffff";
    EXPECT_EQ(map_hash(long_key.c_str(), false), reference_hash(long_key)) << "wraps in 32 bits";
    EXPECT_EQ(map_hash(u"KeY", true), map_hash(u"key", false));
    EXPECT_EQ(map_hash(u"\u00c9", true), 0xC9u) << "only ASCII letters fold";
}

TEST_F(MapTest, RandomOperationsMatchAModelInContentAndIterationOrder) {
    std::mt19937 rng(7);
    const std::int32_t bucket_counts[] = {1, 3, 16, 257};
    for (std::int32_t buckets : bucket_counts) {
        HashMap* variable = nullptr;
        HashMap* map = map_create(sizeof(int), nullptr, &variable, buckets);
        ASSERT_EQ(variable, map);
        std::unordered_map<std::u16string, int> model;
        std::vector<std::deque<std::u16string>> chains(static_cast<std::size_t>(buckets));
        auto chain_of = [&](const std::u16string& key) -> std::deque<std::u16string>& {
            return chains[reference_hash(key) % static_cast<std::uint32_t>(buckets)];
        };
        for (int step = 0; step < 4000; ++step) {
            // Few distinct keys, so that adds often hit existing keys; the empty key included.
            std::u16string key;
            for (int length = static_cast<int>(rng() % 4); length > 0; --length) key += char16_t(u'a' + rng() % 3);
            const int op = static_cast<int>(rng() % 10);
            if (op < 4) {
                void* element = map_add(map, key.c_str());
                ASSERT_NE(element, nullptr);
                EXPECT_EQ(*static_cast<int*>(element), 0) << "added elements are zeroed, also existing ones";
                EXPECT_EQ(map_current(map), element);
                *static_cast<int*>(element) = step + 1;
                if (!model.count(key)) chain_of(key).push_front(key);
                model[key] = step + 1;
            } else if (op < 7) {
                void* element = map_find(map, key.c_str());
                auto it = model.find(key);
                if (it == model.end()) {
                    EXPECT_EQ(element, nullptr);
                } else {
                    ASSERT_NE(element, nullptr) << "step " << step;
                    EXPECT_EQ(*static_cast<int*>(element), it->second);
                    EXPECT_EQ(std::u16string(map_current_key(map)), key);
                }
            } else if (op < 9) {
                const bool existed = model.erase(key) != 0;
                EXPECT_EQ(map_delete(map, key.c_str()), existed ? 1 : 0);
                auto& chain = chain_of(key);
                for (auto it = chain.begin(); it != chain.end(); ++it)
                    if (*it == key) {
                        chain.erase(it);
                        break;
                    }
                if (existed) {
                    EXPECT_EQ(map_current(map), nullptr);
                }
            } else {
                std::vector<std::pair<std::u16string, int>> expected;
                for (const auto& chain : chains)
                    for (const auto& k : chain) expected.emplace_back(k, model[k]);
                ASSERT_EQ(iterate(map), expected) << "step " << step;
            }
            ASSERT_EQ(map_count(map), static_cast<std::int32_t>(model.size()));
        }
        map_free(map);
        EXPECT_EQ(variable, nullptr);
    }
}

TEST_F(MapTest, AddingAnExistingKeyGivesTheSameElementZeroedAndFreesItsString) {
    struct Entry {
        StringVar text;
        int number;
    };
    static const LayoutEntry layout[] = {0, LAYOUT_END};
    const std::size_t strings_before = heap_block_count(string_heap());
    HashMap* map = map_create(sizeof(Entry), layout, nullptr, 8);
    auto* first = static_cast<Entry*>(map_add(map, u"key"));
    string_var_assign(&first->text, u"value");
    first->number = 42;
    EXPECT_EQ(heap_block_count(string_heap()), strings_before + 1);
    auto* again = static_cast<Entry*>(map_add(map, u"key"));
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->text, nullptr);
    EXPECT_EQ(again->number, 0);
    EXPECT_EQ(map_count(map), 1);
    EXPECT_EQ(heap_block_count(string_heap()), strings_before);
    string_var_assign(&again->text, u"other");
    EXPECT_EQ(map_delete(map, u"key"), 1);
    EXPECT_EQ(heap_block_count(string_heap()), strings_before) << "deletion frees the element's string";
    EXPECT_EQ(map_delete(map, u"key"), 0);
    map_free(map);
}

TEST_F(MapTest, TheNullKeyIsTheEmptyKey) {
    HashMap* map = map_create(sizeof(int), nullptr, nullptr, 4);
    *static_cast<int*>(map_add(map, nullptr)) = 5;
    ASSERT_NE(map_find(map, u""), nullptr);
    EXPECT_EQ(*static_cast<int*>(map_find(map, u"")), 5);
    EXPECT_STREQ(reinterpret_cast<const char*>(map_current_key(map)), "");
    EXPECT_EQ(map_find(map, u"x"), nullptr);
    EXPECT_EQ(map_current(map), nullptr);
    EXPECT_EQ(map_delete(map, nullptr), 1);
    EXPECT_EQ(map_count(map), 0);
    map_free(map);
}

TEST_F(MapTest, OneBucketIteratesNewestFirst) {
    HashMap* map = map_create(sizeof(int), nullptr, nullptr, 0);
    EXPECT_EQ(map->bucket_count, 1) << "a bucket count below 1 becomes 1";
    const char16_t* keys[] = {u"alpha", u"beta", u"gamma", u"delta"};
    for (int i = 0; i < 4; ++i) *static_cast<int*>(map_add(map, keys[i])) = i;
    const auto seen = iterate(map);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].first, u"delta");
    EXPECT_EQ(seen[1].first, u"gamma");
    EXPECT_EQ(seen[2].first, u"beta");
    EXPECT_EQ(seen[3].first, u"alpha");
    EXPECT_EQ(map_next(map), nullptr) << "the end stays the end";
    map_free(map);
}

TEST_F(MapTest, DeletingDuringAnIterationVisitsEveryElement) {
    for (std::int32_t buckets : {1, 5, 64}) {
        HashMap* map = map_create(sizeof(int), nullptr, nullptr, buckets);
        std::vector<std::u16string> keys;
        for (int i = 0; i < 40; ++i) {
            keys.push_back(u"k" + std::u16string(1, char16_t(u'0' + i)));
            *static_cast<int*>(map_add(map, keys.back().c_str())) = i;
        }
        // Delete the current key at every step: the walk must still reach every element once.
        std::vector<int> visited;
        map_reset(map);
        while (void* element = map_next(map)) {
            visited.push_back(*static_cast<int*>(element));
            std::u16string key = map_current_key(map);
            ASSERT_EQ(map_delete(map, key.c_str()), 1);
        }
        EXPECT_EQ(visited.size(), 40u) << buckets << " buckets";
        EXPECT_EQ(map_count(map), 0);

        // A failed look-up inside the walk neither restarts nor ends it.
        for (int i = 0; i < 40; ++i) *static_cast<int*>(map_add(map, keys[static_cast<std::size_t>(i)].c_str())) = i;
        std::size_t steps = 0;
        map_reset(map);
        while (map_next(map)) {
            ASSERT_EQ(map_find(map, u"absent"), nullptr);
            EXPECT_EQ(map_current(map), nullptr);
            ASSERT_LE(++steps, 40u);
        }
        EXPECT_EQ(steps, 40u);

        // Deleting some other key keeps the walk going behind the current element.
        const auto before = iterate(map);
        std::vector<std::u16string> walked;
        map_reset(map);
        while (map_next(map)) {
            walked.push_back(map_current_key(map));
            if (walked.size() == 1) map_delete(map, before.back().first.c_str());
        }
        EXPECT_EQ(walked.size(), 39u) << buckets << " buckets";
        EXPECT_EQ(walked.front(), before.front().first);
        map_free(map);
    }
}

TEST_F(MapTest, IgnoreCaseFindsKeysInAnyCase) {
    HashMap* map = map_create(sizeof(int), nullptr, nullptr, 16);
    map_set_ignore_case(map, true);
    *static_cast<int*>(map_add(map, u"Function")) = 1;
    ASSERT_NE(map_find(map, u"FUNCTION"), nullptr);
    EXPECT_EQ(*static_cast<int*>(map_find(map, u"function")), 1);
    EXPECT_EQ(map_find(map, u"functio"), nullptr);
    map_add(map, u"FUNCTION");
    EXPECT_EQ(map_count(map), 1);
    map_set_ignore_case(map, false);
    EXPECT_EQ(map->ignore_case, 1) << "the mode cannot change under stored keys";
    map_free(map);
}

TEST_F(MapTest, CopyKeepsOrderAndCopiesStringsDeeply) {
    struct Entry {
        int number;
        StringVar text;
    };
    static const LayoutEntry layout[] = {offsetof(Entry, text), LAYOUT_END};
    HashMap* source = map_create(sizeof(Entry), layout, nullptr, 3);
    for (int i = 0; i < 20; ++i) {
        std::u16string key = u"key" + std::u16string(1, char16_t(u'A' + i));
        auto* e = static_cast<Entry*>(map_add(source, key.c_str()));
        e->number = i;
        string_var_assign(&e->text, key.c_str());
    }
    HashMap* destination = map_create(sizeof(Entry), layout, nullptr, 3);
    string_var_assign(&static_cast<Entry*>(map_add(destination, u"stale"))->text, u"stale");
    ASSERT_EQ(map_copy(source, destination, 1), 1);
    EXPECT_EQ(map_find(destination, u"stale"), nullptr);
    ASSERT_EQ(map_count(destination), 20);
    std::vector<std::u16string> order_source, order_destination;
    map_reset(source);
    map_reset(destination);
    while (map_next(source)) order_source.push_back(map_current_key(source));
    while (map_next(destination)) order_destination.push_back(map_current_key(destination));
    EXPECT_EQ(order_destination, order_source);
    auto* original = static_cast<Entry*>(map_find(source, u"keyC"));
    auto* copied = static_cast<Entry*>(map_find(destination, u"keyC"));
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->number, 2);
    EXPECT_NE(copied->text, original->text);
    EXPECT_TRUE(string_equal(copied->text, u"keyC"));
    HashMap* wrong_size = map_create(4, nullptr, nullptr, 3);
    EXPECT_EQ(map_copy(source, wrong_size, 0), 0);
    map_free(wrong_size);
    map_free(destination);
    map_free(source);
}

TEST_F(MapTest, ClearEmptiesAndTheMapStaysUsable) {
    HashMap* map = map_create(sizeof(int), nullptr, nullptr, 8);
    for (int i = 0; i < 100; ++i) map_add(map, std::u16string(static_cast<std::size_t>(i % 50 + 1), u'x').c_str());
    EXPECT_EQ(map_count(map), 50);
    map_clear(map);
    EXPECT_EQ(map_count(map), 0);
    map_reset(map);
    EXPECT_EQ(map_next(map), nullptr);
    EXPECT_NE(map_add(map, u"again"), nullptr);
    EXPECT_NE(map_find(map, u"again"), nullptr);
    map_free(map);
}

}  // namespace
