/** @file sort.h
 * Stable in-place sorting of lists by relinking their nodes (top-down merge sort). */
#pragma once

#include <cstdint>

#include "runtime/core/list.h"

// Options, a bit set.
inline constexpr int SORT_DESCENDING = 1;
inline constexpr int SORT_NO_CASE = 2;  // strings: ASCII letters compare without case

// Sorts positions first..last (0-based, both included) of a list of structures by the field
// at offset (from the element's start) of the given type code. first = -1: the whole list;
// type = -1: the list's own element type. An unknown type code leaves the order unchanged.
void list_sort_structured(LinkedList* list, int options, std::intptr_t offset, int type, std::int32_t first,
                          std::int32_t last);

// The whole-list form.
void list_sort_structured_all(LinkedList* list, int options, std::intptr_t offset, int type);

// A list of plain values, by its own element type; first = -1 sorts the whole list.
void list_sort(LinkedList* list, int options, std::int32_t first, std::int32_t last);
