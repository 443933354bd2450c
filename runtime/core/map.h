/** @file map.h
 * Hash maps keyed by UTF-16 text: fixed bucket arrays with chains, a current element, and
 * elements initialised, cleared and copied through a layout table. */
#pragma once

#include <cstdint>

#include "runtime/core/layout.h"

struct BlockPool;

// A node: the chain link, the node's own copy of its key, then the element data.
struct MapNode {
    MapNode* next;
    char16_t* key;
};

inline void* map_node_element(MapNode* node) {
    return node ? reinterpret_cast<char*>(node) + sizeof(MapNode) : nullptr;
}

struct HashMap {
    MapNode* current;  // last found, added or iterated node
    MapNode** buckets;
    MapNode* previous;  // node before current in its chain (null at the head)
    const LayoutEntry* layout;
    std::int32_t bucket_index;  // bucket of current; -1 before an iteration, bucket_count at its end
    std::intptr_t node_size;    // element size + the node's two words
    std::int32_t bucket_count;
    std::int32_t count;
    std::uint8_t ignore_case;  // keys compared with ASCII case folding; off at creation
    std::uint8_t needs_init;
    std::uint8_t resume;  // current was deleted: map_next resumes behind previous
    HashMap** variable;
    BlockPool* pool;  // private to this map
};

// The key hash: h = h * 65599 + unit over the key's units (ASCII letters lowered first
// when ignore_case), in unsigned 32-bit arithmetic. A null key hashes as empty.
std::uint32_t map_hash(const char16_t* key, bool ignore_case);

// New empty map; a bucket count below 1 becomes 1; the variable (when given) gets the header.
HashMap* map_create(std::intptr_t element_size, const LayoutEntry* layout, HashMap** variable,
                    std::int32_t bucket_count);

// Element stored under key (null key = empty key), made current; null when absent.
void* map_find(HashMap* map, const char16_t* key);
// Element under key: an existing one is cleared, zeroed and re-initialised; otherwise a new
// node is put at the head of its bucket's chain. It becomes current.
void* map_add(HashMap* map, const char16_t* key);
// Removes the key's element; no element is current afterwards. Returns 1 when it existed.
int map_delete(HashMap* map, const char16_t* key);
// Starts an iteration.
void map_reset(HashMap* map);
// Next element in bucket order, each chain from its head; null at the end.
void* map_next(HashMap* map);
void* map_current(const HashMap* map);
// Key of the current element (never null while one is current), else null.
const char16_t* map_current_key(const HashMap* map);
std::int32_t map_count(const HashMap* map);
void map_set_ignore_case(HashMap* map, bool ignore_case);
void map_clear(HashMap* map);
// Clears and releases everything; the variable becomes null.
void map_free(HashMap* map);
// Copies every element of source with its key into destination (optionally cleared first).
// Returns 0 when the element sizes differ or either map is null, else 1.
int map_copy(HashMap* source, HashMap* destination, int clear_first);
