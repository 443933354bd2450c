/** @file list.h
 * Doubly linked lists of fixed-size elements with a current element, an index cache for
 * select-by-index, and elements initialised, cleared and copied through a layout table. */
#pragma once

#include <cstdint>

#include "runtime/core/layout.h"

struct BlockPool;

// A node: the two links, then the element data (zeroed when created).
struct ListNode {
    ListNode* next;
    ListNode* previous;
};

inline void* list_node_element(ListNode* node) {
    return node ? reinterpret_cast<char*>(node) + sizeof(ListNode) : nullptr;
}
inline ListNode* list_element_node(void* element) {
    return element ? reinterpret_cast<ListNode*>(static_cast<char*>(element) - sizeof(ListNode)) : nullptr;
}

// The two-word variable of a list: its header and a mirror of the current element's
// address (null when there is none), so that callers can read the current element directly.
struct ListVariable {
    struct LinkedList* header;
    void* current;
};

struct LinkedList {
    ListNode* first;
    ListNode* last;
    ListNode* current;    // null: the list stands before its first element
    void** current_slot;  // &variable->current
    std::int32_t count;
    std::int32_t current_index;  // trusted only while index_stale is 0
    const LayoutEntry* layout;
    BlockPool* pool;  // shared among all lists of this node size
    ListVariable* variable;
    std::intptr_t node_size;  // element size + the two links
    int type;                 // element type code of a list of plain values
    std::uint8_t index_stale;
    std::uint8_t needs_init;
    std::uint8_t owns_variable;
};

// New empty list; the variable (or one the header allocates itself when null) gets the
// header in word 0. Returns null when memory runs out.
LinkedList* list_create(std::intptr_t element_size, ListVariable* variable, const LayoutEntry* layout, int type);

// New element after the current one (at the front when there is none); it becomes current.
void* list_add(LinkedList* list);
// Makes the last element current; null when empty.
void* list_last(LinkedList* list);
// Makes the first element current; null when empty.
void* list_first(LinkedList* list);
// Stands the list before its first element.
void list_reset(LinkedList* list);
// The element after the current one (the first after a reset); null at the end, where
// the last element stays current.
void* list_next(LinkedList* list);
// The element before the current one; null (and before the first) at the front.
void* list_previous(LinkedList* list);
// Removes the current element; the one before it becomes current (see list.cpp for the
// first element and flags 1). Returns the new current element or null.
void* list_delete(LinkedList* list, int flags);
// Makes the element at a 0-based index current; null and no current element when out of range.
void* list_select(LinkedList* list, std::int32_t index);
// Makes a given element of this list current.
void list_change_current(LinkedList* list, void* element);
// Current element or null.
void* list_current(const LinkedList* list);
// Index of the current element (computed by walking when the cache is stale); -1 when none.
std::int32_t list_index(LinkedList* list);
std::int32_t list_count(const LinkedList* list);
// Removes every element.
void list_clear(LinkedList* list);
// Clears, releases the pool and the header, and zeroes the variable (freeing it when owned).
void list_free(LinkedList* list);
// Appends copies of every element of source to destination, optionally clearing it first.
// Returns 0 when the element sizes differ or either list is null, else 1.
int list_copy(LinkedList* source, LinkedList* destination, int clear_first);
