/** @file registry.cpp
 * Object registry: slot array for chosen numbers, doubly linked dynamic records for ANY_NUMBER,
 * and an enumeration that tolerates destruction of what it returns. */
#include "runtime/core/registry.h"

#include <cstring>

#include "runtime/core/memory.h"

// Header of a dynamic record; the object record follows it.
struct alignas(16) RegistryNode {
    RegistryNode* next;      // toward older records
    RegistryNode* previous;  // toward newer records
};

namespace {

void* node_record(RegistryNode* node) { return node + 1; }
RegistryNode* record_node(void* record) { return static_cast<RegistryNode*>(record) - 1; }

bool record_live(const void* record) {
    std::uintptr_t first;
    std::memcpy(&first, record, sizeof first);
    return first != 0;
}

bool is_slot(const ObjectRegistry* registry, ObjectNumber id) { return id >= 0 && id < registry->slot_count; }
bool is_dynamic(ObjectNumber id) { return id >= REGISTRY_DYNAMIC_BASE; }

}  // namespace

ObjectRegistry* registry_create(std::intptr_t record_size, std::intptr_t initial_slots,
                                RegistryFreeCallback free_callback) {
    auto* registry = static_cast<ObjectRegistry*>(heap_alloc_zeroed(runtime_heap(), sizeof(ObjectRegistry)));
    if (!registry) return nullptr;
    registry->record_size = record_size < static_cast<std::intptr_t>(sizeof(void*)) ? sizeof(void*) : record_size;
    registry->grow_step = initial_slots < 1 ? 1 : initial_slots;
    registry->slot_count = registry->grow_step;
    registry->slot_records = static_cast<void**>(
        heap_alloc_zeroed(runtime_heap(), static_cast<std::size_t>(registry->slot_count) * sizeof(void*)));
    if (!registry->slot_records) {
        heap_free(runtime_heap(), registry);
        return nullptr;
    }
    registry->free_callback = free_callback;
    return registry;
}

void registry_destroy(ObjectRegistry* registry) {
    if (!registry) return;
    for (std::intptr_t i = 0; i < registry->slot_count; ++i) heap_free(runtime_heap(), registry->slot_records[i]);
    heap_free(runtime_heap(), registry->slot_records);
    for (RegistryNode* node = registry->dynamic_head; node;) {
        RegistryNode* next = node->next;
        heap_free(runtime_heap(), node);
        node = next;
    }
    heap_free(runtime_heap(), registry);
}

void* registry_obtain(ObjectRegistry* registry, ObjectNumber number, ObjectNumber* id) {
    if (!registry) return nullptr;
    if (number == ANY_NUMBER) {
        auto* node = static_cast<RegistryNode*>(
            heap_alloc_zeroed(runtime_heap(), sizeof(RegistryNode) + static_cast<std::size_t>(registry->record_size)));
        if (!node) return nullptr;
        node->next = registry->dynamic_head;
        if (registry->dynamic_head)
            registry->dynamic_head->previous = node;
        else
            registry->dynamic_tail = node;
        registry->dynamic_head = node;
        if (id) *id = registry_dynamic_id(node_record(node));
        return node_record(node);
    }
    if (number < 0 || number > REGISTRY_MAX_NUMBER) return nullptr;

    if (number >= registry->slot_count) {
        const std::intptr_t count = number + registry->grow_step;
        auto* grown = static_cast<void**>(
            heap_realloc(runtime_heap(), registry->slot_records, static_cast<std::size_t>(count) * sizeof(void*)));
        if (!grown) return nullptr;
        std::memset(grown + registry->slot_count, 0,
                    static_cast<std::size_t>(count - registry->slot_count) * sizeof(void*));
        registry->slot_records = grown;
        registry->slot_count = count;
    }
    void* record = registry->slot_records[number];
    if (record) {
        // The kind destroys the object living there; the record is reused.
        if (registry->free_callback) registry->free_callback(number);
        record = registry->slot_records[number];
        // Without a callback (or with one that left data behind) the caller still gets the
        // zeroed record it builds in.
        std::memset(record, 0, static_cast<std::size_t>(registry->record_size));
    } else {
        record = heap_alloc_zeroed(runtime_heap(), static_cast<std::size_t>(registry->record_size));
        if (!record) return nullptr;
        registry->slot_records[number] = record;
    }
    if (id) *id = number;
    return record;
}

void* registry_lookup(ObjectRegistry* registry, ObjectNumber id) {
    if (!registry) return nullptr;
    if (is_slot(registry, id)) {
        void* record = registry->slot_records[id];
        return record && record_live(record) ? record : nullptr;
    }
    if (is_dynamic(id)) {
        void* record = registry_dynamic_record(id);
        return record_live(record) ? record : nullptr;
    }
    return nullptr;
}

void* registry_is_object(ObjectRegistry* registry, ObjectNumber id) {
    if (!registry) return nullptr;
    if (is_slot(registry, id)) return registry_lookup(registry, id);
    if (!is_dynamic(id)) return nullptr;
    for (RegistryNode* node = registry->dynamic_head; node; node = node->next)
        if (registry_dynamic_id(node_record(node)) == id) return node_record(node);
    return nullptr;
}

void registry_release(ObjectRegistry* registry, ObjectNumber id) {
    if (!registry) return;
    if (is_slot(registry, id)) {
        if (void* record = registry->slot_records[id])
            std::memset(record, 0, static_cast<std::size_t>(registry->record_size));
        return;
    }
    if (!is_dynamic(id)) return;
    RegistryNode* node = record_node(registry_dynamic_record(id));
    // An enumeration standing on this record moves on to the next newer one.
    if (registry->cursor_dynamic == node) registry->cursor_dynamic = node->previous;
    if (node->previous)
        node->previous->next = node->next;
    else
        registry->dynamic_head = node->next;
    if (node->next)
        node->next->previous = node->previous;
    else
        registry->dynamic_tail = node->previous;
    heap_free(runtime_heap(), node);
}

void registry_rewind(ObjectRegistry* registry) {
    if (!registry) return;
    registry->cursor_index = 0;
    registry->cursor_dynamic = registry->dynamic_tail;
}

void* registry_next(ObjectRegistry* registry, ObjectNumber* id) {
    if (!registry) return nullptr;
    while (registry->cursor_index < registry->slot_count) {
        const std::intptr_t index = registry->cursor_index++;
        void* record = registry->slot_records[index];
        if (record && record_live(record)) {
            if (id) *id = index;
            return record;
        }
    }
    if (RegistryNode* node = registry->cursor_dynamic) {
        registry->cursor_dynamic = node->previous;
        if (id) *id = registry_dynamic_id(node_record(node));
        return node_record(node);
    }
    return nullptr;
}

void registry_free_all(ObjectRegistry* registry) {
    if (!registry || !registry->free_callback) return;
    registry_rewind(registry);
    ObjectNumber id = 0;
    while (registry_next(registry, &id)) registry->free_callback(id);
}
