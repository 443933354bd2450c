/** @file replace.cpp
 * The safe replacement of a file: a private temporary file (unnamed where the file system
 * allows), its final mode set on the descriptor, sync, rename, folder sync. */
#include "runtime/files/replace.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
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

// Read by the recovery copy's thread too.
std::atomic<bool> unnamed_allowed{true};

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

// The permission bits of any new file: 0666 less the process's mask. The mask is read from the
// system's status of the process, since setting it to read it would, for a moment, change
// the files that another thread creates.
mode_t new_file_mode() {
    mode_t mask = 022;
    bool found = false;
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &value) == 1;
        std::fclose(status);
        mask = static_cast<mode_t>(value);
    }
    if (!found) {
        mask = ::umask(0);
        ::umask(mask);
    }
    return 0666 & ~mask;
}

// The permission bits the finished file will have, set while it is still empty. The group goes
// first: changing it may clear set-id bits, which the mode then restores where allowed.
bool take_final_mode(int fd, const struct stat* replaced, int mode) {
    if (mode < 0 && replaced) {
        // Where this user may not give it that group, it keeps the one it was created with.
        [[maybe_unused]] bool regrouped = ::fchown(fd, static_cast<uid_t>(-1), replaced->st_gid) == 0;
        mode = static_cast<int>(replaced->st_mode & 07777);
    }
    return ::fchmod(fd, mode < 0 ? new_file_mode() : static_cast<mode_t>(mode)) == 0;
}

// The file a chain of symbolic links ends at, each relative target read from its link's folder;
// the path itself when it is no link. "" for a loop, or more links than the system follows.
std::string follow_links(std::string path) {
    constexpr int MOST_LINKS = 40;  // as many as the system follows in one path
    for (int hops = 0; hops <= MOST_LINKS; ++hops) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return {};
        target.resize(static_cast<std::size_t>(length));
        path = target[0] == '/' ? target : system_folder_of(path) + "/" + target;
    }
    return {};
}

// A file record around a duplicate of the descriptor, so that file_replace's writer writes
// through the file layer while the descriptor itself stays open for naming the file.
struct RecordWriter {
    FileContentsWriter write;
    const void* context;
};

bool write_through_record(int fd, const void* context) {
    const auto& writer = *static_cast<const RecordWriter*>(context);
    ObjectNumber file = file_adopt_descriptor(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (!file) return false;
    bool whole = writer.write(file, writer.context);
    // Pending output goes out, and short writes since the open show here.
    whole = file_sync(file) == 1 && whole;
    file_close(file);
    return whole;
}

}  // namespace

void file_replace_allow_unnamed(bool allowed) { unnamed_allowed = allowed; }

bool file_replace_system(const std::string& path, DescriptorWriter write, const void* context,
                         const ReplaceOptions& options) {
    if (path.empty() || !write) return false;
    const std::string target = options.follow_links ? follow_links(path) : path;
    if (target.empty()) return false;
    struct stat replaced;
    bool exists = (options.follow_links ? ::stat(target.c_str(), &replaced) : ::lstat(target.c_str(), &replaced)) == 0;
    if (!exists && errno != ENOENT)
        return false;  // a name too long, a file where a folder should be, a folder closed to us
    if (exists && (!S_ISREG(replaced.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0))
        return false;
    std::string folder = system_folder_of(target);
    Temporary temporary = create_private(folder);
    if (temporary.fd < 0) return false;
    bool done = take_final_mode(temporary.fd, exists ? &replaced : nullptr, options.mode) &&
                write(temporary.fd, context) && ::fsync(temporary.fd) == 0;
    if (done && temporary.name.empty()) done = give_name(temporary, folder);
    ::close(temporary.fd);
    if (done) done = rename_and_sync(temporary.name, target);
    if (!done && !temporary.name.empty()) ::unlink(temporary.name.c_str());
    return done;
}

int file_replace(const char16_t* path, FileContentsWriter write, const void* context) {
    if (!write) return 0;
    const RecordWriter writer{write, context};
    return file_replace_system(path_to_system(path), write_through_record, &writer) ? 1 : 0;
}
