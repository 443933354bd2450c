/** @file files.h
 * Numbered files with a 4096-byte buffer each: text writing and line reading in three text
 * formats, an end-of-file test, and the flush-to-disk the atomic save needs. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"

inline constexpr std::int32_t FILE_BUFFER_SIZE = 4096;

// Creates the file registry (16 slots, file_close as free callback). Calling it again while
// the registry exists does nothing. Needs runtime_core_start() first.
void files_init();
// file_close for every open file: pending output reaches the system. Called at program end.
void files_close_all();
// files_close_all, then frees the registry; files_init may follow again. Call it before
// runtime_core_end(), which frees the heap the registry lives in.
void files_end();

// Open modes. All four return, for ANY_NUMBER, the file's identifier; for a number 0 and up,
// the non-zero descriptor (the caller keeps naming the file by its number); 0 on failure.
// Paths are runtime strings, passed to the system as UTF-8 and never shortened.

// Creates the file or empties an existing one; read and write.
ObjectNumber file_create(ObjectNumber number, const char16_t* path);
// Opens for read and write, creating an empty file when missing; position at the start.
ObjectNumber file_open(ObjectNumber number, const char16_t* path);
// Opens an existing file for reading only; never creates or changes anything.
ObjectNumber file_read(ObjectNumber number, const char16_t* path);
// Creates a file that must not exist yet (exclusive creation); read and write.
ObjectNumber file_create_new(ObjectNumber number, const char16_t* path);

// Why the last of the four opens failed; 0 after one that succeeded.
inline constexpr int FILE_FAILURE_MISSING = 1;      // nothing at the path
inline constexpr int FILE_FAILURE_NOT_REGULAR = 2;  // a folder; for file_read also a pipe or device
inline constexpr int FILE_FAILURE_REFUSED = 3;      // the system refused: permissions, a name too long, ...
int file_open_failure();

// Writes the text without terminator in the format (TEXT_UTF8, TEXT_UTF16, TEXT_UTF16_BE, else
// the narrow code page); no byte-order mark. Returns the bytes written: 0 for a null or empty text or a
// file that is not open.
std::int64_t file_write_text(ObjectNumber file, const char16_t* text, int format);
// file_write_text of the text, then of "\r\n"; returns the byte count of the second write.
std::int64_t file_write_line(ObjectNumber file, const char16_t* text, int format);

// UTF-16 in big-endian byte order, a text format of files only: the runtime's strings convert
// the three formats of types.h.
inline constexpr int TEXT_UTF16_BE = 10;
// A byte-order mark of a text format this layer cannot read (UTF-32).
inline constexpr int FILE_TEXT_UNSUPPORTED = -1;

// Looks at the file's first bytes, before anything else is read, for a byte-order mark. Returns
// the format it announces with the mark consumed: TEXT_UTF16 (little-endian), TEXT_UTF16_BE, or
// TEXT_UTF8 for the UTF-8 mark and for none (nothing consumed then); FILE_TEXT_UNSUPPORTED for a
// UTF-32 mark (nothing consumed). TEXT_UTF8 for a file that is not open.
int file_take_byte_order_mark(ObjectNumber file);

// Reads one line (ended by LF, CR LF, a lone CR, a NUL unit or the end of the file; the ending
// is consumed, never returned), converts it and places it, terminated, in the temporary string
// area at byte offset `at`; the area's position then stands at its terminator. Returns 1, or 0
// when the file is not open or the line is more than the area can hold (temp_room): such a line
// is read to its end but kept nowhere. No string is produced when the result is 0. In the
// narrow code page a line counts as long as its bytes, which it never exceeds.
int file_read_line(ObjectNumber file, int format, std::int32_t at);

// 1 when a line read since the file was opened ended at a NUL unit or held bytes that do not
// decode in the format it was read in, else 0; 0 for a file that is not open. In UTF-8 that is
// every sequence the standard forbids: a stray or missing continuation byte, an overlong form, an
// encoded surrogate, a code point past U+10FFFF, a sequence cut short by the line's end. In UTF-16
// it is an odd byte at the end of the file and a surrogate without its partner. Such a line is
// still read and placed (U+FFFD for what did not decode), so the caller decides what it means.
int file_read_not_text(ObjectNumber file);

// 0 while at least one more byte can be read; non-zero at the end (also 0 for a file that is
// not open, as the runtime has always answered). A read error counts as the end; see below.
int file_at_end(ObjectNumber file);

// 1 when a read from the system failed with an error since the file was opened (the end of the
// file is no error), else 0; 0 for a file that is not open.
int file_read_failed(ObjectNumber file);

// Writes pending output and asks the system to put the file on disk (fsync). Returns 1 when
// every write since the file was opened was complete and the sync succeeded, else 0.
int file_sync(ObjectNumber file);

// Flushes, closes and frees the file. ANY_NUMBER and numbers of files not open do nothing.
void file_close(ObjectNumber file);
