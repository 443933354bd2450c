/** @file state_folder.cpp
 * The state folder over getenv, mkdir, opendir and flock. */
#include "runtime/files/state_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder a base-directory variable names when it is absolute, else the one under HOME.
std::string user_folder(const char* variable, const char* under_home, const char* program) {
    const char* named = std::getenv(variable);
    std::string base;
    if (named && named[0] == '/') {
        base = named;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) return {};
        base = std::string(home) + under_home;
    }
    return base + "/" + program;
}

}  // namespace

std::string state_folder(const char* program) { return user_folder("XDG_STATE_HOME", "/.local/state", program); }

std::string config_folder(const char* program) { return user_folder("XDG_CONFIG_HOME", "/.config", program); }

namespace {

// Each level in turn, so that missing parents are made too; new ones for their owner alone.
bool make_levels(const std::string& path) {
    if (path.empty()) return false;
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string level = path.substr(0, slash);
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

}  // namespace

bool folder_make_private(const std::string& path) {
    if (!make_levels(path)) return false;
    // The last level holds the copies: it must be this user's own folder, not a link to
    // somewhere else, and closed to everyone else (an existing one is closed now).
    int folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        if (errno == ENOTDIR) {
            struct stat info;
            if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) errno = ELOOP;
        }
        return false;
    }
    struct stat info;
    bool own = ::fstat(folder, &info) == 0;
    if (own && info.st_uid != ::geteuid()) {
        own = false;
        errno = EPERM;
    }
    own = own && ((info.st_mode & 077) == 0 || ::fchmod(folder, 0700) == 0);
    const int error = errno;
    ::close(folder);
    errno = error;
    return own;
}

bool folder_make(const std::string& path) {
    struct stat info;
    return make_levels(path) && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> folder_names_ending(const std::string& folder, const char* ending) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    const std::size_t ending_length = std::strlen(ending);
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        const std::size_t length = std::strlen(entry->d_name);
        if (length > ending_length && std::strcmp(entry->d_name + length - ending_length, ending) == 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

int lock_file_take(const std::string& path) {
    // Someone who takes a free lock may remove its file; a lock taken on a file that is no longer
    // at the path guards nothing, so then the file that is there now is tried.
    for (int attempt = 0; attempt < 8; ++attempt) {
        // Close-on-exec: a program started from this one must not keep the lock after it ends.
        int lock = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (lock < 0) return -1;
        int taken;
        do {
            taken = ::flock(lock, LOCK_EX | LOCK_NB);
        } while (taken != 0 && errno == EINTR);
        if (taken != 0) {
            ::close(lock);
            return -1;
        }
        struct stat held, named;
        if (::fstat(lock, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            return lock;
        ::close(lock);
    }
    return -1;
}

void lock_file_release(int lock) {
    if (lock >= 0) ::close(lock);
}
