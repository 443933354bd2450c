/** @file sort.cpp
 * Stable top-down merge sort of list node chains: one routine per key type and direction,
 * instantiated from one template; no memory is allocated. */
#include "runtime/core/sort.h"

#include <cstring>

namespace {

struct Chain {
    ListNode* head;
    ListNode* tail;
    ListNode* rest;  // the node that followed the n sorted nodes before sorting
};

inline char16_t fold(char16_t unit) { return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit; }

// Exact order: unsigned units, the text that ends first is smaller; null is empty.
int compare_exact(const char16_t* a, const char16_t* b) {
    if (!a) a = u"";
    if (!b) b = u"";
    while (*a && *a == *b) ++a, ++b;
    return int(*a) - int(*b);
}

// Order without case: ASCII letters folded to lower case, then unsigned units.
int compare_no_case(const char16_t* a, const char16_t* b) {
    if (!a) a = u"";
    if (!b) b = u"";
    char16_t x, y;
    do {
        x = fold(*a++);
        y = fold(*b++);
    } while (x && x == y);
    return int(x) - int(y);
}

// Reads the key of a node as T (unaligned-safe) and answers "a is greater than b".
template <typename T>
struct NumericKey {
    std::intptr_t offset;
    T read(const ListNode* node) const {
        T value;
        std::memcpy(&value, reinterpret_cast<const char*>(node) + sizeof(ListNode) + offset, sizeof(T));
        return value;
    }
    bool greater(const ListNode* a, const ListNode* b) const { return read(a) > read(b); }
};

template <int (*Compare)(const char16_t*, const char16_t*)>
struct StringKey {
    std::intptr_t offset;
    const char16_t* read(const ListNode* node) const {
        const char16_t* text;
        std::memcpy(&text, reinterpret_cast<const char*>(node) + sizeof(ListNode) + offset, sizeof(text));
        return text;
    }
    bool greater(const ListNode* a, const ListNode* b) const { return Compare(read(a), read(b)) > 0; }
};

// "Should b be taken before a?" Ascending takes the later one only when the earlier is
// greater, descending only when it is smaller: equal keys keep their order.
template <typename Key, bool Descending>
inline bool before(const Key& key, const ListNode* a, const ListNode* b) {
    return Descending ? key.greater(b, a) : key.greater(a, b);
}

// Sorts the chain of n nodes starting at head (the links beyond the n-th node are ignored
// and not touched) and returns its new ends; the tail's next and the head's previous are
// left for the caller to set. Each part reports the node behind it, which is where the second
// part starts, so the halves are found without walking the chain a second time.
template <typename Key, bool Descending>
Chain sort_chain(const Key& key, ListNode* head, std::int32_t n) {
    if (n < 2) return {head, head, head->next};
    if (n == 2) {
        ListNode* second = head->next;
        ListNode* rest = second->next;
        if (before<Key, Descending>(key, head, second)) {
            second->next = head;
            head->previous = second;
            return {second, head, rest};
        }
        return {head, second, rest};
    }
    const std::int32_t h = n / 2;
    Chain left = sort_chain<Key, Descending>(key, head, h);
    Chain right = sort_chain<Key, Descending>(key, left.rest, n - h);

    ListNode* a = left.head;
    ListNode* b = right.head;
    std::int32_t na = h;
    std::int32_t nb = n - h;
    ListNode* tail;
    Chain merged;
    merged.rest = right.rest;
    if (before<Key, Descending>(key, a, b)) {
        merged.head = b;
        b = b->next;
        --nb;
    } else {
        merged.head = a;
        a = a->next;
        --na;
    }
    tail = merged.head;
    while (na > 0 && nb > 0) {
        ListNode* take;
        if (before<Key, Descending>(key, a, b)) {
            take = b;
            b = b->next;
            --nb;
        } else {
            take = a;
            a = a->next;
            --na;
        }
        tail->next = take;
        take->previous = tail;
        tail = take;
    }
    // Exactly one part has nodes left, already linked among themselves up to that part's tail.
    if (na > 0) {
        tail->next = a;
        a->previous = tail;
        merged.tail = left.tail;
    } else {
        tail->next = b;
        b->previous = tail;
        merged.tail = right.tail;
    }
    return merged;
}

template <typename Key>
Chain sort_direction(const Key& key, bool descending, ListNode* head, std::int32_t n) {
    return descending ? sort_chain<Key, true>(key, head, n) : sort_chain<Key, false>(key, head, n);
}

template <typename T>
Chain sort_numeric(std::intptr_t offset, bool descending, ListNode* head, std::int32_t n) {
    return sort_direction(NumericKey<T>{offset}, descending, head, n);
}

// Returns false for a type code that has no routine (the chain is left as it is).
bool sort_typed(int type, int options, std::intptr_t offset, ListNode* head, std::int32_t n, Chain* out) {
    const bool descending = (options & SORT_DESCENDING) != 0;
    switch (type) {
    case TYPE_BYTE:
        *out = sort_numeric<std::int8_t>(offset, descending, head, n);
        return true;
    case TYPE_WORD:
        *out = sort_numeric<std::int16_t>(offset, descending, head, n);
        return true;
    case TYPE_LONG:
        *out = sort_numeric<std::int32_t>(offset, descending, head, n);
        return true;
    case TYPE_INTEGER:
        *out = sort_numeric<std::intptr_t>(offset, descending, head, n);
        return true;
    case TYPE_FLOAT:
        *out = sort_numeric<float>(offset, descending, head, n);
        return true;
    case TYPE_CHARACTER:
    case TYPE_UNICODE:
        *out = sort_numeric<std::uint16_t>(offset, descending, head, n);
        return true;
    case TYPE_DOUBLE:
        *out = sort_numeric<double>(offset, descending, head, n);
        return true;
    case TYPE_QUAD:
        *out = sort_numeric<std::int64_t>(offset, descending, head, n);
        return true;
    case TYPE_ASCII:
        *out = sort_numeric<std::uint8_t>(offset, descending, head, n);
        return true;
    case TYPE_STRING:
        if (options & SORT_NO_CASE)
            *out = sort_direction(StringKey<compare_no_case>{offset}, descending, head, n);
        else
            *out = sort_direction(StringKey<compare_exact>{offset}, descending, head, n);
        return true;
    default:
        return false;
    }
}

}  // namespace

void list_sort_structured(LinkedList* list, int options, std::intptr_t offset, int type, std::int32_t first,
                          std::int32_t last) {
    if (!list || list->count == 0) return;
    if (type == -1) type = list->type;
    ListNode* head;
    ListNode* tail;
    std::int32_t count;
    if (first == -1) {
        head = list->first;
        tail = list->last;
        count = list->count;
    } else {
        if (!list_select(list, first)) return;
        head = list->current;
        if (!list_select(list, last)) return;
        tail = list->current;
        count = last - first + 1;
        if (count < 1) return;  // an inverted range has nothing to sort
    }
    ListNode* before_range = head->previous;
    ListNode* after_range = tail->next;

    Chain sorted;
    if (!sort_typed(type, options, offset, head, count, &sorted)) sorted = {head, tail, after_range};

    sorted.head->previous = before_range;
    if (before_range)
        before_range->next = sorted.head;
    else
        list->first = sorted.head;
    sorted.tail->next = after_range;
    if (after_range)
        after_range->previous = sorted.tail;
    else
        list->last = sorted.tail;
    // The current element stays current, but its position may have changed.
    list->index_stale = 1;
}

void list_sort_structured_all(LinkedList* list, int options, std::intptr_t offset, int type) {
    list_sort_structured(list, options, offset, type, -1, -1);
}

void list_sort(LinkedList* list, int options, std::int32_t first, std::int32_t last) {
    list_sort_structured(list, options, 0, -1, first, last);
}
