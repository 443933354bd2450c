/** @file memory.h
 * Private heaps, block pools, raw memory blocks, dynamic arrays and one-time initialisation.
 * Later layers call runtime_core_start() before anything else and runtime_core_end() last. */
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "runtime/core/layout.h"

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down of the core

// Creates, in this order, the runtime heap, the string heap with the temporary string area and
// the memory-block heap. Calling it again while started does nothing. Returns 1.
int runtime_core_start();

// Destroys the three heaps and with them every block still allocated from them (registries,
// records, pools, string variables, the temporary area), and forgets the shared pools. Every
// pointer obtained from the core is dangling afterwards; runtime_core_start() may be called again.
void runtime_core_end();

// 1 between runtime_core_start() and runtime_core_end().
int runtime_core_started();

// ---------------------------------------------------------------------------------------------
// Heaps: a heap owns its blocks, so destroying it frees every block still in it.

struct Heap;

Heap* heap_create();
void heap_destroy(Heap* heap);
// Blocks are aligned for any scalar type; null on exhaustion or for a size the heap cannot hold.
void* heap_alloc(Heap* heap, std::size_t size);
void* heap_alloc_zeroed(Heap* heap, std::size_t size);
// Keeps the contents up to the smaller size; a null block allocates. Null on failure (the old
// block is then untouched).
void* heap_realloc(Heap* heap, void* block, std::size_t size);
// Null does nothing.
void heap_free(Heap* heap, void* block);
// Number of blocks currently allocated from the heap.
std::size_t heap_block_count(const Heap* heap);
// Number of times heap_realloc has resized a block of the heap: a buffer that grows
// geometrically is resized a few dozen times at most, one that grows line by line as often as
// it has lines.
std::size_t heap_resize_count(const Heap* heap);

// The three heaps of the runtime (null before runtime_core_start()).
Heap* runtime_heap();
Heap* string_heap();
Heap* memory_block_heap();

// ---------------------------------------------------------------------------------------------
// Memory blocks of the application

// size <= 0: null. Otherwise a zeroed block from the memory-block heap, or null.
void* memory_allocate(std::intptr_t size);
void memory_free(void* block);
void memory_fill(void* block, std::intptr_t length, int value);

// ---------------------------------------------------------------------------------------------
// Block pools: fixed-size blocks carved out of chunks that grow with the pool.

// Flags of pool_create.
inline constexpr int POOL_LOCKED = 1;  // low two bits equal to 1: the pool has its own lock
inline constexpr int POOL_SHARED = 4;  // one pool per slot size and flags, reference counted

// A slot in use starts with the address of its chunk; a free slot's first word links the free
// list. That word is pointer-sized, and the caller's block behind it must stay aligned for the
// pointers that list and map nodes hold, so slots are rounded to pointer size: on a 32-bit
// build this is the classic "multiple of 4, plus 4"; on 64-bit it is "multiple of 8, plus 8".
inline constexpr std::intptr_t POOL_SLOT_HEADER = sizeof(void*);
inline constexpr std::intptr_t POOL_SLOT_ALIGN = sizeof(void*);

struct PoolChunk;
struct SharedPoolEntry;

struct BlockPool {
    PoolChunk* full_chunks;          // chunks without a free slot
    PoolChunk* open_chunks;          // chunks with a free or fresh slot; allocation takes the head
    SharedPoolEntry* registry_node;  // entry in the shared-pool registry, null for a private pool
    std::intptr_t total_slots;       // sum of the capacities of all chunks
    std::intptr_t slot_size;         // header + block size rounded up
    std::intptr_t min_chunk;
    std::intptr_t max_chunk;
    int locked;
    std::mutex* lock;  // present when locked
};

struct PoolChunk {
    PoolChunk* next;
    PoolChunk* previous;
    void* free_head;  // free-slot list
    std::intptr_t capacity;
    std::intptr_t fresh;       // slots handed out from the untouched tail so far
    std::intptr_t free_count;  // slots on the free list
};

// Slot size for a requested block size (see POOL_SLOT_HEADER).
std::intptr_t pool_slot_size(std::intptr_t size);

// Returns the pool or null. For POOL_SHARED, an existing pool of the same slot size and flags
// gains a reference.
BlockPool* pool_create(std::intptr_t size, std::intptr_t min_chunk, std::intptr_t max_chunk, int flags);
// A block of the pool's size (contents undefined), or null when memory runs out.
void* pool_alloc(BlockPool* pool);
void pool_free(BlockPool* pool, void* block);
// Frees every chunk; the pool is empty but usable.
void pool_free_all(BlockPool* pool);
// Drops one reference of a shared pool (destroying it with the last) or destroys a private one.
void pool_destroy(BlockPool* pool);

// Inspection, for tests and diagnostics.
std::intptr_t pool_total_slots(const BlockPool* pool);
std::intptr_t pool_block_chunk_capacity(const void* block);  // capacity of the block's chunk
std::intptr_t pool_chunk_count(const BlockPool* pool);
int pool_shared_references(const BlockPool* pool);  // 0 for a private pool

// ---------------------------------------------------------------------------------------------
// Dynamic arrays: a header in front of zeroed element data; the variable holds the data address.

struct ArrayHeader {
    std::intptr_t dimensions;  // always 1
    std::intptr_t element_size;
    const LayoutEntry* layout;  // element layout or null
    void** variable;            // the array variable, which holds the data address
    std::intptr_t count;
    std::intptr_t type;  // element type code
};

// Frees the array the variable holds (if any), creates a new zeroed one, initialises its
// elements through the layout when it holds containers, and stores the data address in the
// variable. Returns the data address, or null (variable null) when allocation fails or the
// size or count is negative.
void* array_create(std::intptr_t element_size, std::intptr_t count, int type, const LayoutEntry* layout,
                   void** variable);
// Clears every element through the layout, sets the variable to null and frees the block.
void array_free(void* data);
// With reshape, the destination is first re-created in the source's shape. Copies only when the
// counts match: returns 1, else 0. Either array null: 0.
int array_copy(void* source, void* destination, int reshape);
ArrayHeader* array_header(void* data);
std::intptr_t array_count(const void* data);  // 0 for null

// ---------------------------------------------------------------------------------------------
// One-time initialisation: runs the routine exactly once per control, also when several
// threads call at the same time.
using RunOnceControl = std::once_flag;
void run_once(RunOnceControl* control, void (*routine)());
