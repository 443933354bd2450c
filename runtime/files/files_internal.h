/** @file files_internal.h
 * What the file layer's own modules (and its tests) share beyond the public operations: file
 * records over descriptors opened elsewhere. */
#pragma once

#include "runtime/core/types.h"

// Takes an open descriptor into a new dynamic file record, as file_open with ANY_NUMBER would
// make; the record owns the descriptor from then on and file_close closes it. Returns the
// file's identifier, or 0 (the descriptor is closed then) when no record could be had.
ObjectNumber file_adopt_descriptor(int fd);

// The descriptor of an open file, or -1.
int file_descriptor(ObjectNumber file);

