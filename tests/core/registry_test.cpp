// Object registry: slot growth, re-creation under a live number, release and reuse, dynamic
// identifiers, enumeration order and destruction during enumeration, and a random model check.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <vector>

#include "runtime/core/memory.h"
#include "runtime/core/registry.h"

namespace {

struct TestRecord {
    std::uintptr_t handle;  // non-zero while the object lives
    int payload;
};

ObjectRegistry* g_registry = nullptr;
std::vector<ObjectNumber> g_destroyed;

// The kind's destroy operation: frees nothing of its own, records the call, releases the record.
void destroy_object(ObjectNumber id) {
    if (!registry_lookup(g_registry, id)) return;  // an already free record is left alone
    g_destroyed.push_back(id);
    registry_release(g_registry, id);
}

TestRecord* create_object(ObjectNumber number, std::uintptr_t handle, ObjectNumber* id = nullptr) {
    auto* record = static_cast<TestRecord*>(registry_obtain(g_registry, number, id));
    if (record) record->handle = handle;
    return record;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime_core_start();
        blocks_ = heap_block_count(runtime_heap());
        g_registry = registry_create(sizeof(TestRecord), 16, destroy_object);
        ASSERT_NE(g_registry, nullptr);
        g_destroyed.clear();
    }
    void TearDown() override {
        registry_destroy(g_registry);
        g_registry = nullptr;
        EXPECT_EQ(heap_block_count(runtime_heap()), blocks_) << "registry blocks left behind";
    }
    std::size_t blocks_ = 0;
};

TEST_F(RegistryTest, CreationStateAndGrowth) {
    EXPECT_EQ(g_registry->slot_count, 16);
    EXPECT_EQ(g_registry->grow_step, 16);
    for (std::intptr_t i = 0; i < 16; ++i) EXPECT_EQ(g_registry->slot_records[i], nullptr);

    ASSERT_NE(create_object(100, 1), nullptr);
    EXPECT_EQ(g_registry->slot_count, 116);
    for (std::intptr_t i = 16; i < 116; ++i) {
        if (i != 100) {
            EXPECT_EQ(g_registry->slot_records[i], nullptr) << i;
        }
    }
    EXPECT_NE(g_registry->slot_records[100], nullptr);
    EXPECT_NE(registry_lookup(g_registry, 100), nullptr);
    // Within the grown array no further growth.
    create_object(115, 2);
    EXPECT_EQ(g_registry->slot_count, 116);
    create_object(116, 3);
    EXPECT_EQ(g_registry->slot_count, 132);
}

TEST_F(RegistryTest, ObtainingALiveNumberDestroysTheOldObjectAndReusesTheRecord) {
    TestRecord* first = create_object(5, 0xABC);
    first->payload = 42;
    ObjectNumber id = -7;
    auto* again = static_cast<TestRecord*>(registry_obtain(g_registry, 5, &id));
    EXPECT_EQ(again, first);
    EXPECT_EQ(id, 5);
    ASSERT_EQ(g_destroyed.size(), 1u);
    EXPECT_EQ(g_destroyed[0], 5);
    EXPECT_EQ(again->handle, 0u);
    EXPECT_EQ(again->payload, 0) << "the record to rebuild in is zeroed";
}

TEST_F(RegistryTest, ObtainWithoutCallbackStillGivesAZeroedRecord) {
    ObjectRegistry* plain = registry_create(sizeof(TestRecord), 4, nullptr);
    auto* record = static_cast<TestRecord*>(registry_obtain(plain, 2));
    record->handle = 9;
    record->payload = 9;
    auto* again = static_cast<TestRecord*>(registry_obtain(plain, 2));
    EXPECT_EQ(again, record);
    EXPECT_EQ(again->handle, 0u);
    EXPECT_EQ(again->payload, 0);
    registry_free_all(plain);  // no callback: nothing happens
    registry_destroy(plain);
}

TEST_F(RegistryTest, ReleaseKeepsTheSlotRecordForReuse) {
    TestRecord* record = create_object(3, 77);
    record->payload = 5;
    registry_release(g_registry, 3);
    EXPECT_EQ(registry_lookup(g_registry, 3), nullptr);
    EXPECT_EQ(registry_is_object(g_registry, 3), nullptr);
    EXPECT_EQ(g_registry->slot_records[3], record) << "the allocation stays in the slot";
    EXPECT_EQ(record->payload, 0) << "the whole record is zeroed";
    EXPECT_EQ(create_object(3, 78), record);
    EXPECT_TRUE(g_destroyed.empty()) << "a free record has nothing to destroy";
    EXPECT_EQ(registry_lookup(g_registry, 3), record);
}

TEST_F(RegistryTest, InvalidNumbersAndUnusedSlots) {
    EXPECT_EQ(registry_lookup(g_registry, ANY_NUMBER), nullptr);
    EXPECT_EQ(registry_lookup(g_registry, -2), nullptr);
    EXPECT_EQ(registry_lookup(g_registry, 7), nullptr);     // never used
    EXPECT_EQ(registry_lookup(g_registry, 1000), nullptr);  // beyond the slots, not dynamic
    EXPECT_EQ(registry_is_object(g_registry, 1000), nullptr);
    EXPECT_EQ(registry_obtain(g_registry, -2), nullptr);
    EXPECT_EQ(registry_obtain(g_registry, REGISTRY_MAX_NUMBER + 1), nullptr);
    registry_release(g_registry, 1000);  // does nothing
    registry_release(g_registry, -5);
    EXPECT_EQ(g_registry->slot_count, 16);
    EXPECT_EQ(registry_lookup(nullptr, 1), nullptr);
    EXPECT_EQ(registry_obtain(nullptr, 1), nullptr);
}

TEST_F(RegistryTest, DynamicIdentifiersNeverMeetSlotNumbers) {
    // A large slot array first: identifiers of dynamic records must still lie beyond it.
    ASSERT_NE(create_object(2000000, 1), nullptr);
    ObjectNumber a = 0, b = 0;
    TestRecord* record_a = create_object(ANY_NUMBER, 11, &a);
    TestRecord* record_b = create_object(ANY_NUMBER, 12, &b);
    ASSERT_NE(record_a, nullptr);
    EXPECT_NE(a, b);
    EXPECT_GE(a, g_registry->slot_count);
    EXPECT_GE(b, g_registry->slot_count);
    EXPECT_GT(a, REGISTRY_MAX_NUMBER + g_registry->grow_step) << "beyond every slot the array can ever have";
    EXPECT_EQ(registry_lookup(g_registry, a), record_a);
    EXPECT_EQ(registry_lookup(g_registry, b), record_b);
    EXPECT_EQ(registry_dynamic_id(record_a), a);
    EXPECT_EQ(registry_dynamic_record(a), record_a);

    // A dynamic record exists (is_object) before the kind has made it live (lookup).
    ObjectNumber c = 0;
    void* record_c = registry_obtain(g_registry, ANY_NUMBER, &c);
    EXPECT_EQ(registry_lookup(g_registry, c), nullptr);
    EXPECT_EQ(registry_is_object(g_registry, c), record_c);

    destroy_object(a);
    EXPECT_EQ(registry_is_object(g_registry, a), nullptr) << "the safe test for a released identifier";
    EXPECT_EQ(registry_lookup(g_registry, b), record_b);
    registry_release(g_registry, c);
    registry_release(g_registry, b);
    EXPECT_EQ(g_registry->dynamic_head, nullptr);
    EXPECT_EQ(g_registry->dynamic_tail, nullptr);
}

TEST_F(RegistryTest, EnumerationGivesNumbersAscendingThenDynamicInCreationOrder) {
    ObjectNumber a = 0, b = 0;
    create_object(9, 1);
    create_object(ANY_NUMBER, 2, &a);
    create_object(2, 3);
    create_object(ANY_NUMBER, 4, &b);
    create_object(40, 5);
    create_object(4, 6);
    registry_release(g_registry, 4);  // allocated but free: not enumerated

    std::vector<ObjectNumber> order;
    registry_rewind(g_registry);
    ObjectNumber id = 0;
    while (void* record = registry_next(g_registry, &id)) {
        order.push_back(id);
        EXPECT_EQ(registry_lookup(g_registry, id), record);
    }
    EXPECT_EQ(order, (std::vector<ObjectNumber>{2, 9, 40, a, b}));
    EXPECT_EQ(registry_next(g_registry, &id), nullptr) << "stays at the end";
}

TEST_F(RegistryTest, DestroyingDuringEnumerationVisitsEveryObjectOnce) {
    std::vector<ObjectNumber> expected;
    for (ObjectNumber n : {0, 1, 15, 16, 30}) {
        create_object(n, 1);
        expected.push_back(n);
    }
    for (int i = 0; i < 4; ++i) {
        ObjectNumber id = 0;
        create_object(ANY_NUMBER, 1, &id);
        expected.push_back(id);
    }
    std::vector<ObjectNumber> visited;
    registry_rewind(g_registry);
    ObjectNumber id = 0;
    while (registry_next(g_registry, &id)) {
        visited.push_back(id);
        destroy_object(id);
    }
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(g_registry->dynamic_head, nullptr);
    registry_rewind(g_registry);
    EXPECT_EQ(registry_next(g_registry, &id), nullptr);
}

TEST_F(RegistryTest, DestroyingTheNextDynamicObjectDuringEnumerationIsSafe) {
    ObjectNumber a = 0, b = 0, c = 0;
    create_object(ANY_NUMBER, 1, &a);
    create_object(ANY_NUMBER, 2, &b);
    create_object(ANY_NUMBER, 3, &c);
    std::vector<ObjectNumber> visited;
    registry_rewind(g_registry);
    ObjectNumber id = 0;
    while (registry_next(g_registry, &id)) {
        visited.push_back(id);
        if (id == a) destroy_object(b);  // the cursor stands on b right now
    }
    EXPECT_EQ(visited, (std::vector<ObjectNumber>{a, c}));
    destroy_object(a);
    destroy_object(c);
}

TEST_F(RegistryTest, FreeAllDestroysEveryLiveObject) {
    create_object(1, 1);
    create_object(20, 1);
    create_object(3, 1);
    registry_release(g_registry, 3);
    ObjectNumber a = 0;
    create_object(ANY_NUMBER, 1, &a);
    registry_free_all(g_registry);
    EXPECT_EQ(g_destroyed, (std::vector<ObjectNumber>{1, 20, a}));
    registry_rewind(g_registry);
    ObjectNumber id = 0;
    EXPECT_EQ(registry_next(g_registry, &id), nullptr);
}

// Random operations against a model of which numbers and identifiers are live.
TEST_F(RegistryTest, RandomOperationsAgreeWithAModel) {
    std::mt19937 random(99);
    std::map<ObjectNumber, std::uintptr_t> live;  // id -> handle
    std::vector<ObjectNumber> dynamic_ids;
    std::uintptr_t next_handle = 1;
    for (int step = 0; step < 20000; ++step) {
        const int action = static_cast<int>(random() % 10);
        if (action < 4) {
            const bool dynamic = random() % 3 == 0;
            const ObjectNumber number = dynamic ? ANY_NUMBER : static_cast<ObjectNumber>(random() % 200);
            ObjectNumber id = -5;
            const std::size_t destroyed_before = g_destroyed.size();
            TestRecord* record = create_object(number, next_handle, &id);
            ASSERT_NE(record, nullptr);
            if (!dynamic) {
                ASSERT_EQ(id, number);
                ASSERT_EQ(g_destroyed.size() - destroyed_before, live.count(number)) << "old object destroyed once";
            } else {
                ASSERT_EQ(live.count(id), 0u);
                dynamic_ids.push_back(id);
            }
            live[id] = next_handle++;
        } else if (action < 7 && !live.empty()) {
            auto it = live.begin();
            std::advance(it, random() % live.size());
            const ObjectNumber id = it->first;
            destroy_object(id);
            live.erase(it);
            // A released dynamic identifier may only be tested with is_object: its record is gone.
            if (id < REGISTRY_DYNAMIC_BASE) {
                ASSERT_EQ(registry_lookup(g_registry, id), nullptr);
            } else {
                ASSERT_EQ(registry_is_object(g_registry, id), nullptr);
            }
        } else {
            const ObjectNumber number = static_cast<ObjectNumber>(random() % 220);
            auto* record = static_cast<TestRecord*>(registry_lookup(g_registry, number));
            if (live.count(number)) {
                ASSERT_NE(record, nullptr);
                ASSERT_EQ(record->handle, live[number]);
            } else {
                ASSERT_EQ(record, nullptr);
            }
        }
        if (step % 1000 == 0) {
            std::map<ObjectNumber, std::uintptr_t> seen;
            registry_rewind(g_registry);
            ObjectNumber id = 0;
            while (auto* record = static_cast<TestRecord*>(registry_next(g_registry, &id))) seen[id] = record->handle;
            ASSERT_EQ(seen, live);
            for (auto [known, handle] : live) {
                ASSERT_NE(registry_is_object(g_registry, known), nullptr);
                ASSERT_EQ(static_cast<TestRecord*>(registry_lookup(g_registry, known))->handle, handle);
            }
            for (ObjectNumber gone : dynamic_ids) {
                if (!live.count(gone)) {
                    ASSERT_EQ(registry_is_object(g_registry, gone), nullptr);
                }
            }
        }
    }
    registry_free_all(g_registry);
    registry_rewind(g_registry);
    ObjectNumber id = 0;
    EXPECT_EQ(registry_next(g_registry, &id), nullptr);
}

}  // namespace
