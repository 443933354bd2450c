/** @file replace.h
 * Replacing a file whole: the new contents go to a private file beside the target, reach the
 * disk, and take the target's place in one step, or the target stays as it was. */
#pragma once

#include "runtime/core/types.h"

// Writes the new contents into `file` (a file of this layer, open for writing); false when it
// knows them to be incomplete. Short writes need no check: file_replace sees them itself.
using FileContentsWriter = bool (*)(ObjectNumber file, const void* context);

// Replaces the file at `path` with what `write` puts in. The new file is made in the target's
// folder, open only to this user (0600), and given its final permission bits (the target's,
// with its group where this user may give it; for a new file those of any new file) before
// anything is written. Then it is synced, renamed over the target and the folder synced.
// Returns 1 when all of that succeeded. Otherwise 0, with the target untouched and nothing
// left behind; in particular when the target is not a regular file, when this user may not
// write it (renaming around its protection is no way in), or when the folder takes no new file.
// Leftovers of a crash never block a save: the new file has no name until it is complete (or,
// where the file system cannot do that, a name nobody can predict).
int file_replace(const char16_t* path, FileContentsWriter write, const void* context);
