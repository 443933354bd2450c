// Heaps, block pools (slot sizes, chunk growth, chunk release, shared pools), memory blocks,
// dynamic arrays and run_once.
#include <gtest/gtest.h>

#include "core/heap_balance.h"

#include <atomic>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "runtime/core/layout.h"
#include "runtime/core/list.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"

namespace {

class MemoryTest : public HeapBalanceTest {};

// ---------------------------------------------------------------------------------------------
// Heaps

TEST(HeapTest, ReallocKeepsContentsAndTheRingIntact) {
    Heap* heap = heap_create();
    ASSERT_NE(heap, nullptr);
    std::vector<unsigned char*> blocks;
    for (int i = 0; i < 20; ++i) {
        auto* block = static_cast<unsigned char*>(heap_alloc(heap, 32));
        ASSERT_NE(block, nullptr);
        std::memset(block, i, 32);
        blocks.push_back(block);
    }
    EXPECT_EQ(heap_block_count(heap), 20u);
    // Growing blocks in the middle of the ring moves them; their neighbours must be relinked.
    for (int i = 5; i < 15; ++i) {
        blocks[i] = static_cast<unsigned char*>(heap_realloc(heap, blocks[i], 100000));
        ASSERT_NE(blocks[i], nullptr);
        for (int b = 0; b < 32; ++b) ASSERT_EQ(blocks[i][b], i);
    }
    EXPECT_EQ(heap_block_count(heap), 20u);
    EXPECT_EQ(heap_resize_count(heap), 10u);
    for (int i = 0; i < 20; i += 2) heap_free(heap, blocks[i]);
    EXPECT_EQ(heap_block_count(heap), 10u);
    // The rest goes with the heap; LeakSanitizer reports anything left.
    heap_destroy(heap);
}

TEST(HeapTest, ZeroedAllocationAndNullHandling) {
    Heap* heap = heap_create();
    auto* block = static_cast<unsigned char*>(heap_alloc_zeroed(heap, 4096));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(std::max_align_t), 0u);
    void* fresh = heap_realloc(heap, nullptr, 10);
    EXPECT_NE(fresh, nullptr);
    EXPECT_EQ(heap_resize_count(heap), 0u) << "a new block is no resize";
    EXPECT_EQ(heap_block_count(heap), 2u);
    heap_free(heap, nullptr);
    EXPECT_EQ(heap_alloc(heap, static_cast<std::size_t>(-1)), nullptr);
    EXPECT_EQ(heap_block_count(heap), 2u);
    heap_destroy(heap);
}

TEST(HeapTest, ConcurrentUseKeepsTheBlockRingConsistent) {
    Heap* heap = heap_create();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([heap] {
            std::vector<void*> mine;
            for (int i = 0; i < 5000; ++i) {
                mine.push_back(heap_alloc(heap, 24));
                if (i % 4 == 3) {
                    mine[i / 2] = heap_realloc(heap, mine[i / 2], 64);
                    heap_free(heap, mine.back());
                    mine.pop_back();
                }
            }
            for (void* block : mine) heap_free(heap, block);
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(heap_block_count(heap), 0u);
    heap_destroy(heap);
}

TEST(RuntimeCoreTest, EndAndRestartGiveFreshHeapsAndArea) {
    runtime_core_start();
    BlockPool* shared = pool_create(24, 16, 65536, POOL_SHARED);
    ASSERT_NE(shared, nullptr);
    ASSERT_NE(pool_alloc(shared), nullptr);
    StringVar text = nullptr;
    string_var_assign(&text, u"kept until the end");
    EXPECT_NE(memory_allocate(100), nullptr);

    runtime_core_end();
    EXPECT_EQ(runtime_core_started(), 0);
    EXPECT_EQ(runtime_heap(), nullptr);
    EXPECT_EQ(temp_area().base, nullptr);

    runtime_core_start();
    EXPECT_EQ(runtime_core_started(), 1);
    EXPECT_EQ(temp_position(), 0);
    EXPECT_EQ(temp_area().capacity, 16);
    EXPECT_EQ(heap_block_count(runtime_heap()), 0u);
    // The shared pool of the previous run went with its heap: a new one starts at one reference.
    BlockPool* again = pool_create(24, 16, 65536, POOL_SHARED);
    EXPECT_EQ(pool_shared_references(again), 1);
    EXPECT_EQ(pool_total_slots(again), 0);
    pool_destroy(again);
    EXPECT_EQ(heap_block_count(runtime_heap()), 0u);
}

// ---------------------------------------------------------------------------------------------
// Memory blocks

TEST_F(MemoryTest, MemoryBlocks) {
    EXPECT_EQ(memory_allocate(0), nullptr);
    EXPECT_EQ(memory_allocate(-5), nullptr);
    const std::size_t blocks_before = heap_block_count(memory_block_heap());
    auto* block = static_cast<unsigned char*>(memory_allocate(300));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(block[i], 0);
    memory_fill(block + 10, 100, 0x1AB);  // only the low byte counts
    EXPECT_EQ(block[9], 0);
    EXPECT_EQ(block[10], 0xAB);
    EXPECT_EQ(block[109], 0xAB);
    EXPECT_EQ(block[110], 0);
    memory_fill(block, -1, 7);
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(heap_block_count(memory_block_heap()), blocks_before + 1);
    memory_free(block);
    memory_free(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Pools

TEST_F(MemoryTest, SlotSizesRoundToTheWordAndAddTheChunkPointer) {
    if constexpr (sizeof(void*) == 8) {
        EXPECT_EQ(pool_slot_size(5), 16);
        EXPECT_EQ(pool_slot_size(8), 16);
        EXPECT_EQ(pool_slot_size(9), 24);
        EXPECT_EQ(pool_slot_size(0), 8);
    } else {
        EXPECT_EQ(pool_slot_size(5), 12);
        EXPECT_EQ(pool_slot_size(8), 12);
        EXPECT_EQ(pool_slot_size(9), 16);
    }
    BlockPool* pool = pool_create(5, 16, 65536, 0);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->slot_size, pool_slot_size(5));
    // Consecutive fresh blocks sit one slot apart and are aligned for pointers.
    char* a = static_cast<char*>(pool_alloc(pool));
    char* b = static_cast<char*>(pool_alloc(pool));
    EXPECT_EQ(b - a, pool->slot_size);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % alignof(void*), 0u);
    pool_destroy(pool);
}

TEST_F(MemoryTest, ChunksGrowWithThePoolWithinTheLimits) {
    BlockPool* pool = pool_create(8, 16, 65536, 0);
    ASSERT_NE(pool, nullptr);
    std::vector<void*> blocks;
    std::map<std::intptr_t, std::intptr_t> first_capacity_at_total;  // total before the chunk -> capacity
    std::intptr_t largest = 0;
    int at_maximum = 0;
    while (at_maximum < 2 && pool_total_slots(pool) < 4000000) {
        const std::intptr_t before = pool_total_slots(pool);
        void* block = pool_alloc(pool);
        ASSERT_NE(block, nullptr);
        blocks.push_back(block);
        if (pool_total_slots(pool) != before) {
            const std::intptr_t capacity = pool_block_chunk_capacity(block);
            EXPECT_EQ(pool_total_slots(pool), before + capacity);
            first_capacity_at_total[before] = capacity;
            largest = std::max(largest, capacity);
            if (capacity == 65536) ++at_maximum;
        }
    }
    // Sixteen-slot chunks up to 512 slots, then 32, then a sixteenth of the pool in steps of 16.
    EXPECT_EQ(first_capacity_at_total.at(0), 16);
    EXPECT_EQ(first_capacity_at_total.at(496), 16);
    EXPECT_EQ(first_capacity_at_total.at(512), 32);
    EXPECT_EQ(first_capacity_at_total.at(544), 32);
    for (auto [total, capacity] : first_capacity_at_total) {
        EXPECT_EQ(capacity % 16, 0);
        EXPECT_LE(capacity, 65536);
        if (total >= 512 && total < 1048576) {
            EXPECT_LE(capacity, total / 16) << "at total " << total;
        }
    }
    EXPECT_EQ(largest, 65536);
    EXPECT_EQ(at_maximum, 2) << "chunks stay at the maximum once the pool is large";
    EXPECT_EQ(static_cast<std::intptr_t>(blocks.size()),
              pool_total_slots(pool) - pool_block_chunk_capacity(blocks.back()) + 1);
    pool_destroy(pool);
}

TEST_F(MemoryTest, ChunkCapacityHonoursSmallLimits) {
    BlockPool* pool = pool_create(4, 2, 40, 0);
    std::set<std::intptr_t> capacities;
    for (int i = 0; i < 5000; ++i) capacities.insert(pool_block_chunk_capacity(pool_alloc(pool)));
    EXPECT_EQ(*capacities.begin(), 2);
    EXPECT_EQ(*capacities.rbegin(), 40);
    pool_destroy(pool);
}

TEST_F(MemoryTest, AFullyFreedChunkIsReleased) {
    BlockPool* pool = pool_create(16, 16, 65536, 0);
    std::vector<void*> blocks;
    for (int i = 0; i < 16; ++i) blocks.push_back(pool_alloc(pool));
    EXPECT_EQ(pool_total_slots(pool), 16);
    EXPECT_EQ(pool_chunk_count(pool), 1);
    EXPECT_EQ(pool->open_chunks, nullptr) << "a chunk with every slot handed out is full";
    const std::size_t with_chunk = heap_block_count(runtime_heap());
    for (void* block : blocks) pool_free(pool, block);
    EXPECT_EQ(pool_total_slots(pool), 0);
    EXPECT_EQ(pool_chunk_count(pool), 0);
    EXPECT_EQ(heap_block_count(runtime_heap()), with_chunk - 1);

    // A second chunk goes when its only block returns; the first stays.
    blocks.clear();
    for (int i = 0; i < 17; ++i) blocks.push_back(pool_alloc(pool));
    EXPECT_EQ(pool_chunk_count(pool), 2);
    pool_free(pool, blocks[16]);
    EXPECT_EQ(pool_chunk_count(pool), 1);
    EXPECT_EQ(pool_total_slots(pool), 16);

    // A full chunk with one block back is open again and hands that slot out next.
    pool_free(pool, blocks[3]);
    EXPECT_EQ(pool->open_chunks != nullptr, true);
    EXPECT_EQ(pool_alloc(pool), blocks[3]);
    EXPECT_EQ(pool_total_slots(pool), 16);
    EXPECT_EQ(pool_chunk_count(pool), 1);

    // A chunk that was never filled is released as soon as what it handed out is back.
    pool_free_all(pool);
    void* first = pool_alloc(pool);
    void* second = pool_alloc(pool);
    pool_free(pool, first);
    EXPECT_EQ(pool_chunk_count(pool), 1);
    pool_free(pool, second);
    EXPECT_EQ(pool_chunk_count(pool), 0);
    EXPECT_EQ(pool_total_slots(pool), 0);
    pool_destroy(pool);
}

// Random allocation and release against a model: blocks never overlap (each keeps its own
// pattern), the slot total always matches the chunks, and everything is released at the end.
TEST_F(MemoryTest, RandomUseKeepsBlocksDistinctAndChunksAccounted) {
    std::mt19937 random(1234);
    for (std::intptr_t size : {1, 12, 40}) {
        BlockPool* pool = pool_create(size, 16, 65536, 0);
        std::vector<std::pair<unsigned char*, unsigned char>> live;
        for (int step = 0; step < 40000; ++step) {
            const bool allocate = live.empty() || random() % 100 < (step < 20000 ? 60 : 35);
            if (allocate) {
                auto* block = static_cast<unsigned char*>(pool_alloc(pool));
                ASSERT_NE(block, nullptr);
                const auto pattern = static_cast<unsigned char>(random());
                std::memset(block, pattern, static_cast<std::size_t>(size));
                live.emplace_back(block, pattern);
            } else {
                const std::size_t pick = random() % live.size();
                auto [block, pattern] = live[pick];
                for (std::intptr_t i = 0; i < size; ++i) ASSERT_EQ(block[i], pattern) << "block overwritten";
                pool_free(pool, block);
                live[pick] = live.back();
                live.pop_back();
            }
        }
        std::intptr_t capacity_sum = 0;
        for (PoolChunk* chunk = pool->full_chunks; chunk; chunk = chunk->next) {
            EXPECT_EQ(chunk->free_count, 0);
            EXPECT_EQ(chunk->fresh, chunk->capacity);
            capacity_sum += chunk->capacity;
        }
        for (PoolChunk* chunk = pool->open_chunks; chunk; chunk = chunk->next) {
            EXPECT_TRUE(chunk->free_count > 0 || chunk->fresh < chunk->capacity);
            EXPECT_LT(chunk->free_count, chunk->fresh) << "a chunk with everything back should be gone";
            capacity_sum += chunk->capacity;
        }
        EXPECT_EQ(capacity_sum, pool_total_slots(pool));
        EXPECT_GE(pool_total_slots(pool), static_cast<std::intptr_t>(live.size()));
        for (auto [block, pattern] : live) {
            for (std::intptr_t i = 0; i < size; ++i) ASSERT_EQ(block[i], pattern);
            pool_free(pool, block);
        }
        EXPECT_EQ(pool_total_slots(pool), 0);
        EXPECT_EQ(pool_chunk_count(pool), 0);
        pool_destroy(pool);
    }
}

TEST_F(MemoryTest, FreeAllEmptiesThePoolForReuse) {
    BlockPool* pool = pool_create(20, 16, 65536, 2);
    for (int i = 0; i < 1000; ++i) pool_alloc(pool);
    EXPECT_GT(pool_chunk_count(pool), 1);
    pool_free_all(pool);
    EXPECT_EQ(pool_total_slots(pool), 0);
    EXPECT_EQ(pool_chunk_count(pool), 0);
    void* block = pool_alloc(pool);
    EXPECT_NE(block, nullptr);
    EXPECT_EQ(pool_block_chunk_capacity(block), 16);
    pool_destroy(pool);
}

TEST_F(MemoryTest, SharedPoolsAreCountedPerSlotSizeAndFlags) {
    BlockPool* first = pool_create(5, 16, 65536, POOL_SHARED);
    BlockPool* second = pool_create(8, 16, 65536, POOL_SHARED);  // same slot size
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(pool_shared_references(first), 2);
    BlockPool* other_size = pool_create(64, 16, 65536, POOL_SHARED);
    BlockPool* other_flags = pool_create(5, 16, 65536, POOL_SHARED | 2);
    BlockPool* private_pool = pool_create(5, 16, 65536, 0);
    EXPECT_NE(other_size, first);
    EXPECT_NE(other_flags, first);
    EXPECT_NE(private_pool, first);
    EXPECT_EQ(pool_shared_references(private_pool), 0);

    void* kept = pool_alloc(first);
    std::memset(kept, 0x5A, 8);
    pool_destroy(second);  // one list of this size goes; the other keeps the pool and its blocks
    EXPECT_EQ(pool_shared_references(first), 1);
    EXPECT_EQ(static_cast<unsigned char*>(kept)[7], 0x5A);
    void* more = pool_alloc(first);
    EXPECT_NE(more, nullptr);
    pool_free(first, more);
    pool_free(first, kept);
    pool_destroy(first);

    // With the last reference gone, the same request makes a new pool.
    BlockPool* renewed = pool_create(5, 16, 65536, POOL_SHARED);
    EXPECT_EQ(pool_shared_references(renewed), 1);
    pool_destroy(renewed);
    pool_destroy(other_size);
    pool_destroy(other_flags);
    pool_destroy(private_pool);
}

TEST_F(MemoryTest, ListsOfOneElementSizeShareAPool) {
    ListVariable a{}, b{};
    LinkedList* list_a = list_create(12, &a, nullptr, TYPE_LONG);
    LinkedList* list_b = list_create(12, &b, nullptr, TYPE_LONG);
    ASSERT_NE(list_a, nullptr);
    ASSERT_NE(list_b, nullptr);
    EXPECT_EQ(list_a->pool, list_b->pool);
    const int references = pool_shared_references(list_a->pool);
    EXPECT_GE(references, 2);
    *static_cast<std::int32_t*>(list_add(list_b)) = 77;
    list_free(list_a);
    EXPECT_EQ(pool_shared_references(list_b->pool), references - 1);
    EXPECT_EQ(*static_cast<std::int32_t*>(list_first(list_b)), 77);
    list_free(list_b);
}

TEST_F(MemoryTest, SharedPoolCreationFromManyThreadsYieldsOnePool) {
    constexpr int THREADS = 8;
    constexpr int EACH = 200;
    std::vector<BlockPool*> seen(THREADS * EACH);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t)
        threads.emplace_back([t, &seen] {
            for (int i = 0; i < EACH; ++i) seen[t * EACH + i] = pool_create(300, 16, 65536, POOL_SHARED);
        });
    for (auto& thread : threads) thread.join();
    for (BlockPool* pool : seen) ASSERT_EQ(pool, seen[0]);
    EXPECT_EQ(pool_shared_references(seen[0]), THREADS * EACH);
    threads.clear();
    for (int t = 0; t < THREADS; ++t)
        threads.emplace_back([t, &seen] {
            for (int i = 0; i < EACH; ++i) pool_destroy(seen[t * EACH + i]);
        });
    for (auto& thread : threads) thread.join();
}

TEST_F(MemoryTest, LockedPoolSurvivesConcurrentUse) {
    BlockPool* pool = pool_create(16, 16, 65536, POOL_LOCKED);
    ASSERT_EQ(pool->locked, 1);
    std::vector<std::thread> threads;
    std::atomic<int> faults{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([pool, t, &faults] {
            std::vector<unsigned char*> mine;
            for (int round = 0; round < 2000; ++round) {
                auto* block = static_cast<unsigned char*>(pool_alloc(pool));
                std::memset(block, t + 1, 16);
                mine.push_back(block);
                if (round % 3 == 2) {
                    for (unsigned char* b : mine) {
                        for (int i = 0; i < 16; ++i)
                            if (b[i] != t + 1) ++faults;
                        pool_free(pool, b);
                    }
                    mine.clear();
                }
            }
            for (unsigned char* b : mine) pool_free(pool, b);
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(pool_total_slots(pool), 0);
    pool_destroy(pool);
}

// ---------------------------------------------------------------------------------------------
// run_once

std::atomic<int> g_once_runs{0};
void count_once() {
    std::this_thread::yield();
    ++g_once_runs;
}

TEST(RunOnceTest, RunsTheRoutineOncePerControlUnderContention) {
    RunOnceControl control;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) threads.emplace_back([&control] { run_once(&control, count_once); });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(g_once_runs.load(), 1);
    RunOnceControl another;
    run_once(&another, count_once);
    run_once(&another, count_once);
    EXPECT_EQ(g_once_runs.load(), 2);
}

// ---------------------------------------------------------------------------------------------
// Arrays

struct Named {
    StringVar name;
    std::int32_t value;
    std::int32_t pad;
};
const LayoutEntry NAMED_LAYOUT[] = {0, LAYOUT_END};

TEST_F(MemoryTest, ArrayCreateZeroesAndRecordsItsShape) {
    void* variable = nullptr;
    auto* data = static_cast<std::int32_t*>(array_create(4, 10, TYPE_LONG, nullptr, &variable));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(variable, data);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(data[i], 0);
    ArrayHeader* header = array_header(data);
    EXPECT_EQ(header->dimensions, 1);
    EXPECT_EQ(header->element_size, 4);
    EXPECT_EQ(header->count, 10);
    EXPECT_EQ(header->type, TYPE_LONG);
    EXPECT_EQ(header->variable, &variable);
    EXPECT_EQ(array_count(data), 10);
    EXPECT_EQ(array_count(nullptr), 0);

    // Re-creating frees the old array: the heap holds one array, not two.
    const std::size_t with_one = heap_block_count(runtime_heap());
    data[3] = 9;
    auto* again = static_cast<std::int32_t*>(array_create(4, 20, TYPE_LONG, nullptr, &variable));
    EXPECT_EQ(heap_block_count(runtime_heap()), with_one);
    EXPECT_EQ(again[3], 0);
    EXPECT_EQ(array_count(again), 20);

    EXPECT_EQ(array_create(4, -1, TYPE_LONG, nullptr, &variable), nullptr);
    EXPECT_EQ(variable, nullptr) << "the old array was freed, so the variable must not keep it";
    EXPECT_EQ(heap_block_count(runtime_heap()), with_one - 1);

    void* empty = array_create(4, 0, TYPE_LONG, nullptr, &variable);
    EXPECT_NE(empty, nullptr);
    EXPECT_EQ(array_count(empty), 0);
    array_free(empty);
    EXPECT_EQ(variable, nullptr);
    array_free(nullptr);
}

TEST_F(MemoryTest, ArrayCopyNeedsEqualCountsUnlessReshaped) {
    void* source_var = nullptr;
    void* target_var = nullptr;
    auto* source = static_cast<std::int32_t*>(array_create(4, 5, TYPE_LONG, nullptr, &source_var));
    auto* target = static_cast<std::int32_t*>(array_create(4, 3, TYPE_LONG, nullptr, &target_var));
    for (int i = 0; i < 5; ++i) source[i] = 100 + i;
    target[0] = 7;
    EXPECT_EQ(array_copy(source, target, 0), 0);
    EXPECT_EQ(target[0], 7);

    EXPECT_EQ(array_copy(source, target, 1), 1);
    auto* reshaped = static_cast<std::int32_t*>(target_var);
    ASSERT_EQ(array_count(reshaped), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(reshaped[i], 100 + i);

    source[0] = -1;
    EXPECT_EQ(array_copy(source, reshaped, 0), 1);
    EXPECT_EQ(reshaped[0], -1);

    // Copying an array onto itself with reshape must not free it first.
    EXPECT_EQ(array_copy(source, source, 1), 1);
    EXPECT_EQ(source_var, source);
    EXPECT_EQ(source[4], 104);

    // Same count but another element size would overrun the destination.
    void* wide_var = nullptr;
    void* wide = array_create(8, 5, TYPE_QUAD, nullptr, &wide_var);
    EXPECT_EQ(array_copy(wide, reshaped, 0), 0);
    EXPECT_EQ(array_copy(nullptr, reshaped, 1), 0);
    array_free(wide);
    array_free(source_var);
    array_free(target_var);
    EXPECT_EQ(source_var, nullptr);
    EXPECT_EQ(target_var, nullptr);
}

TEST_F(MemoryTest, ArraysOfStructuresCopyAndFreeTheirStrings) {
    void* source_var = nullptr;
    void* target_var = nullptr;
    auto* source = static_cast<Named*>(array_create(sizeof(Named), 4, 0, NAMED_LAYOUT, &source_var));
    auto* target = static_cast<Named*>(array_create(sizeof(Named), 4, 0, NAMED_LAYOUT, &target_var));
    const char16_t* names[] = {u"zero", u"one", nullptr, u"three"};
    for (int i = 0; i < 4; ++i) {
        string_var_assign(&source[i].name, names[i]);
        source[i].value = i * 10;
    }
    string_var_assign(&target[1].name, u"replaced by the copy");
    ASSERT_EQ(array_copy(source, target, 0), 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(string_equal(target[i].name, names[i]), 1) << i;
        EXPECT_EQ(target[i].value, i * 10);
        if (source[i].name) {
            EXPECT_NE(target[i].name, source[i].name) << "strings are copied, not shared";
        }
    }
    string_var_assign(&source[0].name, u"changed");
    EXPECT_EQ(string_equal(target[0].name, u"zero"), 1);
    // Freeing both arrays releases every string (the fixture checks the string heap).
    array_free(source);
    array_free(target);
}

struct Holder {
    ListVariable items;
    StringVar label;
};
const LayoutEntry HOLDER_LAYOUT[] = {LAYOUT_LIST, 0, 4, 0, TYPE_LONG, 16, LAYOUT_END};

TEST_F(MemoryTest, ArrayElementsWithContainersAreInitialisedAndCleared) {
    static_assert(offsetof(Holder, label) == 16);
    void* variable = nullptr;
    auto* holders = static_cast<Holder*>(array_create(sizeof(Holder), 3, 0, HOLDER_LAYOUT, &variable));
    ASSERT_NE(holders, nullptr);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(holders[i].items.header, nullptr) << "list field created for element " << i;
        *static_cast<std::int32_t*>(list_add(holders[i].items.header)) = i;
        string_var_assign(&holders[i].label, u"label");
    }
    array_free(holders);
    EXPECT_EQ(variable, nullptr);
}

}  // namespace
