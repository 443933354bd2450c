/** @file files_internal.h
 * What the file layer's own modules (and its tests) share beyond the public operations: file
 * records over descriptors opened elsewhere, and the renaming and folder helpers of a save. */
#pragma once

#include <string>

#include "runtime/core/types.h"

// Takes an open descriptor into a new dynamic file record, as file_open with ANY_NUMBER would
// make; the record owns the descriptor from then on and file_close closes it. Returns the
// file's identifier, or 0 (the descriptor is closed then) when no record could be had.
ObjectNumber file_adopt_descriptor(int fd);

// The descriptor of an open file, or -1.
int file_descriptor(ObjectNumber file);

// The folder part of a system path: "." when there is none, "/" for the root.
std::string system_folder_of(const std::string& path);

// rename(2), then a sync of the target's folder so that the new name survives a crash.
bool rename_and_sync(const std::string& from, const std::string& to);

// Tests turn the unnamed temporary file of file_replace off, to exercise the named one that a
// file system without O_TMPFILE gets.
void file_replace_allow_unnamed(bool allowed);
