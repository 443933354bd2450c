/** @file replace.h
 * Replacing a file whole: the new contents go to a private file beside the target, reach the
 * disk, and take the target's place in one step, or the target stays as it was. */
#pragma once

#include <string>

#include "runtime/core/types.h"

// Writes the new contents into `file` (a file of this layer, open for writing); false when it
// knows them to be incomplete. Short writes need no check: file_replace sees them itself.
using FileContentsWriter = bool (*)(ObjectNumber file, const void* context);

// What a replacement may fail to carry over from the file it replaces. The new file is this
// user's own: another owner, a group this user may not give, other names of the old file (hard
// links, which keep the old text) and attributes this user may not set stay behind.
enum ReplaceLoss : unsigned {
    REPLACE_LOSES_OWNER = 1,
    REPLACE_LOSES_GROUP = 2,
    REPLACE_LOSES_LINKS = 4,
    REPLACE_LOSES_ATTRIBUTES = 8,
};

// Replaces the file at `path` with what `write` puts in. A symbolic link at the path is
// followed (link after link, relative ones from the link's folder) when this user owns it or its
// owner owns what it points to, the rule the system keeps in shared sticky folders, here for
// every folder; the file it ends at is the target, even a missing one: the link stays a link.
// The new file is made in the target's folder, open only to this user (0600), and given what
// the target had before anything is written: owner and group where this user may give them, the
// permission bits (never wider: with an access list, the group's own bits under its mask), the
// access list and every other extended attribute. Where one of those cannot be carried over and
// `losses_allowed` does not name it, nothing is written. Then the file is synced, renamed over
// the target and the folder synced. Returns 1 when all of that succeeded. Otherwise 0, with the
// target untouched and nothing left behind; in particular when the target is not a regular file,
// when this user may not write it (renaming around its protection is no way in), when a link on
// the way is another user's, or when the folder takes no new file.
// Leftovers of a crash never block a save: the new file has no name until it is complete (or,
// where the file system cannot do that, a name nobody can predict).
int file_replace(const char16_t* path, FileContentsWriter write, const void* context, unsigned losses_allowed = 0);

// What a file_replace of the path would lose (ReplaceLoss bits), found by preparing a new file
// as that would and throwing it away; 0 when nothing, or when nothing is there to lose.
unsigned file_replace_losses(const char16_t* path);

// What file_replace_system does besides the defaults of file_replace.
struct ReplaceOptions {
    bool follow_links = true;     // false: a link (or anything but a regular file) at the path fails
    int mode = -1;                // the new file's permission bits, nothing else carried over; -1: the target's
    unsigned losses_allowed = 0;  // ReplaceLoss bits that do not stop the replacement
};
// Writes the new contents to the descriptor; false when it knows them to be incomplete.
using DescriptorWriter = bool (*)(int fd, const void* context);

// The one safe replacement of a file, on a system path (UTF-8), that file_replace is made of.
// It touches neither the runtime's heaps nor its file registry, so any thread may call it (the
// recovery copy is written from a thread of its own). Returns true as file_replace returns 1.
bool file_replace_system(const std::string& path, DescriptorWriter write, const void* context,
                         const ReplaceOptions& options = {});
// What file_replace_system would lose on the path, as file_replace_losses.
unsigned file_replace_system_losses(const std::string& path);
