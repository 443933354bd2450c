/** @file js_check_test.cpp
 * The syntax check against a checker nobody here wrote: for each broken snippet, our line is the
 * one `node --check` reports and our column falls in the same token (the token is our own expected
 * result); the main scripts of widely used npm packages, which node accepts, get no error. */
#include "editor/js_check.h"
#include "editor/syntax_check.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <pthread.h>
#include <unistd.h>

namespace {

struct Broken {
    const char* what;
    const char* code;
    int line;           // 1-based
    const char* token;  // the token at fault on that line; "" is the line's end
    int occurrence = 1;
};

// clang-format off
const Broken broken[] = {
    {"missing ) after the arguments", "foo(1, 2;\n", 1, "2"},
    {"missing ) with the next line", "var x = foo(1, 2\nvar y = 3;\n", 1, "2"},
    {"missing ) after a string argument", "alert(\"hi\";\n", 1, "\"hi\""},
    {"missing ) in an if", "if (a {\n  b();\n}\n", 1, "{"},
    {"missing ) in a while", "while (true {\n}\n", 1, "{"},
    {"missing ) in a for", "for (var i = 0; i < 3; i++ {\n}\n", 1, "{"},
    {"missing ) in parentheses", "var x = (1 + 2;\n", 1, ";"},
    {"missing ]", "var a = [1, 2, 3;\n", 1, ";"},
    {"missing ] in an object", "var o = { a: [1, 2 };\n", 1, "}"},
    {"missing } of an object", "var o = {a: 1;\n", 1, ";"},
    {"missing } of a function", "function f() {\n  return 1;\n", 3, ""},
    {"missing } on the last line", "var a = 1;\nif (a) {", 2, ""},
    {"stray } after a statement", "var a = 1;\n}\nvar b = 2;\n", 2, "}"},
    {"stray } after a function", "function f() {\n  return 1;\n}\n}\n", 4, "}"},
    {"stray } after blank lines", "f();\n\n  }\n", 3, "}"},
    {"stray )", "var a = (1 + 2));\n", 1, ")", 2},
    {"regular expression with an open group", "var r = /a(/;\n", 1, "/a(/"},
    {"regular expression with nothing to repeat", "var r = /+/;\n", 1, "/+/"},
    {"regular expression flag twice", "var r = /a/gg;\n", 1, "/a/gg"},
    {"regular expression left open", "var r = /abc\n;\n", 1, "/abc"},
    {"regular expression quantifier out of order", "var r = /a{2,1}/u;\n", 1, "/a{2,1}/u"},
    {"let declared twice", "let a = 1;\nlet a = 2;\n", 2, "a"},
    {"var after const", "const b = 1;\nvar b;\n", 2, "b"},
    {"let over a catch parameter", "try {} catch (e) { let e; }\n", 1, "e", 2},
    {"await in a function", "function f() {\n  await g();\n}\n", 2, "await"},
    {"await in a method", "class A {\n  m() { await x; }\n}\n", 2, "await"},
    {"string left open", "var s = \"abc;\nvar t = 1;\n", 1, "\"abc;"},
    {"string with an escaped quote left open", "var s = 'it\\'s;\n", 1, "'it\\'s;"},
    {"string open at the end", "var a = 1;\nvar b = 'x", 2, "'x"},
    {"template left open", "var t = `abc ${x}\nvar u = 1;\n", 3, ""},
    {"template with a bad escape", "var t = `\\u{zz}`;\n", 1, "`\\u{zz}`"},
    {"class as a variable", "var class = 1;\n", 1, "class"},
    {"if as a function name", "function if() {}\n", 1, "if"},
    {"new as a parameter", "function f(new) {}\n", 1, "new"},
    {"let in strict code", "\"use strict\";\nvar let = 1;\n", 2, "let"},
    {"enum as a variable", "var enum = 1;\n", 1, "enum"},
    {"error on the last line", "var a = 1;\nvar b = 2;\nvar c = ;", 3, ";"},
    {"expression cut off at the end", "x = 1 +", 1, ""},
    {"after accented letters", "var s = \"h\xC3\xA9llo w\xC3\xB6rld\"; var t = 1 +* 2;\n", 1, "*"},
    {"after characters beyond the BMP", "var s = \"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\"; var t = 1 +* 2;\n", 1, "*"},
    {"after a Cyrillic name", "// \xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\nvar \xD0\xBA = 1; \xD0\xBA +* 2;\n", 2, "*"},
    {"accented name declared twice", "var \xC3\xA9 = 1; let \xC3\xA9;\n", 1, "\xC3\xA9", 2},
    {"two strings in a row after CJK", "var s = '\xE6\x97\xA5\xE6\x9C\xAC'; var t = 'x' 'y';\n", 1, "'y'"},
    {"deep in a function", "function f() {\n  if (x) {\n    while (y) {\n      z(;\n    }\n  }\n}\n", 4, ";"},
    {"CR LF line ends", "var a = 1;\r\nvar b = (;\r\n", 2, ";"},
    {"break outside a loop", "var a = 1;\nbreak;\n", 2, "break"},
    {"const without a value", "const c;\n", 1, "c"},
    {"?? mixed with ||", "var x = a ?? b || c;\n", 1, "||"},
    {"two defaults in a switch", "switch (x) {\n  default: 1;\n  default: 2;\n}\n", 3, "default"},
    {"fraction as a BigInt", "var n = 1.5n;\n", 1, "1.5n"},
};
// clang-format on

std::string line_of(const std::string& code, int line) {
    std::istringstream lines(code);
    std::string text;
    for (int i = 0; i < line && std::getline(lines, text);) ++i;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

int code_points(const std::string& utf8, std::size_t bytes) {
    int count = 0;
    for (std::size_t i = 0; i < bytes && i < utf8.size(); ++i)
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) ++count;
    return count;
}

bool is_name_byte(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c & 0x80; }

// Where the token stands in the line, as a token: a name is not part of a longer name.
std::size_t find_token(const std::string& line, const std::string& token, std::size_t from) {
    for (std::size_t at = line.find(token, from); at != std::string::npos; at = line.find(token, at + 1)) {
        const bool joined_before = at > 0 && is_name_byte(line[at - 1]) && is_name_byte(token.front());
        const std::size_t end = at + token.size();
        const bool joined_after = end < line.size() && is_name_byte(line[end]) && is_name_byte(token.back());
        if (!joined_before && !joined_after) return at;
    }
    return std::string::npos;
}

// The token's columns on its line, 1-based, [first, last].
std::pair<int, int> token_columns(const std::string& line, const Broken& b) {
    if (!*b.token) {
        const int end = code_points(line, line.size()) + 1;
        return {end, end};
    }
    std::size_t at = std::string::npos;
    for (int n = 0; n < b.occurrence; ++n) at = find_token(line, b.token, at == std::string::npos ? 0 : at + 1);
    if (at == std::string::npos) return {0, -1};
    const int first = code_points(line, at) + 1;
    return {first, first + code_points(b.token, std::string(b.token).size()) - 1};
}

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

bool have_node() { return run("command -v node").find("node") != std::string::npos; }

// A file of the test's own, removed at the end.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& code) {
        char name[] = "/tmp/qem-js-check-XXXXXX.js";
        const int fd = mkstemps(name, 3);
        path_ = name;
        std::ofstream(path_, std::ios::binary) << code;
        if (fd >= 0) close(fd);
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;  // owns a file
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// node's report: "<file>:<line>", the source line, then a caret under the token at fault. The
// caret's offset counts UTF-16 units; the result is the 1-based column in code points.
struct NodeReport {
    int line = 0;
    int column = 0;
};
NodeReport node_check(const std::string& code) {
    ScratchFile file(code);
    std::istringstream out(run("node --check '" + file.path() + "' 2>&1"));
    std::string head, source, caret;
    std::getline(out, head);
    std::getline(out, source);
    std::getline(out, caret);
    NodeReport report;
    const std::size_t colon = head.rfind(':');
    if (head.compare(0, file.path().size(), file.path()) != 0 || colon == std::string::npos) return report;
    report.line = std::atoi(head.c_str() + colon + 1);
    const std::size_t units = caret.find('^') == std::string::npos ? caret.size() : caret.find('^');
    std::size_t unit = 0, byte = 0;
    while (byte < source.size() && unit < units) {
        const auto lead = static_cast<unsigned char>(source[byte]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        unit += length == 4 ? 2 : 1;
        byte += length;
    }
    report.column = code_points(source, byte) + 1;
    return report;
}

class JsCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite() { context_ = js_check_context_create(); }
    static void TearDownTestSuite() {
        js_check_context_free(context_);
        context_ = nullptr;
    }
    static JsCheckContext* context_;
};
JsCheckContext* JsCheck::context_ = nullptr;

TEST_F(JsCheck, EachErrorIsOnNodesLineAndInItsToken) {
    ASSERT_NE(context_, nullptr);
    const bool node = have_node();
    for (const Broken& b : broken) {
        SCOPED_TRACE(b.what);
        JsSyntaxError error;
        ASSERT_EQ(js_check(context_, b.code, &error), JsCheckOutcome::ERROR);
        EXPECT_FALSE(error.message.empty());
        const auto [first, last] = token_columns(line_of(b.code, b.line), b);
        ASSERT_LE(first, last) << "no token " << b.token << " on line " << b.line;
        EXPECT_EQ(error.line, b.line) << error.message;
        EXPECT_TRUE(error.column >= first && error.column <= last)
            << "column " << error.column << " outside " << first << ".." << last << ": " << error.message;
        if (!node) continue;
        const NodeReport report = node_check(b.code);
        EXPECT_EQ(report.line, b.line);
        EXPECT_TRUE(report.column >= first && report.column <= last)
            << "node's column " << report.column << " outside " << first << ".." << last;
    }
    if (!node) GTEST_SKIP() << "node is not installed: our own results were checked, node's were not";
}

TEST_F(JsCheck, CleanCodeAndNestingTooDeepToCompile) {
    ASSERT_NE(context_, nullptr);
    JsSyntaxError error;
    for (const char* code : {"", "\n", "var a = 1;\r\nlet b = `x${a}`;\n", "label: for (;;) { break label; }",
                             "async function f() { for await (const x of y) await x; }\n",
                             "class A { #p = 1; static { this.q = 2; } get p() { return this.#p; } }\n",
                             "var s = '\xE2\x80\xA8'; // a line separator inside a string\nx = 1;\n"})
        EXPECT_EQ(js_check(context_, code, &error), JsCheckOutcome::CLEAN) << code << ": " << error.message;
}

// Nesting deeper than the stack allows is an error of the code, never a crash of the editor, also
// on a thread with a stack smaller than the engine's own default limit.
TEST_F(JsCheck, NestingTooDeepForTheThreadsStackIsAnError) {
    struct Run {
        JsCheckOutcome outcome = JsCheckOutcome::CLEAN;
        JsSyntaxError error;
    } result;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 512 * 1024);
    pthread_t thread;
    auto body = [](void* data) -> void* {
        auto* run = static_cast<Run*>(data);
        JsCheckContext* context = js_check_context_create();
        const std::string deep = std::string(100000, '[') + std::string(100000, ']');
        run->outcome = js_check(context, deep, &run->error);
        js_check_context_free(context);
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, body, &result), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(result.outcome, JsCheckOutcome::ERROR);
    EXPECT_EQ(result.error.line, 1);
}

// CI fetches the scripts (bench/fetch_npm_scripts.sh) and sets QEM_REQUIRE_NPM_INPUTS, so that
// there the test never skips.
TEST_F(JsCheck, MainScriptsOfNpmPackagesHaveNoError) {
    ASSERT_NE(context_, nullptr);
    std::ifstream list(std::string(QEM_SOURCE_DIR) + "/bench/npm_scripts.txt");
    std::string package, version, path;
    int checked = 0;
    const bool node = have_node();
    while (list >> package) {
        if (package[0] == '#') {
            std::getline(list, path);
            continue;
        }
        list >> version >> path;
        const std::string file =
            std::string(QEM_SOURCE_DIR) + "/bench/.cache/" + package + "-" + version + "/package/" + path;
        if (!std::filesystem::exists(file)) {
            if (std::getenv("QEM_REQUIRE_NPM_INPUTS")) ADD_FAILURE() << file << " is missing";
            continue;
        }
        std::ifstream in(file, std::ios::binary);
        const std::string code((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        JsSyntaxError error;
        EXPECT_EQ(js_check(context_, code, &error), JsCheckOutcome::CLEAN)
            << file << ":" << error.line << ":" << error.column << ": " << error.message;
        if (node) {
            EXPECT_EQ(run("node --check '" + file + "' 2>&1"), "") << file;
        }
        ++checked;
    }
    if (checked < 5) GTEST_SKIP() << "run bench/fetch_npm_scripts.sh to fetch the scripts (" << checked << " here)";
}

std::atomic<int> wakes{0};

// The checker's thread answers with the generation of the text it checked, wakes its owner, and
// keeps only the latest answer.
TEST(SyntaxCheckerThread, AnswersWithTheGenerationAndWakesItsOwner) {
    SyntaxChecker checker([] { ++wakes; });
    const auto answer_to = [&](std::uint64_t generation) {
        SyntaxCheckAnswer answer;
        for (int waited = 0; waited < 2000; ++waited) {
            if (checker.take(&answer) && answer.generation == generation) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return answer;
    };
    std::string big;
    for (int i = 0; i < 100000; ++i) big += "var a" + std::to_string(i) + " = [1, 2, 3];\n";
    checker.post(std::make_shared<std::string>(big + "}"), 1);
    checker.post(std::make_shared<std::string>("ok();"), 2);
    SyntaxCheckAnswer answer = answer_to(2);
    EXPECT_EQ(answer.generation, 2u);
    EXPECT_EQ(answer.outcome, JsCheckOutcome::CLEAN);
    EXPECT_GE(wakes.load(), 1);
    EXPECT_FALSE(checker.take(&answer));
    checker.post(std::make_shared<std::string>("\nf(;"), 3);
    answer = answer_to(3);
    EXPECT_EQ(answer.outcome, JsCheckOutcome::ERROR);
    EXPECT_EQ(answer.error.line, 2);
    EXPECT_EQ(answer.error.column, 3);
}

}  // namespace
