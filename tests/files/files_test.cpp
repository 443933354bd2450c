// Buffered files: the buffer's states and edges, line ends, text formats, numbers and failures.
#include "file_test_support.h"
#include "unprivileged.h"

#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "runtime/files/filesystem.h"

using namespace file_test;

namespace {

class Files : public ScratchFolder {};

std::u16string repeated(char16_t unit, std::size_t count) { return std::u16string(count, unit); }

// Every line of the file in the format, the way the extension reader loops.
std::vector<std::u16string> all_lines(ObjectNumber file, int format) {
    std::vector<std::u16string> lines;
    std::int32_t p0 = temp_position();
    while (!file_at_end(file)) {
        EXPECT_EQ(file_read_line(file, format, p0), 1);
        lines.push_back(take_line(p0));
    }
    return lines;
}

// The lines of a file holding the bytes; `not_text`, when given, takes file_read_not_text after them.
std::vector<std::u16string> lines_of(const std::string& bytes, int format = TEXT_UTF8, int* not_text = nullptr) {
    write_raw("lines.txt", bytes);
    ObjectNumber file = file_read(ANY_NUMBER, u"lines.txt");
    EXPECT_NE(file, 0);
    std::vector<std::u16string> lines = all_lines(file, format);
    if (not_text) *not_text = file_read_not_text(file);
    file_close(file);
    return lines;
}

// Splits bytes the way the line reader must, one byte at a time: the reference for random tests.
std::vector<std::string> reference_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::string line;
        while (i < bytes.size()) {
            char c = bytes[i++];
            if (c == '\0' || c == '\n') break;
            if (c == '\r') {
                if (i < bytes.size() && bytes[i] == '\n') ++i;
                break;
            }
            line += c;
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST_F(Files, TextIsWrittenInEachFormatWithoutByteOrderMark) {
    ObjectNumber file = file_create(ANY_NUMBER, u"formats.txt");
    ASSERT_NE(file, 0);
    EXPECT_EQ(file_write_text(file, u"\u00e9", TEXT_UTF8), 2);
    EXPECT_EQ(file_write_text(file, u"\u00e9", TEXT_UTF16), 2);
    EXPECT_EQ(file_write_line(file, u"", TEXT_UTF8), 2);
    EXPECT_EQ(file_write_line(file, u"x", TEXT_UTF16), 4);
    EXPECT_EQ(file_write_text(file, u"\U0001F600", TEXT_UTF8), 4);
    EXPECT_EQ(file_write_text(file, nullptr, TEXT_UTF8), 0);
    EXPECT_EQ(file_write_text(file, u"", TEXT_UTF16), 0);
    file_close(file);
    EXPECT_EQ(read_bytes("formats.txt"), std::string("\xC3\xA9"
                                                     "\xE9\x00"
                                                     "\r\n"
                                                     "x\x00\r\x00\n\x00"
                                                     "\xF0\x9F\x98\x80",
                                                     16));
}

TEST_F(Files, NarrowFormatIsEveryValueButUtf8AndUtf16) {
    ObjectNumber file = file_create(ANY_NUMBER, u"narrow.txt");
    EXPECT_EQ(file_write_text(file, u"plain ascii", TEXT_ANSI), 11);
    EXPECT_EQ(file_write_text(file, u"/7", 7), 2);
    file_close(file);
    EXPECT_EQ(read_bytes("narrow.txt"), "plain ascii/7");
    EXPECT_EQ(lines_of("abc\r\ndef", 5), (std::vector<std::u16string>{u"abc", u"def"}));
}

TEST_F(Files, ExactlyFullBufferIsFlushedBeforeTheCopy) {
    ObjectNumber file = file_create(ANY_NUMBER, u"edge.bin");
    ASSERT_EQ(file_write_text(file, repeated(u'a', 4000).c_str(), TEXT_UTF8), 4000);
    EXPECT_EQ(path_size(u"edge.bin"), 0);  // still in the buffer
    ASSERT_EQ(file_write_text(file, repeated(u'b', 95).c_str(), TEXT_UTF8), 95);
    EXPECT_EQ(path_size(u"edge.bin"), 0);  // 95 < 96 free bytes: copied
    ASSERT_EQ(file_write_text(file, u"c", TEXT_UTF8), 1);
    EXPECT_EQ(path_size(u"edge.bin"), 4095);  // 1 byte == 1 free byte: flushed first
    file_close(file);
    std::string expected = std::string(4000, 'a') + std::string(95, 'b') + "c";
    EXPECT_EQ(read_bytes("edge.bin"), expected);
}

TEST_F(Files, WritesOfABufferOrMoreGoStraightOutAfterTheFlush) {
    ObjectNumber file = file_create(ANY_NUMBER, u"direct.bin");
    file_write_text(file, u"head", TEXT_UTF8);
    EXPECT_EQ(file_write_text(file, repeated(u'x', 4096).c_str(), TEXT_UTF8), 4096);
    EXPECT_EQ(path_size(u"direct.bin"), 4100);  // pending head, then the 4096 bytes, nothing held
    EXPECT_EQ(file_write_text(file, repeated(u'y', 10000).c_str(), TEXT_UTF16), 20000);
    EXPECT_EQ(path_size(u"direct.bin"), 24100);
    file_write_text(file, u"tail", TEXT_UTF8);
    EXPECT_EQ(path_size(u"direct.bin"), 24100);
    file_close(file);
    std::string bytes = read_bytes("direct.bin");
    ASSERT_EQ(bytes.size(), 24104u);
    EXPECT_EQ(bytes.substr(0, 4), "head");
    EXPECT_EQ(bytes.substr(4100, 2), std::string("y\0", 2));
    EXPECT_EQ(bytes.substr(24100), "tail");
}

TEST_F(Files, RandomWriteSizesGiveTheSameBytesAsOneWrite) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 20; ++round) {
        ObjectNumber file = file_create(ANY_NUMBER, u"random.bin");
        std::string expected;
        for (int piece = 0; piece < 40; ++piece) {
            std::size_t size = random() % 3 == 0 ? random() % 9000 : random() % 200;
            char16_t unit = static_cast<char16_t>(u'a' + random() % 26);
            std::u16string text(size, unit);
            if (random() % 2) {
                EXPECT_EQ(file_write_text(file, text.c_str(), TEXT_UTF8), static_cast<std::int64_t>(size));
                expected += std::string(size, static_cast<char>(unit));
            } else {
                file_write_line(file, text.c_str(), TEXT_UTF8);
                expected += std::string(size, static_cast<char>(unit)) + "\r\n";
            }
        }
        file_close(file);
        ASSERT_EQ(read_bytes("random.bin"), expected) << "round " << round;
    }
}

TEST_F(Files, EveryKindOfLineEndEndsALine) {
    EXPECT_EQ(lines_of("a\r\nb\nc\rd"), (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));
    EXPECT_EQ(lines_of("\n\r\n\r"), (std::vector<std::u16string>{u"", u"", u""}));
    EXPECT_EQ(lines_of("\r\r\n"), (std::vector<std::u16string>{u"", u""}));
    EXPECT_EQ(lines_of(""), std::vector<std::u16string>{});
}

TEST_F(Files, CarriageReturnAtTheEndGivesNothingBack) {
    write_raw("cr.txt", "x\r");
    ObjectNumber file = file_read(ANY_NUMBER, u"cr.txt");
    std::int32_t p0 = temp_position();
    ASSERT_EQ(file_read_line(file, TEXT_UTF8, p0), 1);
    EXPECT_EQ(take_line(p0), u"x");
    EXPECT_NE(file_at_end(file), 0);
    // Reading at the end still yields a line: an empty one.
    ASSERT_EQ(file_read_line(file, TEXT_UTF8, p0), 1);
    EXPECT_EQ(take_line(p0), u"");
    file_close(file);
}

TEST_F(Files, NulEndsALine) {
    EXPECT_EQ(lines_of(std::string("ab\0cd\n", 6)), (std::vector<std::u16string>{u"ab", u"cd"}));
    EXPECT_EQ(lines_of(std::string("a\0\0b", 4)), (std::vector<std::u16string>{u"a", u"", u"b"}));
}

TEST_F(Files, LineEndsAcrossTheBufferBoundary) {
    // CR as the buffer's last byte and LF as the next refill's first: one line end, not two.
    std::string bytes = std::string(4095, 'p') + "\r\nq";
    EXPECT_EQ(lines_of(bytes), (std::vector<std::u16string>{repeated(u'p', 4095), u"q"}));
    // CR last in the buffer and an ordinary byte next: that byte starts the next line.
    bytes = std::string(4095, 'p') + "\rq\r\n";
    EXPECT_EQ(lines_of(bytes), (std::vector<std::u16string>{repeated(u'p', 4095), u"q"}));
    // A two-byte character split by the boundary decodes whole.
    bytes = std::string(4095, 'p') + "\xC3\xA9" + "\n";
    EXPECT_EQ(lines_of(bytes), (std::vector<std::u16string>{repeated(u'p', 4095) + u"\u00e9"}));
}

TEST_F(Files, LinesOfAnyLengthAreReadWhole) {
    std::string long_line(10000, 'L');
    EXPECT_EQ(lines_of(long_line + "\r\nshort"), (std::vector<std::u16string>{repeated(u'L', 10000), u"short"}));
    std::string huge;
    for (int i = 0; i < 300000; ++i) huge += "\xE2\x82\xAC";  // the euro sign, 900,000 bytes in one line without end
    int not_text = -1;
    std::vector<std::u16string> lines = lines_of(huge, TEXT_UTF8, &not_text);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], repeated(u'\u20ac', 300000));
    EXPECT_EQ(not_text, 0);  // decoded in pieces, each cut between characters
}

TEST_F(Files, RandomBytesSplitLikeTheByteByByteReader) {
    std::mt19937 random(77);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\0', 'z'};
    for (int round = 0; round < 30; ++round) {
        std::string bytes;
        std::size_t size = random() % 20000;
        for (std::size_t i = 0; i < size; ++i)
            bytes += random() % 50 == 0 ? alphabet[random() % 6] : static_cast<char>('a' + random() % 3);
        std::vector<std::u16string> expected;
        for (const std::string& line : reference_lines(bytes)) expected.emplace_back(line.begin(), line.end());
        ASSERT_EQ(lines_of(bytes), expected) << "round " << round;
    }
}

TEST_F(Files, Utf16LinesUseTwoByteUnits) {
    // 0x0A00 and 0x0D00 are ordinary units, not line ends; a dangling odd byte is no unit.
    std::string bytes("a\0\n\0b\0\r\0\n\0\x00\x0A\r\0c\0\x3D\xD8\x00\xDE\r\0d\0\0\0e\0", 28);
    const std::vector<std::u16string> expected = {u"a", u"b", u"\u0a00", u"c\U0001F600", u"d", u"e"};
    EXPECT_EQ(lines_of(bytes + 'X', TEXT_UTF16), expected);
    // Big-endian: the same units with their bytes the other way round, read and written.
    std::string swapped = bytes;
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    EXPECT_EQ(lines_of(swapped + 'X', TEXT_UTF16_BE), expected);
    ObjectNumber file = file_create(ANY_NUMBER, u"big.txt");
    file_write_line(file, u"\u00e9\U0001F600", TEXT_UTF16_BE);
    file_close(file);
    EXPECT_EQ(read_bytes("big.txt"), std::string("\0\xE9\xD8\x3D\xDE\x00\0\r\0\n", 10));
}

// A mark at the start says the format, and is consumed; without one nothing is.
TEST_F(Files, ByteOrderMarksAnnounceTheFormat) {
    const struct {
        std::string bytes;
        int format;
        std::vector<std::u16string> lines;
    } cases[] = {
        {"hi", TEXT_UTF8, {u"hi"}},
        {"\xEF\xBB\xBFhi", TEXT_UTF8, {u"hi"}},
        {std::string("\xFF\xFEh\0i\0", 6), TEXT_UTF16, {u"hi"}},
        {std::string("\xFE\xFF\0h\0i", 6), TEXT_UTF16_BE, {u"hi"}},
        {std::string("\xFF\xFE\0\0h\0\0\0", 8), FILE_TEXT_UNSUPPORTED, {}},
        {std::string("\0\0\xFE\xFF", 4), FILE_TEXT_UNSUPPORTED, {}},
        {"\xFF", TEXT_UTF8, {u"\ufffd"}},
        {"", TEXT_UTF8, {}},
    };
    for (const auto& c : cases) {
        write_raw("marked.txt", c.bytes);
        ObjectNumber file = file_read(ANY_NUMBER, u"marked.txt");
        ASSERT_NE(file, 0);
        const int format = file_take_byte_order_mark(file);
        EXPECT_EQ(format, c.format) << c.bytes;
        EXPECT_EQ(format == FILE_TEXT_UNSUPPORTED ? decltype(c.lines){} : all_lines(file, format), c.lines) << c.bytes;
        file_close(file);
    }
}

TEST_F(Files, Utf16UnitGivenBackAcrossARefill) {
    // A three-byte UTF-8 line first leaves the UTF-16 units at odd offsets, so the unit after
    // the CR is split between the first buffer and the next refill.
    ObjectNumber file = file_create(ANY_NUMBER, u"odd.txt");
    file_write_line(file, u"!", TEXT_UTF8);
    file_write_text(file, u"$", TEXT_UTF8);
    std::u16string first = repeated(u'k', 2045) + u"\rZ\r\nlast";
    file_write_text(file, first.c_str(), TEXT_UTF16);
    file_close(file);
    write_raw("odd.txt", "!!\n" + read_bytes("odd.txt").substr(4));
    file = file_read(ANY_NUMBER, u"odd.txt");
    std::int32_t p0 = temp_position();
    file_read_line(file, TEXT_UTF8, p0);
    EXPECT_EQ(take_line(p0), u"!!");
    EXPECT_EQ(all_lines(file, TEXT_UTF16), (std::vector<std::u16string>{repeated(u'k', 2045), u"Z", u"last"}));
    file_close(file);
}

// What does not decode is still read, as U+FFFD, and marks the file; what does, however close to
// an edge of the standard, does not. (Each kind of bad UTF-8 is in the extension reader's table.)
TEST_F(Files, BytesThatDoNotDecodeBecomeReplacementCharactersAndMarkTheFile) {
    const struct {
        std::string bytes;
        int format;
        std::vector<std::u16string> lines;
        int not_text;
    } cases[] = {
        // clang-format off
        {"a\xFF" "b\xC3\n", TEXT_UTF8, {u"a\ufffdb\ufffd"}, 1},
        {std::string("a\0", 2), TEXT_UTF8, {u"a"}, 1},
        {"\xEF\xBF\xBD\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF\xF0\x9F\x98\x80\xC2\x80", TEXT_UTF8,
         {u"\ufffd\ud7ff\ue000\U0010ffff\U0001F600\u0080"}, 0},
        {std::string("a\0\x3D\xD8\x00\xDE", 6), TEXT_UTF16, {u"a\U0001F600"}, 0},
        {std::string("a\0b", 3), TEXT_UTF16, {u"a"}, 1},  // an odd byte
        {std::string("\x00\xD8\n\0\x00\xDC", 6), TEXT_UTF16, {u"\xD800", u"\xDC00"}, 1},
        {std::string("\xD8\x3D\xDE\x00\xDC\x00", 6), TEXT_UTF16_BE, {u"\U0001F600\xDC00"}, 1},
        {std::string("\x00\xDC\x00\xDC", 4), TEXT_UTF16, {u"\xDC00\xDC00"}, 1},  // low then low is no pair
        {std::string("a\0\0\0", 4), TEXT_UTF16, {u"a"}, 1},
        // clang-format on
    };
    for (const auto& c : cases) {
        int not_text = -1;
        EXPECT_EQ(lines_of(c.bytes, c.format, &not_text), c.lines) << c.bytes;
        EXPECT_EQ(not_text, c.not_text) << c.bytes;
    }
}

TEST_F(Files, ByteOrderMarkIsAnOrdinaryCharacterForFiles) {
    EXPECT_EQ(lines_of("\xEF\xBB\xBFhi"), (std::vector<std::u16string>{u"\ufeffhi"}));
}

TEST_F(Files, ReadingAfterWritingFlushesAndContinuesBehind) {
    ObjectNumber file = file_create(ANY_NUMBER, u"rw.txt");
    file_write_line(file, u"first", TEXT_UTF8);
    EXPECT_EQ(path_size(u"rw.txt"), 0);
    EXPECT_NE(file_at_end(file), 0);     // behind the written bytes there is nothing
    EXPECT_EQ(path_size(u"rw.txt"), 7);  // the end test flushed them
    file_close(file);

    write_raw("rw.txt", "line1\r\nline2\r\nline3");
    file = file_open(ANY_NUMBER, u"rw.txt");
    std::int32_t p0 = temp_position();
    file_read_line(file, TEXT_UTF8, p0);
    EXPECT_EQ(take_line(p0), u"line1");
    // The whole file is read ahead; the write must land where reading stopped.
    file_write_text(file, u"XY", TEXT_UTF8);
    file_read_line(file, TEXT_UTF8, p0);
    EXPECT_EQ(take_line(p0), u"ne2");
    file_write_text(file, u"Z", TEXT_UTF8);
    file_read_line(file, TEXT_UTF8, p0);
    EXPECT_EQ(take_line(p0), u"ine3");
    EXPECT_NE(file_at_end(file), 0);
    file_close(file);
    EXPECT_EQ(read_bytes("rw.txt"), "line1\r\nXYne2\r\nZine3");
}

TEST_F(Files, EndTestGivesTheProbedByteBack) {
    write_raw("probe.txt", "ab\ncd");
    ObjectNumber file = file_read(ANY_NUMBER, u"probe.txt");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(file_at_end(file), 0);
    EXPECT_EQ(all_lines(file, TEXT_UTF8), (std::vector<std::u16string>{u"ab", u"cd"}));
    file_close(file);
}

TEST_F(Files, OpenCreateAndReadModes) {
    ObjectNumber file = file_open(ANY_NUMBER, u"new.txt");
    ASSERT_NE(file, 0);
    EXPECT_EQ(path_size(u"new.txt"), 0);  // created empty
    EXPECT_NE(file_at_end(file), 0);
    file_close(file);

    write_raw("keep.txt", "kept");
    file = file_open(ANY_NUMBER, u"keep.txt");
    file_write_text(file, u"K", TEXT_UTF8);  // position at the start, contents kept
    file_close(file);
    EXPECT_EQ(read_bytes("keep.txt"), "Kept");

    file = file_create(ANY_NUMBER, u"keep.txt");
    ASSERT_NE(file, 0);
    EXPECT_EQ(path_size(u"keep.txt"), 0);  // emptied
    file_close(file);

    EXPECT_EQ(file_read(ANY_NUMBER, u"missing.txt"), 0);
    EXPECT_EQ(file_open_failure(), FILE_FAILURE_MISSING);
    EXPECT_EQ(path_size(u"missing.txt"), -1);  // read-only open creates nothing

    write_raw("ro.txt", "same");
    file = file_read(ANY_NUMBER, u"ro.txt");
    ASSERT_NE(file, 0);
    EXPECT_EQ(file_open_failure(), 0);
    file_write_text(file, u"changed", TEXT_UTF8);
    EXPECT_EQ(file_sync(file), 0);  // the write could not go out, and the sync says so
    file_close(file);
    EXPECT_EQ(read_bytes("ro.txt"), "same");

    EXPECT_NE(file_create_new(ANY_NUMBER, u"fresh.txt"), 0);
    EXPECT_EQ(file_create_new(ANY_NUMBER, u"fresh.txt"), 0);  // exists now
    files_close_all();
}

TEST_F(Files, FoldersAreNotFiles) {
    ASSERT_EQ(directory_create(u"folder"), 1);
    for (auto open : {file_read, file_open, file_create}) {
        EXPECT_EQ(open(ANY_NUMBER, u"folder"), 0);
        EXPECT_EQ(file_open_failure(), FILE_FAILURE_NOT_REGULAR);
    }
    EXPECT_EQ(file_create(ANY_NUMBER, u""), 0);
    EXPECT_EQ(file_create(ANY_NUMBER, nullptr), 0);
    EXPECT_EQ(path_size(u"folder"), -2);
}

TEST_F(Files, ReadingTakesOnlyRegularFiles) {
    ASSERT_EQ(::mkfifo("pipe", 0666), 0);
    // In a child with an alarm: a reader waiting for the pipe's writer would hang there, and the
    // test would still end and clean up.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(10);
        ::_exit(file_read(ANY_NUMBER, u"pipe") == 0 && file_open_failure() == FILE_FAILURE_NOT_REGULAR ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the open waited on the pipe";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(file_read(ANY_NUMBER, u"/dev/zero"), 0);
    EXPECT_EQ(file_open_failure(), FILE_FAILURE_NOT_REGULAR);
    write_raw("plain.txt", "ok");
    ObjectNumber file = file_read(ANY_NUMBER, u"plain.txt");
    ASSERT_NE(file, 0);
    EXPECT_EQ(all_lines(file, TEXT_UTF8), std::vector<std::u16string>{u"ok"});
    file_close(file);
}

TEST_F(Files, WhatThisUserMayNotReadIsRefused) {
    if (rerun_unprivileged()) return;
    write_raw("locked.txt", "secret");
    ASSERT_EQ(::chmod("locked.txt", 0), 0);
    ASSERT_EQ(directory_create(u"closed"), 1);
    write_raw("closed/inside.txt", "secret");
    ASSERT_EQ(::chmod("closed", 0), 0);
    ASSERT_EQ(::symlink("loop", "loop"), 0);
    for (const char16_t* path : {u"locked.txt", u"closed/inside.txt", u"loop"}) {
        EXPECT_EQ(file_read(ANY_NUMBER, path), 0);
        EXPECT_EQ(file_open_failure(), FILE_FAILURE_REFUSED);
    }
    ASSERT_EQ(::chmod("closed", 0700), 0);
}

TEST_F(Files, ReadErrorsAreToldApartFromTheEnd) {
    // Reading this process's memory from address 0 fails with an I/O error.
    ObjectNumber failing = file_read(ANY_NUMBER, u"/proc/self/mem");
    ASSERT_NE(failing, 0);
    EXPECT_NE(file_at_end(failing), 0);
    EXPECT_EQ(file_read_failed(failing), 1);
    file_close(failing);
    write_raw("plain.txt", "one line");
    ObjectNumber plain = file_read(ANY_NUMBER, u"plain.txt");
    EXPECT_EQ(all_lines(plain, TEXT_UTF8), std::vector<std::u16string>{u"one line"});
    EXPECT_EQ(file_read_failed(plain), 0);
    file_close(plain);
    EXPECT_EQ(file_read_failed(5), 0);  // no such file
}

TEST_F(Files, LinesTheAreaCannotHoldAreReadPastAndRefused) {
    std::int32_t p0 = temp_position();
    AreaLimit limit(p0 + 2 * 1000 + 5);
    ASSERT_EQ(temp_room(p0), 1000);
    // UTF-8 takes up to three bytes a unit, so only decoding can tell whether a line of more
    // bytes than units of room still fits.
    std::string fits_exactly(1000, 'a'), one_too_many(1001, 'b'), two_bytes_each, three_bytes_each,
        past_buffer(5000, 'c');
    for (int i = 0; i < 1000; ++i) two_bytes_each += "\xC3\xA9";
    for (int i = 0; i < 1001; ++i) three_bytes_each += "\xE2\x82\xAC";
    write_raw("long.txt", fits_exactly + "\n" + one_too_many + "\n" + two_bytes_each + "\r\n" + three_bytes_each +
                              "\r" + past_buffer + "\nlast");
    ObjectNumber file = file_read(ANY_NUMBER, u"long.txt");
    std::vector<std::pair<int, std::u16string>> lines;
    while (!file_at_end(file)) {
        int placed = file_read_line(file, TEXT_UTF8, p0);
        lines.emplace_back(placed, placed ? take_line(p0) : u"<refused>");
        EXPECT_EQ(temp_position(), p0);
    }
    file_close(file);
    EXPECT_EQ(lines, (std::vector<std::pair<int, std::u16string>>{{1, std::u16string(1000, u'a')},
                                                                  {0, u"<refused>"},
                                                                  {1, std::u16string(1000, u'\u00e9')},
                                                                  {0, u"<refused>"},
                                                                  {0, u"<refused>"},
                                                                  {1, u"last"}}));
    // UTF-16 counts two bytes a unit.
    write_raw("wide.txt", std::string(2002, 'w') + std::string("\n\0", 2) + std::string(2000, 'v'));
    file = file_read(ANY_NUMBER, u"wide.txt");
    EXPECT_EQ(file_read_line(file, TEXT_UTF16, p0), 0);
    EXPECT_EQ(file_read_line(file, TEXT_UTF16, p0), 1);
    EXPECT_EQ(take_line(p0), std::u16string(1000, u'\u7676'));
    file_close(file);
}

TEST_F(Files, ARefusedLineIsReadPastWithoutBeingHeldInMemory) {
    {
        std::ofstream out("huge.txt", std::ios::binary);
        std::string mebibyte(1 << 20, 'h');
        for (int i = 0; i < 64; ++i) out << mebibyte;
        out << "\nafter";
    }
    // In a child, whose peak memory starts at what it holds now.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::int32_t p0 = temp_position();
        AreaLimit limit(p0 + 2 * 1000 + 5);
        ObjectNumber file = file_read(ANY_NUMBER, u"huge.txt");
        long pages = 0, resident = 0;
        std::ifstream("/proc/self/statm") >> pages >> resident;
        bool refused = file_read_line(file, TEXT_UTF8, p0) == 0;
        bool next = file_read_line(file, TEXT_UTF8, p0) == 1 && take_line(p0) == u"after";
        struct rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        long grown_kib = usage.ru_maxrss - resident * (::sysconf(_SC_PAGESIZE) / 1024);
        ::_exit(refused && next && grown_kib < 16 * 1024 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST_F(Files, LongLinesDecodeInPiecesAsAWhole) {
    // More bytes than the room has units, but not more units. Decoded in pieces of 65536 bytes,
    // whose ends fall in a run of stray continuation bytes and inside four-byte characters.
    std::string bytes = "x";
    std::u16string expected = u"x";
    for (int i = 0; i < 32767; ++i, expected += u"\u00e9") bytes += "\xC3\xA9";
    for (int i = 0; i < 70000; ++i, expected += u"\ufffd") bytes += "\x80";
    for (int i = 0; i < 20000; ++i, expected += u"\U0001F600") bytes += "\xF0\x9F\x98\x80";
    std::int32_t p0 = temp_position();
    AreaLimit limit(p0 + 2 * static_cast<std::int32_t>(expected.size()) + 5);
    ASSERT_LT(temp_room(p0), static_cast<std::int32_t>(bytes.size()));
    std::vector<std::u16string> lines = lines_of(bytes);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0] == expected);
}

TEST_F(Files, FailedOpenKeepsNoRecord) {
    std::size_t blocks = heap_block_count(runtime_heap());
    EXPECT_EQ(file_read(ANY_NUMBER, u"nowhere/x.txt"), 0);
    EXPECT_EQ(file_create(ANY_NUMBER, u"nowhere/x.txt"), 0);
    EXPECT_EQ(heap_block_count(runtime_heap()), blocks);
    EXPECT_EQ(file_create(5, u"nowhere/x.txt"), 0);
    EXPECT_EQ(file_write_text(5, u"x", TEXT_UTF8), 0);  // the slot holds a free record
    EXPECT_EQ(file_create(-5, u"negative.txt"), 0);     // no such number: nothing is created
    EXPECT_EQ(path_size(u"negative.txt"), -1);
}

TEST_F(Files, NumberedFilesAndReuseOfANumber) {
    ObjectNumber handle = file_create(3, u"first.txt");
    ASSERT_NE(handle, 0);
    EXPECT_NE(::fcntl(static_cast<int>(handle), F_GETFD), -1);  // an open descriptor
    EXPECT_EQ(file_write_text(3, u"pending", TEXT_UTF8), 7);
    EXPECT_EQ(path_size(u"first.txt"), 0);
    ASSERT_NE(file_create(3, u"second.txt"), 0);  // closes, and so flushes, the first file
    EXPECT_EQ(read_bytes("first.txt"), "pending");
    file_write_text(3, u"two", TEXT_UTF8);
    file_close(3);
    EXPECT_EQ(read_bytes("second.txt"), "two");
    // A closed number is silent everywhere.
    std::int32_t p0 = temp_position();
    EXPECT_EQ(file_write_text(3, u"x", TEXT_UTF8), 0);
    EXPECT_EQ(file_write_line(3, u"x", TEXT_UTF8), 0);
    EXPECT_EQ(file_read_line(3, TEXT_UTF8, p0), 0);
    EXPECT_EQ(temp_position(), p0);
    EXPECT_EQ(file_at_end(3), 0);
    EXPECT_EQ(file_sync(3), 0);
    file_close(3);
    file_close(ANY_NUMBER);
    EXPECT_EQ(file_write_text(ANY_NUMBER, u"x", TEXT_UTF8), 0);
}

TEST_F(Files, CloseAllWritesEveryPendingOutput) {
    ObjectNumber dynamic_file = file_create(ANY_NUMBER, u"a.txt");
    file_create(7, u"b.txt");
    file_write_text(dynamic_file, u"alpha", TEXT_UTF8);
    file_write_text(7, u"beta", TEXT_UTF8);
    files_close_all();
    EXPECT_EQ(read_bytes("a.txt"), "alpha");
    EXPECT_EQ(read_bytes("b.txt"), "beta");
    EXPECT_EQ(file_write_text(7, u"x", TEXT_UTF8), 0);
}

TEST_F(Files, SyncReportsSuccessForACompleteFile) {
    ObjectNumber file = file_create(ANY_NUMBER, u"sync.txt");
    file_write_line(file, u"safe", TEXT_UTF8);
    EXPECT_EQ(file_sync(file), 1);
    EXPECT_EQ(path_size(u"sync.txt"), 6);  // on the system before the close
    file_close(file);
}

TEST_F(Files, FileSizeLimitFailsTheWriteInsteadOfEndingTheProcess) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit = {1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ObjectNumber file = file_create(ANY_NUMBER, u"limited.bin");
        std::int64_t written = file_write_text(file, std::u16string(5000, u'w').c_str(), TEXT_UTF8);
        int synced = file_sync(file);
        file_close(file);
        // 0 only when the short write was seen and reported.
        ::_exit(written < 5000 && synced == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_LE(path_size(u"limited.bin"), 1000);
}

TEST_F(Files, LongTextsAreConvertedInPiecesWithoutSplittingACharacter) {
    // Pieces of 32768 units: put a surrogate pair and a lone surrogate across the first seams.
    std::u16string text =
        repeated(u'a', 32767) + u"\U0001F600" + repeated(u'b', 32766) + u"\xD800" + repeated(u'c', 40000);
    std::string expected = std::string(32767, 'a') + "\xF0\x9F\x98\x80" + std::string(32766, 'b') + "\xEF\xBF\xBD" +
                           std::string(40000, 'c');
    ObjectNumber file = file_create(ANY_NUMBER, u"pieces.txt");
    file_write_text(file, u"x", TEXT_UTF8);
    EXPECT_EQ(file_write_text(file, text.c_str(), TEXT_UTF8), static_cast<std::int64_t>(expected.size()));
    // Like one large write: nothing of it waits in the buffer.
    EXPECT_EQ(path_size(u"pieces.txt"), static_cast<std::int64_t>(expected.size()) + 1);
    file_close(file);
    EXPECT_EQ(read_bytes("pieces.txt"), "x" + expected);
    std::vector<std::u16string> lines = lines_of("x" + expected);
    ASSERT_EQ(lines.size(), 1u);
    std::u16string back = text;
    back[32767 + 2 + 32766] = u'\ufffd';
    EXPECT_EQ(lines[0], u"x" + back);
}
