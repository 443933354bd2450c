/** @file filesystem.h
 * Stateless path operations: size or kind of a path, directories, deletion, renaming,
 * the file part of a path and the file-name character test. */
#pragma once

#include <cstdint>
#include <string>

// Paths are runtime strings. They go to the system as UTF-8, whole: a path too long for the
// system fails like any other failing path instead of being cut short.

inline constexpr std::int64_t PATH_SIZE_MISSING = -1;
inline constexpr std::int64_t PATH_SIZE_DIRECTORY = -2;

// Size in bytes (0 and up); PATH_SIZE_MISSING when missing or not a valid path;
// PATH_SIZE_DIRECTORY for a directory.
// Trailing backslashes are removed first, as the Windows form of a folder name allows.
std::int64_t path_size(const char16_t* path);
// 1 when the directory was created (only the last level; trailing spaces, slashes and
// backslashes are removed first), 0 on failure or a null path.
int directory_create(const char16_t* path);
// 1 when the file was deleted, 0 on failure or a null path.
int file_delete(const char16_t* path);
// Renames `from` to `to`, replacing a file at `to` in one step, then syncs the folder so the new
// name survives a crash. 1 on success, 0 otherwise (both names unchanged then). To replace a
// file's contents safely, file_replace (replace.h) does the whole of it.
int path_rename(const char16_t* from, const char16_t* to);

// The part after the last "/" or "\" (a leading double quote is skipped and the part ends at the
// next one), placed as a temporary string at byte offset `at` of the area; returns its address.
// The path may itself lie in the temporary area.
char16_t* path_file_part(const char16_t* path, std::int32_t at);

// 1 when the name is non-empty and has no unit below U+0020 and none of " * / : < > ? \ |.
// These are the rules of another system, which the open requester keeps.
int file_name_is_valid(const char16_t* name);

// 1 when this system takes the name as one file name exactly as it is: not empty, no "/" (nor
// NUL, which ends it), at most NAME_MAX (255) bytes in UTF-8, and no lone surrogate, which would
// reach the system as another character. Every other character is allowed.
int file_name_fits_system(const char16_t* name);

// The path as the system takes it: UTF-8, lone surrogates as U+FFFD. Null gives "".
std::string path_to_system(const char16_t* path);

// true when the bytes of a path the system gave (an argument, say) are valid UTF-8: only then
// does the runtime string made of them name the same file again.
bool system_path_is_utf8(const char* path);

// What tells one file on disk from another, and a file from itself after a change: links are
// followed. Two files are the same when device and inode agree; unchanged when all five do. The
// change time is there because no program can set it: a rewrite of the same size whose
// modification time was put back (cp -p, touch -d) still moves it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified_ns = 0;
    std::int64_t changed_ns = 0;
    bool same_file_as(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
    bool operator==(const FileIdentity& other) const = default;
};
// false when nothing can be found at the path.
bool path_identity(const char16_t* path, FileIdentity* identity);

// The absolute path with every link and "." or ".." resolved, the last component included, so
// that two names of one place compare equal; a missing last component is kept as named.
// "" when the folder itself cannot be resolved.
std::string path_resolved(const char16_t* path);
