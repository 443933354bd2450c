// Save and open of an extension at 1x, 4x and 16x the size of a real JavaScript file, each
// against writing and reading the same bytes with a single system call.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/extension_file.h"
#include "runtime/core/memory.h"
#include "runtime/files/filesystem.h"
#include "runtime/files/files.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Best of several runs: the figure least disturbed by the other work on the machine.
template <typename Work>
double best_time(int runs, Work work) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        Clock::time_point start = Clock::now();
        work();
        best = std::min(best, seconds_since(start));
    }
    return best;
}

std::string slurp(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void raw_write(const std::string& bytes, bool sync) {
    int fd = ::open("Extensions/raw.bin", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    if (sync)
        ::fsync(fd);
    ::close(fd);
}

// Two anchors for reading: into a buffer that is already in memory (the I/O alone), and into
// fresh pages, as a program that opens a file must do; the open pays for fresh pages too, for
// its decoded texts. mmap makes the pages fresh every time, whatever the allocator keeps.
std::size_t raw_read(const char* path, char* reused) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0)
        std::abort();
    std::size_t size = static_cast<std::size_t>(info.st_size);
    void* fresh = nullptr;
    char* into = reused;
    if (!into) {
        fresh = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (fresh == MAP_FAILED)
            std::abort();
        into = static_cast<char*>(fresh);
    }
    ssize_t got = ::read(fd, into, size);
    ::close(fd);
    if (fresh)
        ::munmap(fresh, size);
    if (got != info.st_size)
        std::abort();
    return size;
}

struct Figures {
    double save, raw_write, raw_write_sync, open, raw_read, raw_read_fresh;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s typescript.js [runs]\n", argv[0]);
        return 2;
    }
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    std::string source = slurp(argv[1]);
    if (source.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    runtime_core_start();
    files_init();
    directory_create(u"Extensions");

    std::int32_t p0 = temp_position();
    string_from_memory(source.data(), static_cast<std::int32_t>(source.size()), TEXT_UTF8, p0);
    std::u16string code(temp_address(p0), static_cast<std::size_t>(temp_position() - p0) / 2);
    temp_reset(p0);

    std::printf("code: %s, %zu bytes, %zu UTF-16 units; best of %d runs\n", argv[1], source.size(), code.size(), runs);
    std::printf("save: against one write, and one write + fsync (a save syncs); open: against one read into a\n"
                "buffer in memory, and one read into fresh pages\n");
    std::printf("%5s %10s | %7s %7s %7s %6s %6s | %7s %7s %7s %6s %6s\n", "size", "bytes", "save s", "write",
                "w+sync", "ratio", "r.sync", "open s", "read", "fresh", "ratio", "r.fresh");
    const int factors[] = {1, 4, 16};
    Figures figures[3];
    for (int k = 0; k < 3; ++k) {
        std::u16string big;
        big.reserve(code.size() * factors[k]);
        for (int i = 0; i < factors[k]; ++i)
            big += code;
        ExtensionTexts texts{};
        string_var_assign(&texts.extension, u"TypeScript");
        string_var_assign(&texts.author, u"Microsoft");
        string_var_assign(&texts.description, u"The TypeScript compiler as one extension.\r\nFor measuring.");
        string_var_assign(&texts.help, u"None.");
        string_var_assign(&texts.code, big.c_str());
        std::u16string().swap(big);

        Figures& f = figures[k];
        f.save = best_time(runs, [&] {
            if (write_extension_texts(u"Extensions/TypeScript.qex", texts) != 1)
                std::abort();
        });
        std::string saved = slurp("Extensions/TypeScript.qex");
        f.raw_write = best_time(runs, [&] { raw_write(saved, false); });
        f.raw_write_sync = best_time(runs, [&] { raw_write(saved, true); });

        std::size_t code_units = 0;
        f.open = best_time(runs, [&] {
            ExtensionTexts back = read_extension_texts(u"Extensions/TypeScript.qex");
            code_units = back.code ? std::char_traits<char16_t>::length(back.code) : 0;
            extension_texts_free(&back);
        });
        std::vector<char> reused(saved.size());
        f.raw_read = best_time(runs, [&] { raw_read("Extensions/TypeScript.qex", reused.data()); });
        f.raw_read_fresh = best_time(runs, [&] { raw_read("Extensions/TypeScript.qex", nullptr); });
        if (code_units < code.size() * factors[k])
            std::abort();  // the code did not come back whole

        std::printf("%4dx %10zu | %7.4f %7.4f %7.4f %5.1fx %5.1fx | %7.4f %7.4f %7.4f %5.1fx %5.1fx\n", factors[k],
                    saved.size(), f.save, f.raw_write, f.raw_write_sync, f.save / f.raw_write,
                    f.save / f.raw_write_sync, f.open, f.raw_read, f.raw_read_fresh, f.open / f.raw_read,
                    f.open / f.raw_read_fresh);
        extension_texts_free(&texts);
    }
    // 1.00 is linear: the time per byte stays the same as the size grows.
    std::printf("growth per byte, 1x to 4x: save %.2f, open %.2f; 4x to 16x: save %.2f, open %.2f\n",
                figures[1].save / figures[0].save / 4, figures[1].open / figures[0].open / 4,
                figures[2].save / figures[1].save / 4, figures[2].open / figures[1].open / 4);
    file_delete(u"Extensions/TypeScript.qex");
    file_delete(u"Extensions/raw.bin");
    files_end();
    return 0;
}
