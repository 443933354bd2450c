/** @file heap_balance.h
 * Test fixture that starts the runtime and fails a test that leaves blocks behind in any of
 * the three heaps, so leaks show even without a leak checker. */
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

#include "runtime/core/memory.h"

class HeapBalanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime_core_start();
        runtime_blocks_ = heap_block_count(runtime_heap());
        string_blocks_ = heap_block_count(string_heap());
        memory_blocks_ = heap_block_count(memory_block_heap());
    }
    void TearDown() override {
        EXPECT_EQ(heap_block_count(runtime_heap()), runtime_blocks_) << "runtime heap blocks left behind";
        EXPECT_EQ(heap_block_count(string_heap()), string_blocks_) << "strings left behind";
        EXPECT_EQ(heap_block_count(memory_block_heap()), memory_blocks_) << "memory blocks left behind";
    }

private:
    std::size_t runtime_blocks_ = 0;
    std::size_t string_blocks_ = 0;
    std::size_t memory_blocks_ = 0;
};
