/** @file extension_file.h
 * The extension file: five texts in a sectioned UTF-8 file with CR LF line ends, the path an
 * extension is saved under, and the name taken from the path of an opened file. */
#pragma once

#include <cstdint>

#include "runtime/core/strings.h"

// The five texts of one extension, each a string variable (null = empty) owned by the record.
struct ExtensionTexts {
    StringVar extension;
    StringVar author;
    StringVar description;
    StringVar help;
    StringVar code;
};

// Frees the five variables and sets them null.
void extension_texts_free(ExtensionTexts* texts);

// "Extensions/" + name + ".qex" as a temporary string at `at`. A name that this system would not
// take in the file name <name>.qex as it is ("a/b", "../x", more than 255 bytes) gives "" instead,
// which no write accepts, so no name can lead outside the folder or be saved changed. Every other
// name is a file name here: "What?", "a:b", "a\b", "my \"q\"".
char16_t* extension_file_path(const char16_t* name, std::int32_t at);

// The part of the path after its last "/" with every ".qex" removed (exact case), as a temporary
// string at `at`. Only "/" separates folders; a backslash or a quote is part of the name.
char16_t* extension_name_from_path(const char16_t* path, std::int32_t at);

// Writes the five sections (marker, text, blank line, each ended by CR LF) through
// file_replace: a private file beside the target, synced and renamed over it. Returns 1 when all
// of that succeeded and the file at the path is non-empty; otherwise 0, with any earlier file at
// the path untouched and no temporary file left. A path whose file name the system would not
// take as it is, and a target this user may not write, fail before anything is touched. What the
// new file may lose of the old one (ReplaceLoss bits, file_replace) is only what `losses_allowed`
// names; otherwise nothing is written.
int write_extension_texts(const char16_t* path, const ExtensionTexts& texts, unsigned losses_allowed = 0);

// How a read went. Only EXTENSION_READ and EXTENSION_MISSING give texts to show (the latter five
// empty ones); the others mean the file is there but its texts cannot be had.
enum ExtensionReadOutcome {
    EXTENSION_READ,
    EXTENSION_MISSING,      // nothing at the path
    EXTENSION_UNREADABLE,   // the system refused to open or read it
    EXTENSION_NOT_REGULAR,  // a folder, pipe or device
    EXTENSION_TOO_LARGE,    // a text more than the string area (or memory) can hold
    EXTENSION_NOT_TEXT,     // UTF-32's byte-order mark, a NUL byte, or bytes that are not valid UTF-8 or UTF-16
};

// The first line of the five texts (in the order of the members) that the reader would take for
// a section marker, so that the texts would not read back as they were written: the member's
// index (0 for the extension's name, up to 4 for the code) and the marker; -1 and null when none.
struct ExtensionMarkerLine {
    int member;
    const char16_t* marker;
};
ExtensionMarkerLine extension_texts_marker_line(const ExtensionTexts& texts);

// Reads the file at the path read-only; nothing is ever created. A UTF-8 byte-order mark at the
// start is skipped; a UTF-16 one (either byte order) makes the file read as UTF-16, and a UTF-32
// one gives EXTENSION_NOT_TEXT, as does a NUL byte or anything that does not decode in the file's
// format (an odd length or an unpaired surrogate in UTF-16), since the texts would not be the
// file's bytes. Name and author join their lines without separator; description, help and
// code keep their lines (blank ones included) joined by CR LF, dropping only the blank line that
// closes each section, so that what was written reads back as it was. Every failure gives five
// empty texts and says why in `outcome` when one is passed. The caller frees the result with
// extension_texts_free.
ExtensionTexts read_extension_texts(const char16_t* path, ExtensionReadOutcome* outcome = nullptr);
