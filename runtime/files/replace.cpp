/** @file replace.cpp
 * The safe replacement of a file: a private temporary file (unnamed where the file system
 * allows), its final mode set on the descriptor, sync, rename, folder sync. */
#include "runtime/files/replace.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/files/files.h"
#include "runtime/files/files_internal.h"
#include "runtime/files/filesystem.h"

namespace {

bool unnamed_allowed = true;

// How many fresh names are tried; with names nobody can predict a clash is already unlikely.
constexpr int NAME_TRIES = 16;

// The name the system gives an open descriptor, through which an unnamed file can be linked.
std::string descriptor_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Sixteen hex digits from the system's random source, so that no leftover of an earlier crash
// and no file another user placed can stand where the next temporary file goes.
std::string unpredictable_digits() {
    unsigned char bytes[8];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // Without entropy yet (early boot): at least never the same name twice in a run.
        static std::atomic<unsigned long> counter{0};
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        unsigned long long mixed = static_cast<unsigned long long>(now.tv_nsec) ^
                                   (static_cast<unsigned long long>(now.tv_sec) << 20) ^
                                   (static_cast<unsigned long long>(::getpid()) << 40) ^ ++counter;
        for (unsigned char& byte : bytes) {
            byte = static_cast<unsigned char>(mixed);
            mixed >>= 8;
        }
    }
    static const char HEX[] = "0123456789abcdef";
    std::string digits;
    for (unsigned char byte : bytes) {
        digits += HEX[byte >> 4];
        digits += HEX[byte & 15];
    }
    return digits;
}

// Short, whatever the target's name: that may already be as long as the system allows.
std::string temporary_name(const std::string& folder) {
    return folder + "/.qem-save-" + unpredictable_digits() + ".tmp";
}

int open_retrying(const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

struct Temporary {
    int fd = -1;
    std::string name;  // empty while the file has no name
};

Temporary create_private(const std::string& folder) {
    Temporary temporary;
    if (unnamed_allowed) {
        temporary.fd = open_retrying(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        // It can be linked in only through /proc: without that, a named file it is.
        if (temporary.fd >= 0 && ::access(descriptor_path(temporary.fd).c_str(), F_OK) != 0) {
            ::close(temporary.fd);
            temporary.fd = -1;
        }
        if (temporary.fd >= 0) return temporary;
    }
    for (int attempt = 0; attempt < NAME_TRIES; ++attempt) {
        std::string name = temporary_name(folder);
        temporary.fd = open_retrying(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (temporary.fd >= 0) {
            temporary.name = name;
            break;
        }
        if (errno != EEXIST) break;  // not a clash: the folder takes no new file
    }
    return temporary;
}

// The complete unnamed file gets a name beside the target, ready for the rename.
bool give_name(Temporary& temporary, const std::string& folder) {
    for (int attempt = 0; attempt < NAME_TRIES; ++attempt) {
        std::string name = temporary_name(folder);
        if (::linkat(AT_FDCWD, descriptor_path(temporary.fd).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary.name = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// The permission bits the finished file will have, set while it is still empty. The group goes
// first: changing it may clear set-id bits, which the mode then restores where allowed.
bool take_final_mode(int fd, const struct stat* replaced) {
    mode_t mode;
    if (replaced) {
        // Where this user may not give it that group, it keeps the one it was created with.
        [[maybe_unused]] bool regrouped = ::fchown(fd, static_cast<uid_t>(-1), replaced->st_gid) == 0;
        mode = replaced->st_mode & 07777;
    } else {
        // What any new file gets. Reading the mask means setting it for a moment; no other
        // thread of this program creates files.
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    return ::fchmod(fd, mode) == 0;
}

}  // namespace

void file_replace_allow_unnamed(bool allowed) { unnamed_allowed = allowed; }

int file_replace(const char16_t* path, FileContentsWriter write, const void* context) {
    std::string target = path_to_system(path);
    if (target.empty() || !write) return 0;
    struct stat replaced;
    bool exists = ::stat(target.c_str(), &replaced) == 0;
    if (!exists && errno != ENOENT)
        return 0;  // a name too long, a file where a folder should be, a folder closed to us
    if (exists && (!S_ISREG(replaced.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0))
        return 0;
    std::string folder = system_folder_of(target);
    Temporary temporary = create_private(folder);
    if (temporary.fd < 0) return 0;
    if (!take_final_mode(temporary.fd, exists ? &replaced : nullptr)) {
        ::close(temporary.fd);
        if (!temporary.name.empty()) ::unlink(temporary.name.c_str());
        return 0;
    }
    ObjectNumber file = file_adopt_descriptor(temporary.fd);
    bool done = file != 0;
    if (done) {
        temporary.fd = file_descriptor(file);  // moved if it was 0
        bool whole = write(file, context);
        done = file_sync(file) == 1 && whole;
        if (done && temporary.name.empty()) done = give_name(temporary, folder);
        file_close(file);
    }
    if (done) done = rename_and_sync(temporary.name, target);
    if (!done && !temporary.name.empty()) ::unlink(temporary.name.c_str());
    return done ? 1 : 0;
}
