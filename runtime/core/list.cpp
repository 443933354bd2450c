/** @file list.cpp
 * Doubly linked lists with a current element and an index cache for select-by-index. */
#include "runtime/core/list.h"

#include <cstring>

#include "runtime/core/memory.h"

namespace {

// Every list of one node size shares one pool, so small lists do not each hold a chunk.
constexpr std::intptr_t LIST_MIN_CHUNK = 16;
constexpr std::intptr_t LIST_MAX_CHUNK = 65536;

void set_current(LinkedList* list, ListNode* node) {
    list->current = node;
    *list->current_slot = list_node_element(node);
}

// A new zeroed element, initialised when its layout holds containers; not yet linked.
ListNode* new_node(LinkedList* list) {
    auto* node = static_cast<ListNode*>(pool_alloc(list->pool));
    if (!node) return nullptr;
    std::memset(node, 0, static_cast<std::size_t>(list->node_size));
    if (list->needs_init) layout_initialise(list_node_element(node), list->layout);
    return node;
}

void release_node(LinkedList* list, ListNode* node) {
    if (list->layout) layout_clear(list_node_element(node), list->layout);
    pool_free(list->pool, node);
}

}  // namespace

LinkedList* list_create(std::intptr_t element_size, ListVariable* variable, const LayoutEntry* layout, int type) {
    if (element_size < 0) return nullptr;
    Heap* heap = runtime_heap();
    auto* list = static_cast<LinkedList*>(heap_alloc_zeroed(heap, sizeof(LinkedList)));
    if (!list) return nullptr;
    if (!variable) {
        variable = static_cast<ListVariable*>(heap_alloc_zeroed(heap, sizeof(ListVariable)));
        if (!variable) {
            heap_free(heap, list);
            return nullptr;
        }
        list->owns_variable = 1;
    }
    list->node_size = element_size + static_cast<std::intptr_t>(sizeof(ListNode));
    list->pool = pool_create(list->node_size, LIST_MIN_CHUNK, LIST_MAX_CHUNK, POOL_SHARED);
    if (!list->pool) {
        if (list->owns_variable) heap_free(heap, variable);
        heap_free(heap, list);
        return nullptr;
    }
    list->layout = layout;
    list->type = type;
    list->index_stale = 1;
    list->needs_init = layout_needs_init(layout) ? 1 : 0;
    list->variable = variable;
    list->current_slot = &variable->current;
    variable->header = list;
    variable->current = nullptr;
    return list;
}

void* list_add(LinkedList* list) {
    if (!list) return nullptr;
    ListNode* node = new_node(list);
    if (!node) return nullptr;
    ListNode* after = list->current;
    if (after) {
        node->previous = after;
        node->next = after->next;
        if (after->next)
            after->next->previous = node;
        else
            list->last = node;
        after->next = node;
        ++list->current_index;
    } else {
        node->next = list->first;
        if (list->first)
            list->first->previous = node;
        else
            list->last = node;
        list->first = node;
        list->current_index = 0;
        list->index_stale = 0;
    }
    ++list->count;
    set_current(list, node);
    return list_node_element(node);
}

void* list_last(LinkedList* list) {
    if (!list || !list->last) return nullptr;
    set_current(list, list->last);
    list->current_index = list->count - 1;
    list->index_stale = 0;
    return list_node_element(list->last);
}

void* list_first(LinkedList* list) {
    if (!list || !list->first) return nullptr;
    set_current(list, list->first);
    list->current_index = 0;
    list->index_stale = 0;
    return list_node_element(list->first);
}

void list_reset(LinkedList* list) {
    if (!list) return;
    set_current(list, nullptr);
    list->index_stale = 1;
}

void* list_next(LinkedList* list) {
    if (!list) return nullptr;
    if (!list->current) return list_first(list);
    ListNode* next = list->current->next;
    if (!next) return nullptr;  // the last element stays current
    set_current(list, next);
    ++list->current_index;
    return list_node_element(next);
}

void* list_previous(LinkedList* list) {
    if (!list || !list->current) return nullptr;
    ListNode* previous = list->current->previous;
    if (!previous) {
        list_reset(list);
        return nullptr;
    }
    set_current(list, previous);
    --list->current_index;
    return list_node_element(previous);
}

void* list_delete(LinkedList* list, int flags) {
    if (!list || !list->current) return nullptr;
    ListNode* node = list->current;
    ListNode* previous = node->previous;
    ListNode* next = node->next;
    if (previous)
        previous->next = next;
    else
        list->first = next;
    if (next)
        next->previous = previous;
    else
        list->last = previous;
    --list->count;
    release_node(list, node);

    // The previous element becomes current so that a list_next loop goes on with the
    // element that followed the deleted one.
    if (previous) {
        set_current(list, previous);
        --list->current_index;
    } else if ((flags & 1) && next) {
        set_current(list, next);
        list->current_index = 0;
        list->index_stale = 0;
    } else {
        set_current(list, nullptr);
        list->index_stale = 1;
    }
    return list_node_element(list->current);
}

void* list_select(LinkedList* list, std::int32_t index) {
    if (!list) return nullptr;
    const std::int32_t n = list->count;
    if (index < 0 || index >= n) {
        set_current(list, nullptr);
        list->index_stale = 1;
        return nullptr;
    }
    ListNode* node;
    std::int32_t from_end = n - 1 - index;
    // Start from the closest known place: the current node when its index is trusted, or an end.
    std::int32_t from_current = -1;
    if (!list->index_stale && list->current) {
        from_current = index - list->current_index;
        if (from_current < 0) from_current = -from_current;
    }
    if (from_current >= 0 && from_current <= index && from_current <= from_end) {
        node = list->current;
        for (std::int32_t i = list->current_index; i < index; ++i) node = node->next;
        for (std::int32_t i = list->current_index; i > index; --i) node = node->previous;
    } else if (from_current < 0 ? index < n / 2 : index <= from_end) {
        node = list->first;
        for (std::int32_t i = 0; i < index; ++i) node = node->next;
    } else {
        node = list->last;
        for (std::int32_t i = 0; i < from_end; ++i) node = node->previous;
    }
    set_current(list, node);
    list->current_index = index;
    list->index_stale = 0;
    return list_node_element(node);
}

void list_change_current(LinkedList* list, void* element) {
    if (!list) return;
    set_current(list, list_element_node(element));
    list->index_stale = 1;
}

void* list_current(const LinkedList* list) { return list ? list_node_element(list->current) : nullptr; }

std::int32_t list_index(LinkedList* list) {
    if (!list || !list->current) return -1;
    if (list->index_stale) {
        std::int32_t index = 0;
        for (ListNode* node = list->first; node != list->current; node = node->next) ++index;
        list->current_index = index;
        list->index_stale = 0;
    }
    return list->current_index;
}

std::int32_t list_count(const LinkedList* list) { return list ? list->count : 0; }

void list_clear(LinkedList* list) {
    if (!list) return;
    ListNode* node = list->first;
    while (node) {
        ListNode* next = node->next;
        release_node(list, node);
        node = next;
    }
    list->first = nullptr;
    list->last = nullptr;
    list->count = 0;
    set_current(list, nullptr);
    list->index_stale = 1;
}

void list_free(LinkedList* list) {
    if (!list) return;
    list_clear(list);
    pool_destroy(list->pool);
    ListVariable* variable = list->variable;
    variable->header = nullptr;
    variable->current = nullptr;
    Heap* heap = runtime_heap();
    if (list->owns_variable) heap_free(heap, variable);
    heap_free(heap, list);
}

int list_copy(LinkedList* source, LinkedList* destination, int clear_first) {
    if (!source || !destination || source->node_size != destination->node_size) return 0;
    if (source == destination) {
        // Clearing first would destroy the source; the copy of a list is then itself.
        if (clear_first) return 1;
    } else if (clear_first) {
        list_clear(destination);
    }
    const std::intptr_t element_size = source->node_size - static_cast<std::intptr_t>(sizeof(ListNode));
    // Count-bounded so that copying a list onto its own end stops after the original elements.
    std::int32_t remaining = source->count;
    ListNode* node = source->first;
    list_last(destination);
    for (; remaining > 0 && node; --remaining, node = node->next) {
        void* element = list_add(destination);
        if (!element) return 0;
        layout_copy(element, element_size, source->layout, list_node_element(node));
    }
    return 1;
}
