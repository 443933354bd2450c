/** @file map.cpp
 * Hash maps keyed by UTF-16 text: 65599 hash, fixed buckets, chains with the newest key first. */
#include "runtime/core/map.h"

#include <cstring>
#include <vector>

#include "runtime/core/memory.h"

namespace {

constexpr std::intptr_t MAP_MIN_CHUNK = 16;
constexpr std::intptr_t MAP_MAX_CHUNK = 65536;
constexpr char16_t EMPTY_KEY[1] = {0};

// Only the ASCII letters fold, as the platform's C library does in its default locale.
inline char16_t fold(char16_t unit) { return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit; }

bool keys_equal(const char16_t* a, const char16_t* b, bool ignore_case) {
    if (ignore_case) {
        for (;; ++a, ++b) {
            if (fold(*a) != fold(*b)) return false;
            if (!*a) return true;
        }
    }
    for (;; ++a, ++b) {
        if (*a != *b) return false;
        if (!*a) return true;
    }
}

std::size_t key_length(const char16_t* key) {
    std::size_t n = 0;
    while (key[n]) ++n;
    return n;
}

MapNode* locate(HashMap* map, const char16_t* key, std::int32_t* bucket, MapNode** previous) {
    const bool ignore_case = map->ignore_case != 0;
    *bucket = static_cast<std::int32_t>(map_hash(key, ignore_case) % static_cast<std::uint32_t>(map->bucket_count));
    MapNode* before = nullptr;
    for (MapNode* node = map->buckets[*bucket]; node; before = node, node = node->next) {
        if (keys_equal(node->key, key, ignore_case)) {
            *previous = before;
            return node;
        }
    }
    *previous = nullptr;
    return nullptr;
}

void release_node(HashMap* map, MapNode* node) {
    if (map->layout) layout_clear(map_node_element(node), map->layout);
    heap_free(runtime_heap(), node->key);
    pool_free(map->pool, node);
}

void set_current(HashMap* map, MapNode* node, MapNode* previous, std::int32_t bucket) {
    map->current = node;
    map->previous = previous;
    map->bucket_index = bucket;
    map->resume = 0;
}

}  // namespace

std::uint32_t map_hash(const char16_t* key, bool ignore_case) {
    std::uint32_t h = 0;
    if (!key) return h;
    if (ignore_case) {
        for (; *key; ++key) h = h * 65599u + fold(*key);
    } else {
        for (; *key; ++key) h = h * 65599u + *key;
    }
    return h;
}

HashMap* map_create(std::intptr_t element_size, const LayoutEntry* layout, HashMap** variable,
                    std::int32_t bucket_count) {
    if (element_size < 0) return nullptr;
    if (bucket_count < 1) bucket_count = 1;
    Heap* heap = runtime_heap();
    auto* map = static_cast<HashMap*>(heap_alloc_zeroed(heap, sizeof(HashMap)));
    if (!map) return nullptr;
    map->buckets =
        static_cast<MapNode**>(heap_alloc_zeroed(heap, sizeof(MapNode*) * static_cast<std::size_t>(bucket_count)));
    map->node_size = element_size + static_cast<std::intptr_t>(sizeof(MapNode));
    map->pool = map->buckets ? pool_create(map->node_size, MAP_MIN_CHUNK, MAP_MAX_CHUNK, 2) : nullptr;
    if (!map->pool) {
        heap_free(heap, map->buckets);
        heap_free(heap, map);
        return nullptr;
    }
    map->bucket_count = bucket_count;
    map->bucket_index = -1;
    map->layout = layout;
    map->needs_init = layout_needs_init(layout) ? 1 : 0;
    map->variable = variable;
    if (variable) *variable = map;
    return map;
}

void* map_find(HashMap* map, const char16_t* key) {
    if (!map) return nullptr;
    if (!key) key = EMPTY_KEY;
    std::int32_t bucket;
    MapNode* previous;
    MapNode* node = locate(map, key, &bucket, &previous);
    if (!node) {
        // No element is current, but an iteration that was under way goes on behind the
        // element it stood on, so a failed look-up inside a map_next loop cannot restart it.
        if (map->current) {
            map->previous = map->current;
            map->resume = 1;
            map->current = nullptr;
        }
        return nullptr;
    }
    set_current(map, node, previous, bucket);
    return map_node_element(node);
}

void* map_add(HashMap* map, const char16_t* key) {
    if (!map) return nullptr;
    if (!key) key = EMPTY_KEY;
    std::int32_t bucket;
    MapNode* previous;
    MapNode* node = locate(map, key, &bucket, &previous);
    const std::size_t element_size = static_cast<std::size_t>(map->node_size) - sizeof(MapNode);
    if (node) {
        layout_reset(map_node_element(node), static_cast<std::intptr_t>(element_size), map->layout);
        if (map->needs_init) layout_initialise(map_node_element(node), map->layout);
        set_current(map, node, previous, bucket);
        return map_node_element(node);
    }
    const std::size_t units = key_length(key) + 1;
    auto* copy = static_cast<char16_t*>(heap_alloc(runtime_heap(), units * sizeof(char16_t)));
    if (!copy) return nullptr;
    node = static_cast<MapNode*>(pool_alloc(map->pool));
    if (!node) {
        heap_free(runtime_heap(), copy);
        return nullptr;
    }
    std::memcpy(copy, key, units * sizeof(char16_t));
    std::memset(node, 0, static_cast<std::size_t>(map->node_size));
    node->key = copy;
    if (map->needs_init) layout_initialise(map_node_element(node), map->layout);
    node->next = map->buckets[bucket];
    map->buckets[bucket] = node;
    ++map->count;
    set_current(map, node, nullptr, bucket);
    return map_node_element(node);
}

int map_delete(HashMap* map, const char16_t* key) {
    if (!map) return 0;
    if (!key) key = EMPTY_KEY;
    std::int32_t bucket;
    MapNode* previous;
    MapNode* node = locate(map, key, &bucket, &previous);
    if (!node) return 0;
    // No element is current afterwards, but an iteration goes on behind the place where the
    // current (or deleted) node stood.
    if (map->current == node) {
        map->previous = previous;
        map->resume = 1;
    } else if (map->current) {
        map->previous = map->current;
        map->resume = 1;
    } else if (map->resume && map->previous == node) {
        map->previous = previous;
    }
    map->current = nullptr;
    if (previous)
        previous->next = node->next;
    else
        map->buckets[bucket] = node->next;
    release_node(map, node);
    --map->count;
    return 1;
}

void map_reset(HashMap* map) {
    if (!map) return;
    set_current(map, nullptr, nullptr, -1);
}

void* map_next(HashMap* map) {
    if (!map) return nullptr;
    MapNode* node;
    std::int32_t bucket = map->bucket_index;
    MapNode* previous;
    if (map->current) {
        previous = map->current;
        node = map->current->next;
    } else if (map->resume) {
        previous = map->previous;
        node = previous ? previous->next : map->buckets[bucket];
    } else if (bucket < 0) {
        bucket = 0;
        previous = nullptr;
        node = map->buckets[0];
    } else {
        return nullptr;  // the iteration has ended
    }
    while (!node) {
        if (++bucket >= map->bucket_count) {
            set_current(map, nullptr, nullptr, map->bucket_count);
            return nullptr;
        }
        previous = nullptr;
        node = map->buckets[bucket];
    }
    set_current(map, node, previous, bucket);
    return map_node_element(node);
}

void* map_current(const HashMap* map) { return map ? map_node_element(map->current) : nullptr; }

const char16_t* map_current_key(const HashMap* map) { return map && map->current ? map->current->key : nullptr; }

std::int32_t map_count(const HashMap* map) { return map ? map->count : 0; }

void map_set_ignore_case(HashMap* map, bool ignore_case) {
    // Keys already stored were hashed the other way, so the mode changes only while empty.
    if (map && map->count == 0) map->ignore_case = ignore_case ? 1 : 0;
}

void map_clear(HashMap* map) {
    if (!map) return;
    for (std::int32_t b = 0; b < map->bucket_count; ++b) {
        MapNode* node = map->buckets[b];
        while (node) {
            MapNode* next = node->next;
            release_node(map, node);
            node = next;
        }
        map->buckets[b] = nullptr;
    }
    map->count = 0;
    set_current(map, nullptr, nullptr, -1);
}

void map_free(HashMap* map) {
    if (!map) return;
    map_clear(map);
    pool_destroy(map->pool);
    if (map->variable) *map->variable = nullptr;
    Heap* heap = runtime_heap();
    heap_free(heap, map->buckets);
    heap_free(heap, map);
}

int map_copy(HashMap* source, HashMap* destination, int clear_first) {
    if (!source || !destination || source->node_size != destination->node_size) return 0;
    if (source == destination) return 1;  // every key would only be replaced by itself
    if (clear_first) map_clear(destination);
    const std::intptr_t element_size = source->node_size - static_cast<std::intptr_t>(sizeof(MapNode));
    // Each chain is added from its tail, so that a destination of the same bucket count
    // iterates in the source's order (additions go to the head of a chain).
    std::vector<MapNode*> chain;
    for (std::int32_t b = 0; b < source->bucket_count; ++b) {
        chain.clear();
        for (MapNode* node = source->buckets[b]; node; node = node->next) chain.push_back(node);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            void* element = map_add(destination, (*it)->key);
            if (!element) return 0;
            layout_copy(element, element_size, source->layout, map_node_element(*it));
        }
    }
    return 1;
}
