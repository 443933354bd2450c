/** @file filesystem.cpp
 * Path operations over stat, mkdir, unlink and rename. */
#include "runtime/files/filesystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unicode/ustring.h>

#include "runtime/core/strings.h"
#include "runtime/files/files_internal.h"

namespace {

std::size_t units_of(const char16_t* text) {
    std::size_t n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

}  // namespace

std::string system_folder_of(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool rename_and_sync(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    // The rename itself is done; a folder that cannot be synced only weakens crash safety.
    int folder = ::open(system_folder_of(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

std::string path_to_system(const char16_t* path) {
    std::size_t n = units_of(path);
    if (n == 0) return {};
    // Each UTF-16 unit becomes at most 3 bytes (a surrogate pair 4 bytes for 2 units).
    std::string out(n * 3, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, reinterpret_cast<const UChar*>(path),
                       static_cast<int32_t>(n), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

bool system_path_is_utf8(const char* path) {
    if (!path) return false;
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, path, -1, &status);
    return status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status);
}

bool path_identity(const char16_t* path, FileIdentity* identity) {
    std::string system = path_to_system(path);
    struct stat info;
    if (system.empty() || ::stat(system.c_str(), &info) != 0) return false;
    *identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                 static_cast<std::int64_t>(info.st_size),
                 static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                 static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
    return true;
}

std::string path_resolved(const char16_t* path) {
    std::string system = path_to_system(path);
    if (system.empty()) return {};
    char resolved[PATH_MAX];
    if (::realpath(system.c_str(), resolved)) return resolved;
    std::size_t slash = system.find_last_of('/');
    std::string name = slash == std::string::npos ? system : system.substr(slash + 1);
    if (!::realpath(system_folder_of(system).c_str(), resolved)) return {};
    std::string folder = resolved;
    return folder == "/" ? folder + name : folder + "/" + name;
}

std::int64_t path_size(const char16_t* path) {
    std::size_t n = units_of(path);
    if (n == 0) return PATH_SIZE_MISSING;
    // A folder may be named with a trailing backslash in the Windows manner.
    while (n > 0 && path[n - 1] == u'\\') --n;
    if (n == 0) return PATH_SIZE_MISSING;
    std::u16string trimmed(path, n);
    std::string system = path_to_system(trimmed.c_str());
    if (system.empty()) return PATH_SIZE_MISSING;
    struct stat info;
    if (::stat(system.c_str(), &info) != 0) return PATH_SIZE_MISSING;
    if (S_ISDIR(info.st_mode)) return PATH_SIZE_DIRECTORY;
    return static_cast<std::int64_t>(info.st_size);
}

int directory_create(const char16_t* path) {
    if (!path) return 0;
    std::size_t n = units_of(path);
    while (n > 0 && (path[n - 1] == u' ' || path[n - 1] == u'\\' || path[n - 1] == u'/')) --n;
    if (n == 0) return 0;
    std::u16string trimmed(path, n);
    std::string system = path_to_system(trimmed.c_str());
    return !system.empty() && ::mkdir(system.c_str(), 0777) == 0 ? 1 : 0;
}

int file_delete(const char16_t* path) {
    if (!path) return 0;
    std::string system = path_to_system(path);
    return !system.empty() && ::unlink(system.c_str()) == 0 ? 1 : 0;
}

int path_rename(const char16_t* from, const char16_t* to) {
    std::string source = path_to_system(from);
    std::string target = path_to_system(to);
    if (source.empty() || target.empty()) return 0;
    return rename_and_sync(source, target) ? 1 : 0;
}

char16_t* path_file_part(const char16_t* path, std::int32_t at) {
    std::size_t n = units_of(path);
    std::size_t start = (n > 0 && path[0] == u'"') ? 1 : 0;
    for (std::size_t i = 0; i < n; ++i)
        if (path[i] == u'/' || path[i] == u'\\') start = i + 1;
    std::size_t end = start;
    while (end < n && path[end] != u'"') ++end;
    // Copied out first: the path may lie in the area, which can move when it grows.
    std::u16string part(path + start, end - start);
    char16_t* result = temp_reserve(static_cast<std::int32_t>(part.size()), at);
    std::copy(part.begin(), part.end(), result);
    result[part.size()] = 0;
    return result;
}

int file_name_is_valid(const char16_t* name) {
    if (!name || !name[0]) return 0;
    for (const char16_t* p = name; *p; ++p) {
        char16_t c = *p;
        if (c < 0x20) return 0;
        switch (c) {
        case u'"':
        case u'*':
        case u'/':
        case u':':
        case u'<':
        case u'>':
        case u'?':
        case u'\\':
        case u'|':
            return 0;
        default:
            break;
        }
    }
    return 1;
}

int file_name_fits_system(const char16_t* name) {
    if (!name || !name[0]) return 0;
    std::size_t bytes = 0;
    for (const char16_t* p = name; *p; ++p) {
        char16_t c = *p;
        if (c == u'/') return 0;
        if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            bytes += 4;
            ++p;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return 0;
        } else {
            bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        }
    }
    return bytes <= NAME_MAX ? 1 : 0;
}
