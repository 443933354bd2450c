/** @file files_internal.h
 * What the file layer's own modules (and its tests) share beyond the public operations: the file
 * record, file records over descriptors opened elsewhere, and the renaming and folder helpers of
 * a save. */
#pragma once

#include <cstdint>
#include <string>

#include "runtime/core/types.h"
#include "runtime/files/files.h"

// One open file, held by the file registry. The descriptor comes first because the registry
// treats a record whose first word is zero as free; descriptor 0 is moved elsewhere at open so
// that an open file never looks free.
struct FileRecord {
    std::intptr_t handle;       // file descriptor, non-zero while open
    unsigned char* buffer;      // FILE_BUFFER_SIZE bytes from the runtime heap, or null
    std::int32_t buffer_size;   // FILE_BUFFER_SIZE, copied at open
    std::int32_t remaining;     // read state: unread buffered bytes; write state: free space
    std::int32_t fill;          // read state: bytes the last refill delivered
    std::int32_t reading;       // 1 read state, 0 write state
    std::int32_t write_failed;  // 1 once a write to the system came up short (kept until close)
    std::int32_t read_failed;   // 1 once a read from the system failed with an error (kept until close)
    std::int32_t not_text;      // 1 once a line read held a NUL unit or did not decode (kept until close)
};

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
