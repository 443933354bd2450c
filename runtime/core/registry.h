/** @file registry.h
 * Object registry: maps an ObjectNumber to the record of one runtime object, either in a
 * growable slot array (numbers the caller chooses) or as a dynamic record (ANY_NUMBER). */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"

// Destroys the object with that number; it releases the record through registry_release.
using RegistryFreeCallback = void (*)(ObjectNumber);

struct RegistryNode;

struct ObjectRegistry {
    std::intptr_t record_size;
    std::intptr_t grow_step;  // slots added beyond a requested number; the initial count
    std::intptr_t slot_count;
    void** slot_records;         // per slot its record; null: slot never used
    RegistryNode* dynamic_head;  // newest first
    RegistryNode* dynamic_tail;  // oldest, where an enumeration starts
    RegistryFreeCallback free_callback;
    std::intptr_t cursor_index;
    RegistryNode* cursor_dynamic;
};

// Records are zeroed when created. A record's first pointer-wide word holds the object's primary
// native resource; zero there marks the record free. Records are at least that word in size.
//
// Numbers chosen by callers run from 0 to REGISTRY_MAX_NUMBER. A dynamic record's identifier is
// its address plus REGISTRY_DYNAMIC_BASE, so it lies above every possible slot number and is
// still turned back into the record with one addition.
inline constexpr ObjectNumber REGISTRY_MAX_NUMBER = 0x7FFFFFFF;
static_assert(sizeof(ObjectNumber) == 8, "dynamic identifiers need a 64-bit ObjectNumber");
inline constexpr ObjectNumber REGISTRY_DYNAMIC_BASE = ObjectNumber(1) << 33;

// All memory comes from the runtime heap; null when it is exhausted.
ObjectRegistry* registry_create(std::intptr_t record_size, std::intptr_t initial_slots,
                                RegistryFreeCallback free_callback);
// Frees the registry with every record it holds, without calling the free callback (call
// registry_free_all first to destroy the objects). Null does nothing.
void registry_destroy(ObjectRegistry* registry);

// The zeroed record to (re)build the object in: a new dynamic record for ANY_NUMBER, else the
// slot's record (an object living there is destroyed first). id (optional) receives the
// object's identifier. Null when memory runs out or the number is below -1 or above
// REGISTRY_MAX_NUMBER.
void* registry_obtain(ObjectRegistry* registry, ObjectNumber number, ObjectNumber* id = nullptr);
// The live record for the id, or null. A dynamic id must be one the registry handed out.
void* registry_lookup(ObjectRegistry* registry, ObjectNumber id);
// Validating lookup: the record when the id names a live numbered object or an existing
// dynamic record (found by walking the list), else null.
void* registry_is_object(ObjectRegistry* registry, ObjectNumber id);
// Zeroes a numbered record (keeping it) or unlinks and frees a dynamic one.
void registry_release(ObjectRegistry* registry, ObjectNumber id);
// Calls the free callback for every live object (numbered ones ascending, then dynamic ones in
// creation order). It walks with the registry's one cursor, so nothing the callback sets off may
// enumerate the same registry (registry_is_object is the safe search).
void registry_free_all(ObjectRegistry* registry);
void registry_rewind(ObjectRegistry* registry);
// Next live record and its id, or null at the end. The cursor moves past the record before it is
// returned, so the caller may destroy it (or any other object) during the enumeration.
void* registry_next(ObjectRegistry* registry, ObjectNumber* id);

// Identifier of a dynamic record / record of a dynamic identifier.
inline ObjectNumber registry_dynamic_id(const void* record) {
    return reinterpret_cast<ObjectNumber>(record) + REGISTRY_DYNAMIC_BASE;
}
inline void* registry_dynamic_record(ObjectNumber id) { return reinterpret_cast<void*>(id - REGISTRY_DYNAMIC_BASE); }
