/** @file replace.cpp
 * The safe replacement of a file: a private temporary file (unnamed where the file system
 * allows), the old file's owner, group, mode and extended attributes set on the descriptor,
 * sync, rename, folder sync; and the links a save may follow. */
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
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

// The access list: its group entries decide what the group bits of the mode mean.
constexpr const char* ACCESS_LIST = "system.posix_acl_access";
// Tags of the access list's entries as the system stores them (little-endian, after a 4-byte
// version): the owning group's entry and the mask that bounds every group and named entry.
constexpr unsigned ACCESS_LIST_GROUP = 0x04;
constexpr unsigned ACCESS_LIST_MASK = 0x10;

// The owning group's own bits under the mask, as rwx; -1 when the list has no mask. With a mask
// the mode's group bits show the mask, which may be wider than what the group itself has.
int access_list_group_bits(const std::string& list) {
    if (list.size() < 4 || (list.size() - 4) % 8 != 0) return -1;
    auto half_word = [&list](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(list[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(list[at + 1])) << 8;
    };
    int group = -1, mask = -1;
    for (std::size_t at = 4; at < list.size(); at += 8) {
        if (half_word(at) == ACCESS_LIST_GROUP) group = static_cast<int>(half_word(at + 2) & 7);
        if (half_word(at) == ACCESS_LIST_MASK) mask = static_cast<int>(half_word(at + 2) & 7);
    }
    return group < 0 || mask < 0 ? -1 : group & mask;
}

struct Attribute {
    std::string name;
    std::string value;
    bool read = false;  // false: the value could not be had (user attributes need read access)
};

// The extended attributes of the file, names only where a value cannot be read; false when even
// the names cannot be had.
bool read_attributes(const std::string& path, std::vector<Attribute>* attributes) {
    ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
    if (size < 0) return errno == ENOTSUP;  // a file system without them: nothing to carry
    std::string names(static_cast<std::size_t>(size), '\0');
    size = ::listxattr(path.c_str(), names.data(), names.size());
    if (size < 0) return false;
    names.resize(static_cast<std::size_t>(size));
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
        Attribute attribute{names.c_str() + at, {}, false};
        ssize_t length = ::getxattr(path.c_str(), attribute.name.c_str(), nullptr, 0);
        if (length >= 0) {
            attribute.value.resize(static_cast<std::size_t>(length));
            length = ::getxattr(path.c_str(), attribute.name.c_str(), attribute.value.data(), attribute.value.size());
            attribute.read = length >= 0 && static_cast<std::size_t>(length) == attribute.value.size();
        }
        attributes->push_back(std::move(attribute));
    }
    return true;
}

// Whether the open file already has the attribute with that value (as a security label the
// system gives every new file may).
bool has_attribute(int fd, const Attribute& attribute) {
    std::string value(attribute.value.size() + 1, '\0');
    ssize_t length = ::fgetxattr(fd, attribute.name.c_str(), value.data(), value.size());
    return length >= 0 && static_cast<std::size_t>(length) == attribute.value.size() &&
           value.compare(0, attribute.value.size(), attribute.value) == 0;
}

// What the file being replaced is, once the links to it are followed.
struct Target {
    std::string path;
    bool exists = false;
    struct stat info {};
};

// Gives the empty new file what the target has, before anything is written: owner and group
// first (a change of either may clear set-id bits, which the mode then restores where allowed),
// the mode, then the attributes, the access list among them. `lost` gets what could not be
// given. With `mode` set, the file gets those bits and nothing of the target. false on a
// failure that is no loss: the file cannot even take a mode.
bool take_final_mode(int fd, const Target& target, int mode, unsigned* lost) {
    if (mode >= 0 || !target.exists) return ::fchmod(fd, mode < 0 ? new_file_mode() : static_cast<mode_t>(mode)) == 0;
    const struct stat& replaced = target.info;
    if (replaced.st_nlink > 1) *lost |= REPLACE_LOSES_LINKS;
    struct stat made;
    if (::fstat(fd, &made) != 0) return false;
    if (made.st_uid != replaced.st_uid && ::fchown(fd, replaced.st_uid, static_cast<gid_t>(-1)) != 0)
        *lost |= REPLACE_LOSES_OWNER;
    if (made.st_gid != replaced.st_gid && ::fchown(fd, static_cast<uid_t>(-1), replaced.st_gid) != 0)
        *lost |= REPLACE_LOSES_GROUP;
    std::vector<Attribute> attributes;
    if (!read_attributes(target.path, &attributes)) *lost |= REPLACE_LOSES_ATTRIBUTES;
    mode_t bits = replaced.st_mode & 07777;
    for (const Attribute& attribute : attributes) {
        const int group =
            attribute.name == ACCESS_LIST && attribute.read ? access_list_group_bits(attribute.value) : -1;
        // Until the list is set, and for good if it cannot be, the group has no more than its own.
        if (group >= 0) bits = static_cast<mode_t>((bits & ~070u) | static_cast<mode_t>(group) << 3);
    }
    if (::fchmod(fd, bits) != 0) return false;
    for (const Attribute& attribute : attributes) {
        if (attribute.read && has_attribute(fd, attribute)) continue;
        if (!attribute.read ||
            ::fsetxattr(fd, attribute.name.c_str(), attribute.value.data(), attribute.value.size(), 0) != 0)
            *lost |= REPLACE_LOSES_ATTRIBUTES;
    }
    return true;
}

// The file a chain of symbolic links ends at, each relative target read from its link's folder;
// the path itself when it is no link. "" for a loop, more links than the system follows, or a
// link that someone else planted: a link is followed only when this user owns it, or when its
// owner owns what it points to (so a link to a missing file only when it is this user's).
std::string follow_links(std::string path) {
    constexpr int MOST_LINKS = 40;  // as many as the system follows in one path
    for (int hops = 0; hops <= MOST_LINKS; ++hops) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return {};
        target.resize(static_cast<std::size_t>(length));
        std::string next = target[0] == '/' ? target : system_folder_of(path) + "/" + target;
        struct stat pointed;
        if (info.st_uid != ::geteuid() && (::lstat(next.c_str(), &pointed) != 0 || pointed.st_uid != info.st_uid)) {
            errno = EACCES;
            return {};
        }
        path = std::move(next);
    }
    errno = ELOOP;
    return {};
}

// The target of a save to the path; false when there is none to write: a link refused, a
// folder that cannot be reached, anything but a regular file, or a file this user may not write.
bool find_target(const std::string& path, bool follow, Target* target) {
    target->path = follow ? follow_links(path) : path;
    if (target->path.empty()) return false;
    target->exists =
        (follow ? ::stat(target->path.c_str(), &target->info) : ::lstat(target->path.c_str(), &target->info)) == 0;
    if (!target->exists && errno != ENOENT)
        return false;  // a name too long, a file where a folder should be, a folder closed to us
    if (target->exists && !S_ISREG(target->info.st_mode)) {
        errno = EISDIR;
        return false;
    }
    return !target->exists || ::faccessat(AT_FDCWD, target->path.c_str(), W_OK, AT_EACCESS) == 0;
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
    Target target;
    if (!find_target(path, options.follow_links, &target)) return false;
    std::string folder = system_folder_of(target.path);
    Temporary temporary = create_private(folder);
    if (temporary.fd < 0) return false;
    unsigned lost = 0;
    bool done = take_final_mode(temporary.fd, target, options.mode, &lost);
    if (done && (lost & ~options.losses_allowed) != 0) {
        done = false;
        errno = EPERM;
    }
    done = done && write(temporary.fd, context) && ::fsync(temporary.fd) == 0;
    if (done && temporary.name.empty()) done = give_name(temporary, folder);
    int failure = errno;
    ::close(temporary.fd);
    if (done) {
        done = rename_and_sync(temporary.name, target.path);
        failure = errno;
    }
    if (!done && !temporary.name.empty()) ::unlink(temporary.name.c_str());
    if (!done) errno = failure;
    return done;
}

unsigned file_replace_system_losses(const std::string& path) {
    Target target;
    if (path.empty() || !find_target(path, true, &target) || !target.exists) return 0;
    Temporary temporary = create_private(system_folder_of(target.path));
    if (temporary.fd < 0) return 0;
    unsigned lost = 0;
    take_final_mode(temporary.fd, target, -1, &lost);
    ::close(temporary.fd);
    if (!temporary.name.empty()) ::unlink(temporary.name.c_str());
    return lost;
}

int file_replace(const char16_t* path, FileContentsWriter write, const void* context, unsigned losses_allowed) {
    if (!write) return 0;
    const RecordWriter writer{write, context};
    const ReplaceOptions options{.losses_allowed = losses_allowed};
    return file_replace_system(path_to_system(path), write_through_record, &writer, options) ? 1 : 0;
}

unsigned file_replace_losses(const char16_t* path) { return file_replace_system_losses(path_to_system(path)); }
