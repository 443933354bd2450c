/** @file recovery.cpp
 * The recovery copy: change signals and timing on the main thread, which reads the texts (the
 * code as the component's own bytes, shared with the syntax check); a writer thread that
 * compares them with the reference and writes or removes the copy; and the offer of the copies
 * of instances that are gone. */
#include "app/recovery.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/application.h"
#include "app/code_bytes.h"
#include "app/document.h"
#include "app/extension_file.h"
#include "app/messages.h"
#include "editor/code_editor.h"
#include "runtime/core/strings.h"
#include "runtime/files/files.h"
#include "runtime/files/replace.h"
#include "runtime/files/state_folder.h"
#include "runtime/ui/gadget.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* PROGRAM_FOLDER = "quorval-extension-maker";
constexpr const char* COPY_ENDING = ".qex";
constexpr const char* LOCK_ENDING = ".lock";
// The line before the sections that carries the current name. The extension reader skips the
// lines before the first marker, so a copy is also an ordinary extension file.
constexpr char16_t NAME_LINE[] = u"; current name: ";
// The line after it, when the texts came from a file: known, device, inode, size, modification
// and change time in nanoseconds, and the file's resolved path. Copies of older versions lack
// the change time; they are read all the same.
constexpr char16_t SOURCE_LINE[] = u"; source: ";
// How soon a copy that found the writer busy is tried again.
constexpr milliseconds WRITER_BUSY_RETRY{100};
// How often a new lock name is tried when another instance holds the one just made.
constexpr int LOCK_ATTEMPTS = 3;
// A copy is readable and writable by its owner alone, from its creation on.
constexpr mode_t OWNER_ONLY = S_IRUSR | S_IWUSR;

// A few seconds behind the typing: little to lose in a crash, and no cost while typing goes on.
constexpr RecoveryTiming DEFAULT_TIMING = {.pause = 2000, .longest = 5000, .interval = 3000};
RecoveryTiming the_timing = DEFAULT_TIMING;

double ms_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// CPU time of the calling thread: what the main thread itself spends, apart from the machine's load.
double thread_cpu_ms() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The five texts as a copy holds them: the sections up to the code's marker (UTF-8, small), and
// the code in the component's own bytes (UTF-8), shared so that unchanged code is copied once.
struct Texts {
    std::string sections;
    std::shared_ptr<const std::string> code;

    bool same_as(const Texts& other) const {
        if (sections != other.sections || !code || !other.code) return false;
        return code == other.code || *code == *other.code;
    }
};

struct Job {
    enum Kind { WRITE, REMOVE, STOP } kind = STOP;
    std::string header;
    Texts texts;
    Texts reference;
};

bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The pieces of a copy, written one after another.
bool write_pieces(int fd, const void* context) {
    for (const std::string* piece : *static_cast<const std::vector<const std::string*>*>(context))
        if (!write_all(fd, piece->data(), piece->size())) return false;
    return true;
}

// The thread that writes and removes this instance's copy, one job after another in the order
// they were posted, so that a removal never overtakes an earlier write.
class Writer {
public:
    explicit Writer(const std::string& path) : path_(path), thread_([this] { run(); }) {}
    ~Writer() {
        post(Job{});
        thread_.join();
    }
    Writer(const Writer&) = delete;  // owns a thread
    Writer& operator=(const Writer&) = delete;

    void post(Job job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }
    bool idle() {
        std::lock_guard<std::mutex> lock(mutex_);
        return jobs_.empty() && !working_;
    }
    void wait_idle() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return jobs_.empty() && !working_; });
    }
    double longest_write_ms() {
        std::lock_guard<std::mutex> lock(mutex_);
        return longest_write_ms_;
    }
    // Why the last job failed: the path and the system's word; "" when it succeeded.
    std::string last_failure() {
        std::lock_guard<std::mutex> lock(mutex_);
        return last_failure_;
    }
    const std::string& path() const { return path_; }

private:
    void run() {
        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return !jobs_.empty(); });
                job = std::move(jobs_.front());
                jobs_.pop_front();
                working_ = true;
            }
            if (job.kind == Job::STOP) return;
            // A copy that memory did not suffice for is tried again with the next change, as one
            // that cannot be written; the last copy stays.
            std::string failure;
            double took = 0;
            try {
                took = carry_out(job, &failure);
            } catch (const std::bad_alloc&) {
                failure = path_ + ": " + std::generic_category().message(ENOMEM);
            }
            job = Job{};  // the texts' buffers are free for the next copy before idle() says so
            {
                std::lock_guard<std::mutex> lock(mutex_);
                working_ = false;
                last_failure_ = std::move(failure);
                longest_write_ms_ = std::max(longest_write_ms_, took);
            }
            done_.notify_all();
        }
    }

    // The milliseconds a write took; 0 for a removal.
    double carry_out(const Job& job, std::string* failure) {
        if (job.kind == Job::REMOVE || job.texts.same_as(job.reference)) {
            ::unlink(path_.c_str());
            return 0;
        }
        const Clock::time_point started = Clock::now();
        static const std::string closing = "\r\n\r\n";
        // Replaced whole, so that a crash at any moment leaves the old copy or the new one, and
        // private from its creation. A copy that cannot be written (a full disk, a folder made
        // read-only) is tried again with the next change; typing goes on either way.
        const std::vector<const std::string*> pieces = {&job.header, &job.texts.sections, job.texts.code.get(),
                                                        &closing};
        if (!file_replace_system(path_, write_pieces, &pieces, {.follow_links = false, .mode = OWNER_ONLY}))
            *failure = path_ + ": " + std::generic_category().message(errno);
        return ms_between(started, Clock::now());
    }

    const std::string path_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<Job> jobs_;
    bool working_ = false;
    double longest_write_ms_ = 0;
    std::string last_failure_;
    std::thread thread_;  // last: it starts once everything above exists
};

struct Recovery {
    std::string folder;
    std::string stem;
    int lock = -1;
    std::unique_ptr<Writer> writer;  // none while recovery is off
    std::string off_reason;          // why it is off: a path and the system's word
    Texts reference;                 // what was last saved, opened or started with
    bool pending = false;            // changes that no copy holds yet
    bool kept_for_exit = false;      // the copy holds the texts as they stand, written for Exit
    Clock::time_point first_change, last_change, last_copy, retry_at;
    RecoveryFigures figures{};

    std::string path_of(const std::string& other_stem, const char* ending) const {
        return folder + "/" + other_stem + ending;
    }
};

std::unique_ptr<Recovery> the_recovery;

// ---------------------------------------------------------------------------------------------
// Reading the texts on the main thread.

std::string utf8_of(const char16_t* text) {
    std::string out(static_cast<std::size_t>(string_byte_length(text, TEXT_UTF8)) + 1, '\0');
    out.resize(static_cast<std::size_t>(string_to_memory(out.data(), text, -1, TEXT_UTF8)));
    return out;
}

// The sections as the extension writer puts them (marker, text, blank line, each ended by CR LF),
// up to the code's marker.
std::string read_sections() {
    static const std::pair<const char*, ObjectNumber> fields[] = {{"[EXTENSION]", GADGET_NAME},
                                                                  {"[AUTHOR]", GADGET_AUTHOR},
                                                                  {"[DESCRIPTION]", GADGET_DESCRIPTION},
                                                                  {"[HELP]", GADGET_HELP}};
    std::string sections;
    for (const auto& [marker, gadget] : fields) {
        TempScope scope;
        sections += marker;
        sections += "\r\n";
        sections += utf8_of(gadget_get_text(gadget, scope.start()));
        sections += "\r\n\r\n";
    }
    return sections + "[CODE]\r\n";
}

// A text with backslash, CR and LF escaped, so that it stays on its line.
std::u16string escaped(const std::u16string& text) {
    std::u16string out;
    for (char16_t c : text) {
        if (c == u'\\')
            out += u"\\\\";
        else if (c == u'\r')
            out += u"\\r";
        else if (c == u'\n')
            out += u"\\n";
        else
            out += c;
    }
    return out;
}

std::u16string unescaped(const std::u16string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const char16_t next = text[++i];
            out += next == u'r' ? u'\r' : next == u'n' ? u'\n' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::u16string utf16_of(const std::string& text) {
    TempScope scope;
    return string_from_memory(text.data(), static_cast<std::int32_t>(text.size()), TEXT_UTF8, scope.start());
}

// The lines before the sections: the current name, and the file the texts came from with its
// identity then, so that a Save after recovery knows its own file as before.
std::string read_header() {
    std::u16string header = NAME_LINE + escaped(current_extension_name()) + u"\r\n";
    const DocumentSource& source = document_source();
    if (!source.resolved.empty()) {
        const FileIdentity& id = source.identity;
        std::string fields = std::to_string(source.known) + " " + std::to_string(id.device) + " " +
                             std::to_string(id.inode) + " " + std::to_string(id.size) + " " +
                             std::to_string(id.modified_ns) + " " + std::to_string(id.changed_ns) + " ";
        header += SOURCE_LINE + utf16_of(fields) + escaped(utf16_of(source.resolved)) + u"\r\n";
    }
    return utf8_of(header.c_str());
}

// The texts as they stand become the reference; the code's copy is now shared with it. Nobody
// types now, so memory for the next copy is made ready.
void take_reference(Recovery& r) {
    r.kept_for_exit = false;
    r.reference = {read_sections(), code_bytes()};
    code_bytes_make_room();
}

void mark_changed(Recovery& r) {
    const Clock::time_point now = Clock::now();
    if (!r.pending) r.first_change = now;
    r.pending = true;
    r.kept_for_exit = false;
    r.last_change = now;
}

Clock::time_point due_time(const Recovery& r) {
    const Clock::time_point quiet = r.last_change + milliseconds(the_timing.pause);
    const Clock::time_point latest = r.first_change + milliseconds(the_timing.longest);
    const Clock::time_point earliest = r.last_copy + milliseconds(the_timing.interval);
    return std::max({std::min(quiet, latest), earliest, r.retry_at});
}

// ---------------------------------------------------------------------------------------------
// Copies of other instances.

struct FoundCopy {
    std::string stem;
    std::time_t modified;
};

// The copies this user may read, newest first. Nothing of theirs is touched here, and no lock is
// taken: one is taken only for the copy being offered (thousands of leftovers must not use up
// the descriptors). A link is no copy: whatever it points to is left alone.
std::vector<FoundCopy> find_orphaned_copies(const Recovery& r) {
    std::vector<FoundCopy> found;
    const std::size_t ending = std::char_traits<char>::length(COPY_ENDING);
    for (const std::string& name : folder_names_ending(r.folder, COPY_ENDING)) {
        const std::string stem = name.substr(0, name.size() - ending);
        const std::string path = r.path_of(stem, COPY_ENDING);
        struct stat info;
        if (stem == r.stem || ::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            ::access(path.c_str(), R_OK) != 0)
            continue;
        found.push_back({stem, info.st_mtime});
    }
    std::sort(found.begin(), found.end(), [](const FoundCopy& a, const FoundCopy& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.stem > b.stem;
    });
    return found;
}

// The copy's lock, when its instance no longer runs and it is still there to be offered; -1
// otherwise (then no lock file is left behind where there was none).
int take_orphan_lock(const Recovery& r, const std::string& stem) {
    const std::string lock_path = r.path_of(stem, LOCK_ENDING);
    const bool had_lock_file = ::access(lock_path.c_str(), F_OK) == 0;
    int lock = lock_file_take(lock_path);
    if (lock < 0) return -1;  // its instance runs
    struct stat info;
    if (::lstat(r.path_of(stem, COPY_ENDING).c_str(), &info) == 0 && S_ISREG(info.st_mode)) return lock;
    if (!had_lock_file) ::unlink(lock_path.c_str());
    lock_file_release(lock);
    return -1;
}

// A lock with no copy beside it whose instance is gone (it ended before its first copy, or
// crashed then) is only litter.
void remove_orphaned_locks(const Recovery& r) {
    const std::size_t ending = std::char_traits<char>::length(LOCK_ENDING);
    for (const std::string& name : folder_names_ending(r.folder, LOCK_ENDING)) {
        const std::string stem = name.substr(0, name.size() - ending);
        if (stem == r.stem || ::access(r.path_of(stem, COPY_ENDING).c_str(), F_OK) == 0) continue;
        int lock = lock_file_take(r.path_of(stem, LOCK_ENDING));
        if (lock < 0) continue;
        ::unlink(r.path_of(stem, LOCK_ENDING).c_str());
        lock_file_release(lock);
    }
}

bool ask_to_recover(std::time_t modified) {
    std::tm local{};
    char when[64] = "";
    if (localtime_r(&modified, &local)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &local);
    return ask_confirm(u"Recover the unsaved extension from " + utf16_of(when) + u"?");
}

// The current name and the source from a copy's first lines.
struct CopyHeader {
    std::u16string name;
    DocumentSource source;
};

CopyHeader read_copy_header(const char16_t* path) {
    CopyHeader header;
    ObjectNumber file = file_read(ANY_NUMBER, path);
    if (!file) return header;
    auto line_after = [file](const std::u16string& prefix, std::u16string* rest) {
        TempScope scope;
        file_read_line(file, TEXT_UTF8, scope.start());
        const std::u16string line = scope.text();
        if (line.compare(0, prefix.size(), prefix) != 0) return false;
        *rest = line.substr(prefix.size());
        return true;
    };
    std::u16string rest;
    if (line_after(NAME_LINE, &rest)) header.name = unescaped(rest);
    if (line_after(SOURCE_LINE, &rest)) {
        const std::string fields = utf8_of(rest.c_str());
        DocumentSource& source = header.source;
        FileIdentity& id = source.identity;
        int known = 0, consumed = 0;
        unsigned long long device = 0, inode = 0;
        long long size = 0, modified = 0, changed = 0;
        // The resolved path is absolute, so a sixth number is the change time and an older copy's
        // path fails it.
        const bool with_change_time = std::sscanf(fields.c_str(), "%d %llu %llu %lld %lld %lld %n", &known, &device,
                                                  &inode, &size, &modified, &changed, &consumed) == 6;
        if (!with_change_time) {
            changed = 0;
            consumed = 0;
        }
        if ((with_change_time || std::sscanf(fields.c_str(), "%d %llu %llu %lld %lld %n", &known, &device, &inode,
                                             &size, &modified, &consumed) == 5) &&
            consumed > 0) {
            source.known = known != 0;
            id = {device, inode, size, modified, changed};
            source.path = unescaped(rest.substr(static_cast<std::size_t>(consumed)));
            source.resolved = utf8_of(source.path.c_str());
        }
    }
    file_close(file);
    return header;
}

// Fills the fields, the current name and the source from the copy, which then becomes this
// instance's own. A copy that cannot be read whole changes nothing and stays for a later start:
// an "Error" message names it and the reason.
bool recover_copy(Recovery& r, const std::string& stem) {
    const std::string path = r.path_of(stem, COPY_ENDING);
    const std::u16string path16 = utf16_of(path);
    ExtensionReadOutcome outcome = EXTENSION_READ;
    ExtensionTexts texts = read_extension_texts(path16.c_str(), &outcome);
    if (outcome != EXTENSION_READ) {
        extension_texts_free(&texts);
        show_cannot_open(path16, outcome);
        return false;
    }
    const CopyHeader header = read_copy_header(path16.c_str());
    document_show_texts(texts);
    extension_texts_free(&texts);
    set_current_extension_name(header.name.c_str());
    document_set_source(header.source);

    // Renamed, not deleted: the recovered work has a copy from the first moment. A failed rename
    // leaves the old copy, to be offered again, rather than none.
    r.writer->wait_idle();
    if (::rename(path.c_str(), r.writer->path().c_str()) == 0) ::unlink(r.path_of(stem, LOCK_ENDING).c_str());
    // The next copy compares the texts with the reference and brings the file to this version's form.
    mark_changed(r);
    document_texts_settled(TEXTS_RECOVERED);
    return true;
}

void delete_copy(const Recovery& r, const std::string& stem) {
    for (const char* ending : {COPY_ENDING, LOCK_ENDING}) ::unlink(r.path_of(stem, ending).c_str());
}

// Recovery with its folder, lock and writer; null while it is off.
Recovery* running() { return the_recovery && the_recovery->writer ? the_recovery.get() : nullptr; }

// ---------------------------------------------------------------------------------------------

// The system's word for the last failure, after the path it concerns.
std::string failure_at(const std::string& path) {
    const int error = errno;
    if (error == ELOOP) return path + " is a symbolic link";
    if (error == EPERM) return path + " belongs to another user";
    return path + ": " + std::generic_category().message(error);
}

}  // namespace

bool recovery_start() {
    if (the_recovery) return the_recovery->writer != nullptr;
    the_recovery = std::make_unique<Recovery>();
    Recovery& r = *the_recovery;
    // Taken whether or not copies can be written: Exit asks before it drops unsaved texts.
    take_reference(r);
    r.folder = state_folder(PROGRAM_FOLDER);
    if (r.folder.empty()) {
        r.off_reason = "HOME is not set";
        return false;
    }
    if (!folder_make_private(r.folder)) {
        r.off_reason = failure_at(r.folder);
        return false;
    }
    // Taking the lock also proves that the folder takes new files. Another instance starting at
    // the same moment may hold a new lock briefly, while it sees whether its owner is gone.
    for (int attempt = 0; attempt < LOCK_ATTEMPTS && r.lock < 0; ++attempt) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        r.stem = "instance-" + std::to_string(::getpid()) + "-" + std::to_string(now.tv_sec) + "-" +
                 std::to_string(now.tv_nsec);
        r.lock = lock_file_take(r.path_of(r.stem, LOCK_ENDING));
    }
    if (r.lock < 0) {
        r.off_reason = failure_at(r.folder);
        return false;
    }
    try {
        r.writer = std::make_unique<Writer>(r.path_of(r.stem, COPY_ENDING));
    } catch (const std::exception&) {  // no thread to be had
        ::unlink(r.path_of(r.stem, LOCK_ENDING).c_str());
        lock_file_release(r.lock);
        r.lock = -1;
        r.off_reason = "no thread to write copies";
        return false;
    }
    return true;
}

void recovery_offer() {
    if (!running()) return;
    Recovery& r = *the_recovery;
    remove_orphaned_locks(r);
    for (const FoundCopy& copy : find_orphaned_copies(r)) {
        const int lock = take_orphan_lock(r, copy.stem);
        if (lock < 0) continue;
        bool recovered = false;
        if (!ask_to_recover(copy.modified)) {
            delete_copy(r, copy.stem);
        } else {
            recovered = recover_copy(r, copy.stem);
            // A copy that could not be read stays for a later start; its instance is gone, so
            // its lock file is only litter.
            if (!recovered) ::unlink(r.path_of(copy.stem, LOCK_ENDING).c_str());
        }
        lock_file_release(lock);
        if (recovered) break;
    }
}

bool recovery_keep_for_exit(std::u16string* reason) {
    if (!the_recovery) return true;
    Recovery& r = *the_recovery;
    Texts now{read_sections(), code_bytes()};
    if (now.same_as(r.reference)) return true;
    if (!r.writer) {
        *reason = utf16_of(r.off_reason);
        return false;
    }
    r.writer->post(Job{Job::WRITE, read_header(), std::move(now), r.reference});
    r.writer->wait_idle();
    const std::string failure = r.writer->last_failure();
    r.kept_for_exit = failure.empty();
    if (failure.empty()) return true;
    *reason = utf16_of(failure);
    return false;
}

void recovery_end() {
    if (!the_recovery) return;
    Recovery& r = *the_recovery;
    if (r.writer) {
        // Texts that differ from what was last saved, opened or started with keep their copy for
        // the next start, written now if it is behind; others have none.
        if (!r.kept_for_exit)
            r.writer->post(Job{Job::WRITE, read_header(), {read_sections(), code_bytes()}, r.reference});
        r.writer.reset();  // finishes the jobs posted, then the thread ends
        ::unlink(r.path_of(r.stem, LOCK_ENDING).c_str());
        lock_file_release(r.lock);
    }
    the_recovery.reset();
}

void recovery_note_change() {
    if (the_recovery) mark_changed(*the_recovery);
}

void recovery_texts_settled() {
    if (!the_recovery) return;
    Recovery& r = *the_recovery;
    take_reference(r);
    r.pending = false;
    if (r.writer) r.writer->post(Job{Job::REMOVE, {}, {}, {}});
}

int recovery_wait_time() {
    if (!running()) return -1;
    // A change in the code editor raises no event, so an idle loop still looks now and then.
    if (!the_recovery->pending) return the_timing.pause;
    const auto left = std::chrono::ceil<milliseconds>(due_time(*the_recovery) - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

void recovery_tick() {
    if (!running() || !the_recovery->pending) return;
    Recovery& r = *the_recovery;
    const Clock::time_point now = Clock::now();
    if (now < due_time(r)) return;
    if (!r.writer->idle()) {
        r.retry_at = now + WRITER_BUSY_RETRY;
        return;
    }
    const double cpu_before = thread_cpu_ms();
    Job job{Job::WRITE, read_header(), {read_sections(), code_bytes()}, r.reference};
    r.figures.longest_read_ms = std::max(r.figures.longest_read_ms, ms_between(now, Clock::now()));
    r.figures.longest_read_cpu_ms = std::max(r.figures.longest_read_cpu_ms, thread_cpu_ms() - cpu_before);
    ++r.figures.copies;
    r.writer->post(std::move(job));
    r.pending = false;
    r.last_copy = now;
}

RecoveryTiming recovery_timing() { return the_timing; }
void recovery_set_timing(const RecoveryTiming& timing) { the_timing = timing; }

RecoveryFigures recovery_figures() {
    if (!running()) return {};
    RecoveryFigures figures = the_recovery->figures;
    figures.longest_write_ms = the_recovery->writer->longest_write_ms();
    return figures;
}
