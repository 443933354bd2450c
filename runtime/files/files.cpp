/** @file files.cpp
 * Buffered numbered files over POSIX descriptors. */
#include "runtime/files/files.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <unicode/ustring.h>

#include "runtime/core/memory.h"
#include "runtime/core/registry.h"
#include "runtime/core/strings.h"
#include "runtime/files/files_internal.h"
#include "runtime/files/filesystem.h"

namespace {

ObjectRegistry* file_registry = nullptr;
Heap* registry_heap = nullptr;  // the runtime heap the registry lives in
int last_open_failure = 0;

enum OpenMode { MODE_READ = 1, MODE_OPEN = 2, MODE_CREATE = 3, MODE_CREATE_NEW = 4 };

FileRecord* lookup(ObjectNumber file) {
    if (!file_registry) return nullptr;
    return static_cast<FileRecord*>(registry_lookup(file_registry, file));
}

// ---- the system calls, with EINTR retried and short transfers continued

// Writes all n bytes unless the system refuses; returns the bytes that were written.
std::int64_t os_write(FileRecord* record, const unsigned char* source, std::int64_t n) {
    std::int64_t done = 0;
    while (done < n) {
        ssize_t got = ::write(static_cast<int>(record->handle), source + done, static_cast<std::size_t>(n - done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    if (done < n) record->write_failed = 1;
    return done;
}

// Reads up to n bytes, stopping early only at the end of the file or on an error.
std::int64_t os_read(FileRecord* record, unsigned char* target, std::int64_t n) {
    std::int64_t done = 0;
    while (done < n) {
        ssize_t got = ::read(static_cast<int>(record->handle), target + done, static_cast<std::size_t>(n - done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) record->read_failed = 1;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

void os_seek_back(FileRecord* record, std::int64_t n) {
    if (n > 0) ::lseek(static_cast<int>(record->handle), -static_cast<off_t>(n), SEEK_CUR);
}

// ---- buffer states

std::int64_t flush(FileRecord* record) {
    if (!record->buffer || record->reading) return 0;
    std::int64_t pending = record->buffer_size - record->remaining;
    std::int64_t written = pending > 0 ? os_write(record, record->buffer, pending) : 0;
    record->remaining = record->buffer_size;
    return written;
}

void enter_read_state(FileRecord* record) {
    if (!record->reading) {
        flush(record);
        record->reading = 1;
        record->remaining = 0;
        record->fill = 0;
    }
}

std::int64_t write_bytes(FileRecord* record, const unsigned char* source, std::int64_t n) {
    if (!record->buffer) return os_write(record, source, n);
    if (record->reading) {
        // The system's position is ahead by the read-ahead; writing goes where reading stopped.
        os_seek_back(record, record->remaining);
        record->reading = 0;
        record->remaining = record->buffer_size;
    }
    if (n < record->remaining) {
        std::memcpy(record->buffer + record->buffer_size - record->remaining, source, static_cast<std::size_t>(n));
        record->remaining -= static_cast<std::int32_t>(n);
        return n;
    }
    flush(record);
    if (n >= record->buffer_size) return os_write(record, source, n);
    std::memcpy(record->buffer, source, static_cast<std::size_t>(n));
    record->remaining -= static_cast<std::int32_t>(n);
    return n;
}

std::int64_t read_bytes(FileRecord* record, unsigned char* target, std::int64_t n) {
    if (!record->buffer) return os_read(record, target, n);
    enter_read_state(record);
    const unsigned char* next = record->buffer + record->fill - record->remaining;
    if (record->remaining >= n) {
        std::memcpy(target, next, static_cast<std::size_t>(n));
        record->remaining -= static_cast<std::int32_t>(n);
        return n;
    }
    std::int64_t taken = record->remaining;
    std::memcpy(target, next, static_cast<std::size_t>(taken));
    record->remaining = 0;
    std::int64_t need = n - taken;
    if (need >= record->buffer_size) {
        record->fill = 0;
        return taken + os_read(record, target + taken, need);
    }
    std::int64_t got = os_read(record, record->buffer, record->buffer_size);
    record->fill = record->remaining = static_cast<std::int32_t>(got);
    std::int64_t more = std::min(need, got);
    std::memcpy(target + taken, record->buffer, static_cast<std::size_t>(more));
    record->remaining -= static_cast<std::int32_t>(more);
    return taken + more;
}

// Makes the last n bytes read unread again, so they start the next read.
void give_back(FileRecord* record, std::int32_t n) {
    if (!record->buffer) {
        os_seek_back(record, n);
    } else if (record->remaining + n <= record->fill) {
        record->remaining += n;
    } else {
        // The bytes straddled a refill and are no longer all buffered: reposition the system.
        os_seek_back(record, record->remaining + n);
        record->remaining = 0;
        record->fill = 0;
    }
}

// ---- lines

// Raw bytes of the line being read; kept between calls so reading a file costs no allocation
// per line.
std::vector<unsigned char>& line_bytes() {
    static std::vector<unsigned char> bytes;
    return bytes;
}

struct LineBytes {
    const unsigned char* data;
    std::size_t size;
};

// The raw line being gathered. Past `cap` bytes (or when memory runs out) it is refused: the
// rest of the line is still read to its end, so the next line starts in the right place, but
// nothing more is kept.
struct Gathering {
    std::vector<unsigned char>& bytes;
    std::size_t cap;
    bool refused = false;

    void keep(const unsigned char* from, const unsigned char* to) {
        if (refused) return;
        if (bytes.size() + static_cast<std::size_t>(to - from) > cap) {
            refused = true;
            return;
        }
        try {
            bytes.insert(bytes.end(), from, to);
        } catch (const std::bad_alloc&) {
            refused = true;
        }
    }
};

// One-byte units from the buffer, scanned in whole runs. A line that lies wholly in the buffer
// is returned where it lies (the common case: no copy); others are gathered.
LineBytes collect_buffered_bytes(FileRecord* record, Gathering& line) {
    enter_read_state(record);
    bool gathered = false;
    for (;;) {
        if (record->remaining == 0) {
            std::int64_t got = os_read(record, record->buffer, record->buffer_size);
            record->fill = record->remaining = static_cast<std::int32_t>(got);
            if (got == 0) return {line.bytes.data(), line.bytes.size()};
        }
        const unsigned char* start = record->buffer + record->fill - record->remaining;
        const unsigned char* end = start + record->remaining;
        const unsigned char* stop = start;
        while (stop < end && *stop != '\n' && *stop != '\r' && *stop != 0) ++stop;
        if (stop == end) {
            line.keep(start, stop);
            gathered = true;
            record->remaining = 0;
            continue;
        }
        bool carriage_return = *stop == '\r';
        if (*stop == 0) record->not_text = 1;
        record->remaining -= static_cast<std::int32_t>(stop - start + 1);
        // Looking behind a CR that ends the buffer refills it, over the line's bytes.
        if (gathered || (carriage_return && record->remaining == 0)) {
            line.keep(start, stop);
            gathered = true;
        }
        if (carriage_return) {
            unsigned char after;
            if (read_bytes(record, &after, 1) == 1 && after != '\n') give_back(record, 1);
        }
        if (gathered) return {line.bytes.data(), line.bytes.size()};
        return {start, static_cast<std::size_t>(stop - start)};
    }
}

bool is_utf16(int format) { return format == TEXT_UTF16 || format == TEXT_UTF16_BE; }

// Any unit size and byte order, buffered or not: one unit at a time.
void collect_units(FileRecord* record, Gathering& line, int format) {
    const std::int32_t unit = is_utf16(format) ? 2 : 1;
    const int low = format == TEXT_UTF16_BE ? 1 : 0;  // where a unit keeps its low byte
    unsigned char value[2];
    auto is = [&](unsigned code) { return unit == 1 ? value[0] == code : (value[low] == code && value[1 - low] == 0); };
    for (;;) {
        const std::int64_t got = read_bytes(record, value, unit);
        if (got != unit) {
            if (got > 0) record->not_text = 1;  // half a unit: the file's length is odd
            return;
        }
        if (is(0)) record->not_text = 1;
        if (is(0) || is('\n')) return;
        if (is('\r')) {
            if (read_bytes(record, value, unit) == unit && !is('\n')) give_back(record, unit);
            return;
        }
        line.keep(value, value + unit);
    }
}

// Decodes UTF-8 into at most `capacity` units. ICU takes 32-bit lengths, so a long line goes in
// pieces, each cut just before a byte that starts a character, or behind four continuation
// bytes, which no character spans: the pieces decode exactly as the whole would. Returns the
// units written, or -1 when they would pass the capacity; `substituted` counts the U+FFFD put in
// for bytes that did not decode, which costs the converter nothing.
std::int64_t decode_utf8(const unsigned char* bytes, std::size_t size, char16_t* target, std::int64_t capacity,
                         std::int64_t* substituted) {
    constexpr std::size_t PIECE = 1 << 16;
    auto continuation = [&](std::size_t i) { return (bytes[i] & 0xC0) == 0x80; };
    std::int64_t written = 0;
    std::size_t done = 0;
    while (done < size) {
        std::size_t cut = size;
        if (size - done > PIECE) {
            std::size_t end = done + PIECE;
            cut = end;
            while (cut > end - 3 && continuation(cut)) --cut;
            if (continuation(cut)) cut = end;
        }
        std::int64_t room = std::min<std::int64_t>(capacity - written, INT32_MAX);
        std::int32_t length = 0;
        std::int32_t substitutions = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8WithSub(reinterpret_cast<UChar*>(target + written), static_cast<std::int32_t>(room), &length,
                             reinterpret_cast<const char*>(bytes + done), static_cast<std::int32_t>(cut - done), 0xFFFD,
                             &substitutions, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR || length > room) return -1;
        if (U_FAILURE(status)) break;
        *substituted += substitutions;
        written += length;
        done = cut;
    }
    return written;
}

// Whether every surrogate among the units stands in a pair, high then low.
bool surrogates_paired(const char16_t* units, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) {
        if (units[i] < 0xD800 || units[i] > 0xDFFF) continue;
        if (units[i] > 0xDBFF || i + 1 == count || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return false;
        ++i;
    }
    return true;
}

// Places the raw line, converted, at `at`, where `room` units fit; false (area unchanged) when
// it does not fit. A line that does not decode in the format marks the record.
bool place_line(FileRecord* record, LineBytes line, int format, std::int32_t at, std::int64_t room) {
    TempScope scope;
    if (is_utf16(format)) {
        std::int64_t units = static_cast<std::int64_t>(line.size / 2);
        char16_t* target = units <= room ? temp_try_reserve(units, at) : nullptr;
        if (!target) return false;
        const int low = format == TEXT_UTF16_BE ? 1 : 0;
        for (std::int64_t i = 0; i < units; ++i)
            target[i] = static_cast<char16_t>(line.data[2 * i + low] | (line.data[2 * i + 1 - low] << 8));
        target[units] = 0;
        if (!surrogates_paired(target, units)) record->not_text = 1;
        scope.keep();
        return true;
    }
    if (format != TEXT_UTF8) {
        // Reserved first, so that the conversion finds the room and cannot end the program.
        if (static_cast<std::int64_t>(line.size) > room || !temp_try_reserve(static_cast<std::int64_t>(line.size), at))
            return false;
        temp_reset(at);
        string_from_memory(line.data, static_cast<std::int32_t>(line.size), format, at);
        scope.keep();
        return true;
    }
    // UTF-8 never needs more units than bytes: reserve that (or all the room there is), decode
    // in one pass and give back the rest.
    std::int64_t wanted = std::min<std::int64_t>(static_cast<std::int64_t>(line.size), room);
    char16_t* target = temp_try_reserve(wanted, at);
    if (!target) return false;
    std::size_t ascii = 0;
    while (ascii < line.size && line.data[ascii] < 0x80) ++ascii;
    std::int64_t units = -1;
    std::int64_t substituted = 0;
    if (static_cast<std::int64_t>(ascii) <= wanted) {
        for (std::size_t i = 0; i < ascii; ++i) target[i] = line.data[i];
        std::int64_t rest = ascii == line.size ? 0
                                               : decode_utf8(line.data + ascii, line.size - ascii, target + ascii,
                                                             wanted - static_cast<std::int64_t>(ascii), &substituted);
        units = rest < 0 ? -1 : static_cast<std::int64_t>(ascii) + rest;
    }
    if (units < 0) return false;
    if (substituted > 0) record->not_text = 1;
    target[units] = 0;
    temp_give_back(static_cast<std::int32_t>(wanted - units));
    scope.keep();
    return true;
}

// The most bytes a line may have and still possibly fit in `room` units: UTF-8 takes at most
// three bytes per unit, UTF-16 two, the narrow code page is counted by its bytes.
std::size_t line_cap(int format, std::int64_t room) {
    std::size_t units = static_cast<std::size_t>(room);
    if (format == TEXT_UTF8) return units * 3;
    if (is_utf16(format)) return units * 2 + 1;
    return units;
}

// Units converted per piece when a long text is written.
constexpr std::size_t ENCODE_PIECE = 32768;

// Bytes of the text being written; kept between calls like the line bytes.
std::vector<unsigned char>& encode_bytes() {
    static std::vector<unsigned char> bytes;
    return bytes;
}

bool bytes_capacity_too_large() { return encode_bytes().capacity() > (1u << 20); }

// The narrow code page goes through the runtime's converter, whole.
std::int64_t write_narrow(FileRecord* record, const char16_t* text) {
    std::int32_t length = string_byte_length(text, TEXT_ANSI);
    if (length <= 0) return 0;
    auto* block = static_cast<unsigned char*>(heap_alloc(runtime_heap(), static_cast<std::size_t>(length) + 1));
    if (!block) {
        record->write_failed = 1;
        return 0;
    }
    std::int64_t encoded = string_to_memory(block, text, -1, TEXT_ANSI);
    std::int64_t written = write_bytes(record, block, encoded);
    heap_free(runtime_heap(), block);
    return written;
}

// Descriptor 0 would read as a free record: it is moved elsewhere.
int off_zero(int fd) {
    if (fd != 0) return fd;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
    ::close(fd);
    return moved;
}

void start_record(FileRecord* record, int fd) {
    record->buffer = static_cast<unsigned char*>(heap_alloc(runtime_heap(), FILE_BUFFER_SIZE));
    record->handle = fd;
    record->buffer_size = FILE_BUFFER_SIZE;
    record->remaining = 0;
    record->fill = 0;
    record->reading = 1;
    record->write_failed = 0;
    record->read_failed = 0;
    record->not_text = 0;
}

int failure_of(int error) {
    if (error == ENOENT) return FILE_FAILURE_MISSING;
    if (error == EISDIR) return FILE_FAILURE_NOT_REGULAR;
    return FILE_FAILURE_REFUSED;
}

ObjectNumber open_file(ObjectNumber number, const char16_t* path, OpenMode mode) {
    last_open_failure = FILE_FAILURE_REFUSED;
    if (!file_registry) return 0;
    ObjectNumber id = number;
    auto* record = static_cast<FileRecord*>(registry_obtain(file_registry, number, &id));
    if (!record) return 0;
    std::string system = path_to_system(path);
    int fd = -1;
    int failure = FILE_FAILURE_MISSING;
    if (!system.empty()) {
        int flags = O_CLOEXEC;
        switch (mode) {
        // Not blocking: opening a pipe to read would otherwise wait for a writer.
        case MODE_READ:
            flags |= O_RDONLY | O_NONBLOCK;
            break;
        case MODE_OPEN:
            flags |= O_RDWR | O_CREAT;
            break;
        case MODE_CREATE:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
        case MODE_CREATE_NEW:
            flags |= O_RDWR | O_CREAT | O_EXCL;
            break;
        }
        do {
            fd = ::open(system.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0 && mode == MODE_CREATE) {
            // A file that may be written but not read can still be emptied and written.
            do {
                fd = ::open(system.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            } while (fd < 0 && errno == EINTR);
        }
        if (fd < 0) failure = failure_of(errno);
        // Only regular files are read: a pipe or a device such as /dev/zero could keep a reader
        // waiting or reading for ever. A folder is never a file.
        struct stat info;
        if (fd >= 0 &&
            (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || (mode == MODE_READ && !S_ISREG(info.st_mode)))) {
            ::close(fd);
            fd = -1;
            failure = FILE_FAILURE_NOT_REGULAR;
        }
        if (fd >= 0 && mode == MODE_READ) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (fd >= 0) fd = off_zero(fd);
    }
    if (fd < 0) {
        registry_release(file_registry, id);
        last_open_failure = failure;
        return 0;
    }
    start_record(record, fd);
    last_open_failure = 0;
    return number == ANY_NUMBER ? id : fd;
}

}  // namespace

void files_init() {
    if (file_registry && registry_heap == runtime_heap()) return;
    // A file that grows past the process's size limit must fail its write, not end the program
    // with the user's unsaved texts.
    std::signal(SIGXFSZ, SIG_IGN);
    file_registry = registry_create(sizeof(FileRecord), 16, file_close);
    registry_heap = runtime_heap();
}

void files_close_all() {
    if (file_registry) registry_free_all(file_registry);
}

void files_end() {
    files_close_all();
    registry_destroy(file_registry);
    file_registry = nullptr;
    registry_heap = nullptr;
}

ObjectNumber file_create(ObjectNumber number, const char16_t* path) { return open_file(number, path, MODE_CREATE); }

ObjectNumber file_open(ObjectNumber number, const char16_t* path) { return open_file(number, path, MODE_OPEN); }

ObjectNumber file_read(ObjectNumber number, const char16_t* path) { return open_file(number, path, MODE_READ); }

ObjectNumber file_create_new(ObjectNumber number, const char16_t* path) {
    return open_file(number, path, MODE_CREATE_NEW);
}

int file_open_failure() { return last_open_failure; }

ObjectNumber file_adopt_descriptor(int fd) {
    if (fd < 0) return 0;
    ObjectNumber id = ANY_NUMBER;
    auto* record = file_registry ? static_cast<FileRecord*>(registry_obtain(file_registry, ANY_NUMBER, &id)) : nullptr;
    fd = record ? off_zero(fd) : fd;
    if (!record || fd < 0) {
        if (fd >= 0) ::close(fd);
        if (record) registry_release(file_registry, id);
        return 0;
    }
    start_record(record, fd);
    return id;
}

int file_descriptor(ObjectNumber file) {
    FileRecord* record = lookup(file);
    return record ? static_cast<int>(record->handle) : -1;
}

std::int64_t file_write_text(ObjectNumber file, const char16_t* text, int format) {
    FileRecord* record = lookup(file);
    if (!record || !text || !text[0]) return 0;
    std::size_t units = std::char_traits<char16_t>::length(text);
    if (is_utf16(format)) {
        std::vector<unsigned char>& bytes = encode_bytes();
        bytes.resize(units * 2);
        const int low = format == TEXT_UTF16_BE ? 1 : 0;
        for (std::size_t i = 0; i < units; ++i) {
            bytes[2 * i + low] = static_cast<unsigned char>(text[i] & 0xFF);
            bytes[2 * i + 1 - low] = static_cast<unsigned char>(text[i] >> 8);
        }
        std::int64_t written = write_bytes(record, bytes.data(), static_cast<std::int64_t>(bytes.size()));
        if (bytes_capacity_too_large()) std::vector<unsigned char>().swap(bytes);
        return written;
    }
    if (format != TEXT_UTF8) return write_narrow(record, text);
    // A long text is converted and written in pieces, so saving a large text needs no second
    // copy of it in memory. Every piece is at least ENCODE_PIECE units, so each goes out
    // directly, exactly as one large write would.
    std::int64_t written = 0;
    std::size_t done = 0;
    while (done < units) {
        std::size_t piece = units - done < 2 * ENCODE_PIECE ? units - done : ENCODE_PIECE;
        if (done + piece < units && text[done + piece - 1] >= 0xD800 && text[done + piece - 1] <= 0xDBFF)
            --piece;  // keep a surrogate pair together
        std::vector<unsigned char>& bytes = encode_bytes();
        bytes.resize(piece * 3);
        // Code is mostly ASCII: that run is narrowed directly, the converter takes the rest.
        const char16_t* source = text + done;
        std::size_t ascii = 0;
        for (; ascii < piece && source[ascii] < 0x80; ++ascii) bytes[ascii] = static_cast<unsigned char>(source[ascii]);
        std::int32_t length = 0;
        UErrorCode status = U_ZERO_ERROR;
        if (ascii < piece)
            u_strToUTF8WithSub(reinterpret_cast<char*>(bytes.data() + ascii),
                               static_cast<std::int32_t>(bytes.size() - ascii), &length,
                               reinterpret_cast<const UChar*>(source + ascii), static_cast<std::int32_t>(piece - ascii),
                               0xFFFD, nullptr, &status);
        if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
            record->write_failed = 1;
            break;
        }
        written += write_bytes(record, bytes.data(), static_cast<std::int64_t>(ascii) + length);
        done += piece;
    }
    if (bytes_capacity_too_large()) std::vector<unsigned char>().swap(encode_bytes());
    return written;
}

std::int64_t file_write_line(ObjectNumber file, const char16_t* text, int format) {
    file_write_text(file, text, format);
    return file_write_text(file, u"\r\n", format);
}

int file_read_line(ObjectNumber file, int format, std::int32_t at) {
    FileRecord* record = lookup(file);
    if (!record) return 0;
    std::vector<unsigned char>& gathered = line_bytes();
    gathered.clear();
    const std::int32_t room = temp_room(at);
    Gathering gathering{gathered, line_cap(format, room)};
    LineBytes line;
    if (record->buffer && !is_utf16(format)) {
        line = collect_buffered_bytes(record, gathering);
    } else {
        collect_units(record, gathering, format);
        line = {gathered.data(), gathered.size()};
    }
    bool placed = !gathering.refused && line.size <= gathering.cap && place_line(record, line, format, at, room);
    // A very long line should not pin its memory for the rest of the run.
    if (gathered.capacity() > (1u << 20)) std::vector<unsigned char>().swap(gathered);
    return placed ? 1 : 0;
}

int file_take_byte_order_mark(ObjectNumber file) {
    FileRecord* record = lookup(file);
    if (!record) return TEXT_UTF8;
    unsigned char start[4] = {};
    const auto got = static_cast<std::int32_t>(read_bytes(record, start, sizeof start));
    auto starts_with = [&](std::initializer_list<unsigned char> mark) {
        return got >= static_cast<std::int32_t>(mark.size()) && std::equal(mark.begin(), mark.end(), start);
    };
    int format = TEXT_UTF8;
    std::int32_t mark = 0;
    // UTF-32 first: its little-endian mark begins like UTF-16's.
    if (starts_with({0xFF, 0xFE, 0, 0}) || starts_with({0, 0, 0xFE, 0xFF})) {
        format = FILE_TEXT_UNSUPPORTED;
    } else if (starts_with({0xEF, 0xBB, 0xBF})) {
        mark = 3;
    } else if (starts_with({0xFF, 0xFE}) || starts_with({0xFE, 0xFF})) {
        format = start[0] == 0xFF ? TEXT_UTF16 : TEXT_UTF16_BE;
        mark = 2;
    }
    if (got > mark) give_back(record, got - mark);
    return format;
}

int file_at_end(ObjectNumber file) {
    FileRecord* record = lookup(file);
    if (!record) return 0;
    unsigned char probe;
    if (record->buffer) {
        if (read_bytes(record, &probe, 1) == 1) {
            give_back(record, 1);
            return 0;
        }
        return 1;
    }
    if (os_read(record, &probe, 1) != 1) return -1;
    os_seek_back(record, 1);
    return 0;
}

int file_read_failed(ObjectNumber file) {
    FileRecord* record = lookup(file);
    return record && record->read_failed ? 1 : 0;
}

int file_read_not_text(ObjectNumber file) {
    FileRecord* record = lookup(file);
    return record && record->not_text ? 1 : 0;
}

int file_sync(ObjectNumber file) {
    FileRecord* record = lookup(file);
    if (!record) return 0;
    flush(record);
    int fd = static_cast<int>(record->handle);
    int synced;
    do {
        synced = ::fsync(fd);
    } while (synced != 0 && errno == EINTR);
    return synced == 0 && !record->write_failed ? 1 : 0;
}

void file_close(ObjectNumber file) {
    FileRecord* record = lookup(file);
    if (!record) return;
    if (record->buffer) {
        flush(record);
        heap_free(runtime_heap(), record->buffer);
    }
    // close is not retried on EINTR: on Linux the descriptor is gone either way.
    ::close(static_cast<int>(record->handle));
    registry_release(file_registry, file);
}
