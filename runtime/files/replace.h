/** @file replace.h
 * Replacing a file whole: the new contents go to a private file beside the target, reach the
 * disk, and take the target's place in one step, or the target stays as it was. */
#pragma once

#include <string>

#include "runtime/core/types.h"

// Writes the new contents into `file` (a file of this layer, open for writing); false when it
// knows them to be incomplete. Short writes need no check: file_replace sees them itself.
using FileContentsWriter = bool (*)(ObjectNumber file, const void* context);

// Replaces the file at `path` with what `write` puts in. A symbolic link at the path is
// followed (link after link, relative ones from the link's folder), and the file it ends at is
// the target, even a missing one: the link stays a link. The new file is made in the target's
// folder, open only to this user (0600), and given its final permission bits (the target's,
// with its group where this user may give it; for a new file those of any new file) before
// anything is written. Then it is synced, renamed over the target and the folder synced.
// Returns 1 when all of that succeeded. Otherwise 0, with the target untouched and nothing
// left behind; in particular when the target is not a regular file, when this user may not
// write it (renaming around its protection is no way in), or when the folder takes no new file.
// Leftovers of a crash never block a save: the new file has no name until it is complete (or,
// where the file system cannot do that, a name nobody can predict).
int file_replace(const char16_t* path, FileContentsWriter write, const void* context);

// What file_replace_system does besides the defaults of file_replace.
struct ReplaceOptions {
    bool follow_links = true;  // false: a link (or anything but a regular file) at the path fails
    int mode = -1;             // the new file's permission bits; -1: the target's, or a new file's
};
// Writes the new contents to the descriptor; false when it knows them to be incomplete.
using DescriptorWriter = bool (*)(int fd, const void* context);

// The one safe replacement of a file, on a system path (UTF-8), that file_replace is made of.
// It touches neither the runtime's heaps nor its file registry, so any thread may call it (the
// recovery copy is written from a thread of its own). Returns true as file_replace returns 1.
bool file_replace_system(const std::string& path, DescriptorWriter write, const void* context,
                         const ReplaceOptions& options = {});
