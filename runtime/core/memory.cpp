/** @file memory.cpp
 * Heaps over malloc that own their blocks, the runtime's three heaps, block pools with the
 * shared-pool registry, memory blocks, dynamic arrays and run_once. */
#include "runtime/core/memory.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

#include "runtime/core/layout.h"
#include "runtime/core/strings.h"

// ---------------------------------------------------------------------------------------------
// Heaps

namespace {

// Every block carries its links so that destroying the heap can free what its users forgot.
// The header is 16 bytes, which keeps the caller's part at malloc's alignment.
struct alignas(16) BlockHeader {
    BlockHeader* previous;
    BlockHeader* next;
};

BlockHeader* header_of(void* block) { return static_cast<BlockHeader*>(block) - 1; }

}  // namespace

// Serialised like the system heaps it stands for: a locked pool or the shared-pool registry may
// allocate from another thread.
struct Heap {
    BlockHeader ring;  // sentinel of a circular list of blocks
    std::size_t count = 0;
    std::size_t resizes = 0;
    mutable std::mutex lock;
};

Heap* heap_create() {
    Heap* heap = new (std::nothrow) Heap;
    if (!heap) return nullptr;
    heap->ring.previous = heap->ring.next = &heap->ring;
    return heap;
}

void heap_destroy(Heap* heap) {
    if (!heap) return;
    BlockHeader* node = heap->ring.next;
    while (node != &heap->ring) {
        BlockHeader* next = node->next;
        std::free(node);
        node = next;
    }
    delete heap;
}

static void* link_block(Heap* heap, BlockHeader* header) {
    std::lock_guard guard(heap->lock);
    header->next = heap->ring.next;
    header->previous = &heap->ring;
    heap->ring.next->previous = header;
    heap->ring.next = header;
    ++heap->count;
    return header + 1;
}

static bool heap_size_ok(std::size_t size) {
    return size <= std::numeric_limits<std::size_t>::max() / 2 - sizeof(BlockHeader);
}

void* heap_alloc(Heap* heap, std::size_t size) {
    if (!heap || !heap_size_ok(size)) return nullptr;
    auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
    return header ? link_block(heap, header) : nullptr;
}

void* heap_alloc_zeroed(Heap* heap, std::size_t size) {
    if (!heap || !heap_size_ok(size)) return nullptr;
    auto* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + size));
    return header ? link_block(heap, header) : nullptr;
}

void* heap_realloc(Heap* heap, void* block, std::size_t size) {
    if (!block) return heap_alloc(heap, size);
    if (!heap || !heap_size_ok(size)) return nullptr;
    BlockHeader* old_header = header_of(block);
    std::lock_guard guard(heap->lock);
    auto* header = static_cast<BlockHeader*>(std::realloc(old_header, sizeof(BlockHeader) + size));
    if (!header) return nullptr;
    ++heap->resizes;
    // The neighbours still point at the old address when the block moved.
    header->previous->next = header;
    header->next->previous = header;
    return header + 1;
}

void heap_free(Heap* heap, void* block) {
    if (!heap || !block) return;
    BlockHeader* header = header_of(block);
    std::lock_guard guard(heap->lock);
    header->previous->next = header->next;
    header->next->previous = header->previous;
    --heap->count;
    std::free(header);
}

std::size_t heap_block_count(const Heap* heap) {
    if (!heap) return 0;
    std::lock_guard guard(heap->lock);
    return heap->count;
}

std::size_t heap_resize_count(const Heap* heap) {
    if (!heap) return 0;
    std::lock_guard guard(heap->lock);
    return heap->resizes;
}

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down

namespace {
Heap* g_runtime_heap = nullptr;
Heap* g_string_heap = nullptr;
Heap* g_memory_block_heap = nullptr;
}  // namespace

Heap* runtime_heap() { return g_runtime_heap; }
Heap* string_heap() { return g_string_heap; }
Heap* memory_block_heap() { return g_memory_block_heap; }

static void shared_pools_forget();

int runtime_core_start() {
    if (g_runtime_heap) return 1;
    g_runtime_heap = heap_create();
    g_string_heap = heap_create();
    temp_area_start();
    g_memory_block_heap = heap_create();
    return 1;
}

void runtime_core_end() {
    if (!g_runtime_heap) return;
    shared_pools_forget();
    temp_area_end();
    heap_destroy(g_memory_block_heap);
    heap_destroy(g_string_heap);
    heap_destroy(g_runtime_heap);
    g_memory_block_heap = g_string_heap = g_runtime_heap = nullptr;
}

int runtime_core_started() { return g_runtime_heap ? 1 : 0; }

// ---------------------------------------------------------------------------------------------
// Memory blocks

void* memory_allocate(std::intptr_t size) {
    if (size <= 0) return nullptr;
    return heap_alloc_zeroed(g_memory_block_heap, static_cast<std::size_t>(size));
}

void memory_free(void* block) { heap_free(g_memory_block_heap, block); }

void memory_fill(void* block, std::intptr_t length, int value) {
    if (!block || length <= 0) return;
    std::memset(block, value, static_cast<std::size_t>(length));
}

// ---------------------------------------------------------------------------------------------
// Block pools

struct SharedPoolEntry {
    SharedPoolEntry* next;
    SharedPoolEntry* previous;
    BlockPool* pool;
    std::intptr_t slot_size;
    int flags;
    int references;
};

namespace {

// The chunk header is six words; slots start right behind it (24 bytes on a 32-bit build,
// 48 here), which keeps every slot pointer-aligned.
constexpr std::intptr_t CHUNK_HEADER = sizeof(PoolChunk);
static_assert(CHUNK_HEADER % alignof(std::max_align_t) == 0);

char* chunk_slot(PoolChunk* chunk, std::intptr_t index, std::intptr_t slot_size) {
    return reinterpret_cast<char*>(chunk) + CHUNK_HEADER + index * slot_size;
}

void chunk_push(PoolChunk** list, PoolChunk* chunk) {
    chunk->previous = nullptr;
    chunk->next = *list;
    if (*list) (*list)->previous = chunk;
    *list = chunk;
}

void chunk_unlink(PoolChunk** list, PoolChunk* chunk) {
    if (chunk->previous)
        chunk->previous->next = chunk->next;
    else
        *list = chunk->next;
    if (chunk->next) chunk->next->previous = chunk->previous;
    chunk->next = chunk->previous = nullptr;
}

bool chunk_is_full(const PoolChunk* chunk) { return chunk->free_count == 0 && chunk->fresh == chunk->capacity; }

void free_chunk_list(PoolChunk* chunk) {
    while (chunk) {
        PoolChunk* next = chunk->next;
        heap_free(g_runtime_heap, chunk);
        chunk = next;
    }
}

// The process-wide registry of shared pools and its lock, made once on first use.
RunOnceControl g_shared_once;
std::optional<std::mutex> g_shared_lock;
SharedPoolEntry* g_shared_head = nullptr;

void shared_lock_create() { g_shared_lock.emplace(); }

BlockPool* private_pool_create(std::intptr_t slot_size, std::intptr_t min_chunk, std::intptr_t max_chunk, int flags) {
    auto* pool = static_cast<BlockPool*>(heap_alloc_zeroed(g_runtime_heap, sizeof(BlockPool)));
    if (!pool) return nullptr;
    pool->slot_size = slot_size;
    pool->min_chunk = min_chunk < 1 ? 1 : min_chunk;
    pool->max_chunk = max_chunk < pool->min_chunk ? pool->min_chunk : max_chunk;
    if ((flags & 3) == POOL_LOCKED) {
        void* place = heap_alloc(g_runtime_heap, sizeof(std::mutex));
        if (!place) {
            heap_free(g_runtime_heap, pool);
            return nullptr;
        }
        pool->lock = new (place) std::mutex;
        pool->locked = 1;
    }
    return pool;
}

void private_pool_destroy(BlockPool* pool) {
    pool_free_all(pool);
    if (pool->lock) {
        pool->lock->~mutex();
        heap_free(g_runtime_heap, pool->lock);
    }
    heap_free(g_runtime_heap, pool);
}

}  // namespace

// Called at shut-down, where the runtime heap takes the entries and pools with it.
static void shared_pools_forget() {
    run_once(&g_shared_once, shared_lock_create);
    std::lock_guard guard(*g_shared_lock);
    g_shared_head = nullptr;
}

std::intptr_t pool_slot_size(std::intptr_t size) {
    if (size < 0) size = 0;
    return (size + POOL_SLOT_ALIGN - 1) / POOL_SLOT_ALIGN * POOL_SLOT_ALIGN + POOL_SLOT_HEADER;
}

BlockPool* pool_create(std::intptr_t size, std::intptr_t min_chunk, std::intptr_t max_chunk, int flags) {
    if (size < 0 || size > std::numeric_limits<std::int32_t>::max()) return nullptr;
    const std::intptr_t slot_size = pool_slot_size(size);
    if (!(flags & POOL_SHARED)) return private_pool_create(slot_size, min_chunk, max_chunk, flags);

    run_once(&g_shared_once, shared_lock_create);
    std::lock_guard guard(*g_shared_lock);
    for (SharedPoolEntry* entry = g_shared_head; entry; entry = entry->next) {
        if (entry->slot_size == slot_size && entry->flags == flags) {
            ++entry->references;
            return entry->pool;
        }
    }
    auto* entry = static_cast<SharedPoolEntry*>(heap_alloc_zeroed(g_runtime_heap, sizeof(SharedPoolEntry)));
    if (!entry) return nullptr;
    BlockPool* pool = private_pool_create(slot_size, min_chunk, max_chunk, flags & ~POOL_SHARED);
    if (!pool) {
        heap_free(g_runtime_heap, entry);
        return nullptr;
    }
    entry->pool = pool;
    entry->slot_size = slot_size;
    entry->flags = flags;
    entry->references = 1;
    entry->next = g_shared_head;
    if (g_shared_head) g_shared_head->previous = entry;
    g_shared_head = entry;
    pool->registry_node = entry;
    return pool;
}

void* pool_alloc(BlockPool* pool) {
    if (!pool) return nullptr;
    std::unique_lock<std::mutex> guard;
    if (pool->locked) guard = std::unique_lock(*pool->lock);

    char* slot;
    PoolChunk* chunk = pool->open_chunks;
    if (chunk) {
        if (chunk->free_count > 0) {
            slot = static_cast<char*>(chunk->free_head);
            chunk->free_head = *reinterpret_cast<void**>(slot);
            --chunk->free_count;
        } else {
            slot = chunk_slot(chunk, chunk->fresh, pool->slot_size);
            ++chunk->fresh;
        }
        if (chunk_is_full(chunk)) {
            chunk_unlink(&pool->open_chunks, chunk);
            chunk_push(&pool->full_chunks, chunk);
        }
    } else {
        // Chunks grow with the pool: a sixteenth of its slots, in steps of 16, within the limits.
        std::intptr_t capacity = pool->total_slots / 16 / 16 * 16;
        if (capacity < pool->min_chunk) capacity = pool->min_chunk;
        if (capacity > pool->max_chunk) capacity = pool->max_chunk;
        chunk = static_cast<PoolChunk*>(
            heap_alloc(g_runtime_heap, static_cast<std::size_t>(CHUNK_HEADER + capacity * pool->slot_size)));
        if (!chunk) {
            capacity = 1;
            chunk = static_cast<PoolChunk*>(
                heap_alloc(g_runtime_heap, static_cast<std::size_t>(CHUNK_HEADER + pool->slot_size)));
            if (!chunk) return nullptr;
        }
        chunk->free_head = nullptr;
        chunk->capacity = capacity;
        chunk->fresh = 1;
        chunk->free_count = 0;
        pool->total_slots += capacity;
        chunk_push(capacity > 1 ? &pool->open_chunks : &pool->full_chunks, chunk);
        slot = chunk_slot(chunk, 0, pool->slot_size);
    }
    *reinterpret_cast<PoolChunk**>(slot) = chunk;
    return slot + POOL_SLOT_HEADER;
}

void pool_free(BlockPool* pool, void* block) {
    if (!pool || !block) return;
    std::unique_lock<std::mutex> guard;
    if (pool->locked) guard = std::unique_lock(*pool->lock);

    char* slot = static_cast<char*>(block) - POOL_SLOT_HEADER;
    PoolChunk* chunk = *reinterpret_cast<PoolChunk**>(slot);
    const bool was_full = chunk_is_full(chunk);
    *reinterpret_cast<void**>(slot) = chunk->free_head;
    chunk->free_head = slot;
    ++chunk->free_count;
    if (chunk->free_count == chunk->fresh) {
        chunk_unlink(was_full ? &pool->full_chunks : &pool->open_chunks, chunk);
        pool->total_slots -= chunk->capacity;
        heap_free(g_runtime_heap, chunk);
    } else if (was_full) {
        chunk_unlink(&pool->full_chunks, chunk);
        chunk_push(&pool->open_chunks, chunk);
    }
}

void pool_free_all(BlockPool* pool) {
    if (!pool) return;
    std::unique_lock<std::mutex> guard;
    if (pool->locked) guard = std::unique_lock(*pool->lock);
    free_chunk_list(pool->full_chunks);
    free_chunk_list(pool->open_chunks);
    pool->full_chunks = pool->open_chunks = nullptr;
    pool->total_slots = 0;
}

void pool_destroy(BlockPool* pool) {
    if (!pool) return;
    if (SharedPoolEntry* entry = pool->registry_node) {
        run_once(&g_shared_once, shared_lock_create);
        std::lock_guard guard(*g_shared_lock);
        if (--entry->references > 0) return;
        if (entry->previous)
            entry->previous->next = entry->next;
        else
            g_shared_head = entry->next;
        if (entry->next) entry->next->previous = entry->previous;
        heap_free(g_runtime_heap, entry);
        pool->registry_node = nullptr;
    }
    private_pool_destroy(pool);
}

std::intptr_t pool_total_slots(const BlockPool* pool) { return pool ? pool->total_slots : 0; }

std::intptr_t pool_block_chunk_capacity(const void* block) {
    if (!block) return 0;
    const char* slot = static_cast<const char*>(block) - POOL_SLOT_HEADER;
    return (*reinterpret_cast<PoolChunk* const*>(slot))->capacity;
}

std::intptr_t pool_chunk_count(const BlockPool* pool) {
    if (!pool) return 0;
    std::intptr_t count = 0;
    for (PoolChunk* chunk = pool->full_chunks; chunk; chunk = chunk->next) ++count;
    for (PoolChunk* chunk = pool->open_chunks; chunk; chunk = chunk->next) ++count;
    return count;
}

int pool_shared_references(const BlockPool* pool) {
    if (!pool || !pool->registry_node) return 0;
    run_once(&g_shared_once, shared_lock_create);
    std::lock_guard guard(*g_shared_lock);
    return pool->registry_node->references;
}

// ---------------------------------------------------------------------------------------------
// Dynamic arrays

static_assert(sizeof(ArrayHeader) % alignof(std::max_align_t) == 0);

ArrayHeader* array_header(void* data) {
    return data ? reinterpret_cast<ArrayHeader*>(static_cast<char*>(data) - sizeof(ArrayHeader)) : nullptr;
}

std::intptr_t array_count(const void* data) { return data ? array_header(const_cast<void*>(data))->count : 0; }

void* array_create(std::intptr_t element_size, std::intptr_t count, int type, const LayoutEntry* layout,
                   void** variable) {
    if (variable && *variable) array_free(*variable);
    if (variable) *variable = nullptr;
    if (element_size < 0 || count < 0) return nullptr;
    if (element_size > 0 && count > (std::numeric_limits<std::intptr_t>::max() / 2) / element_size) return nullptr;

    const std::size_t bytes = sizeof(ArrayHeader) + static_cast<std::size_t>(element_size * count);
    auto* header = static_cast<ArrayHeader*>(heap_alloc_zeroed(g_runtime_heap, bytes));
    if (!header) return nullptr;
    header->dimensions = 1;
    header->element_size = element_size;
    header->layout = layout;
    header->variable = variable;
    header->count = count;
    header->type = type;
    char* data = reinterpret_cast<char*>(header + 1);
    if (layout && layout_needs_init(layout)) {
        for (std::intptr_t i = 0; i < count; ++i) layout_initialise(data + i * element_size, layout);
    }
    if (variable) *variable = data;
    return data;
}

void array_free(void* data) {
    if (!data) return;
    ArrayHeader* header = array_header(data);
    if (header->layout) {
        char* element = static_cast<char*>(data);
        for (std::intptr_t i = 0; i < header->count; ++i)
            layout_clear(element + i * header->element_size, header->layout);
    }
    // A variable that has since been given another array keeps it.
    if (header->variable && *header->variable == data) *header->variable = nullptr;
    heap_free(g_runtime_heap, header);
}

int array_copy(void* source, void* destination, int reshape) {
    if (!source || !destination) return 0;
    if (source == destination) return 1;  // re-creating it first would free the source
    ArrayHeader* from = array_header(source);
    ArrayHeader* to = array_header(destination);
    if (reshape) {
        void** variable = to->variable;
        if (!variable) return 0;  // the new array would belong to nobody
        if (*variable != destination) array_free(destination);
        destination =
            array_create(from->element_size, from->count, static_cast<int>(from->type), from->layout, variable);
        if (!destination) return 0;
        to = array_header(destination);
    }
    // Elements of another size or layout cannot be copied one for one without overrunning or
    // mistreating the destination.
    if (from->count != to->count || from->element_size != to->element_size || from->layout != to->layout) return 0;
    char* target = static_cast<char*>(destination);
    const char* origin = static_cast<const char*>(source);
    if (from->layout) {
        for (std::intptr_t i = 0; i < from->count; ++i)
            layout_copy(target + i * from->element_size, from->element_size, from->layout,
                        origin + i * from->element_size);
    } else {
        std::memmove(target, origin, static_cast<std::size_t>(from->count * from->element_size));
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------

void run_once(RunOnceControl* control, void (*routine)()) {
    if (control && routine) std::call_once(*control, routine);
}
