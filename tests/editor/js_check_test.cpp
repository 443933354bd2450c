/** @file js_check_test.cpp
 * The syntax check against `node --check`: for each broken snippet, node's line and ours, and both
 * columns in the token we expect; the main scripts of widely used npm packages get no error. */
#include "editor/check/js_check.h"
#include "editor_support.h"

#include <QList>
#include <QString>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <pthread.h>
#include <unistd.h>

namespace {

struct Broken {
    const char* code;
    int line;            // 1-based
    const char* token;   // the token at fault on that line; "" is the line's end
    int occurrence = 1;  // of the token's text on the line
};

// clang-format off
const Broken broken[] = {
    // brackets missing or left over
    {"foo(1, 2;\n", 1, "2"}, {"var x = foo(1, 2\nvar y = 3;\n", 1, "2"}, {"alert(\"hi\";\n", 1, "\"hi\""},
    {"if (a {\n  b();\n}\n", 1, "{"}, {"for (var i = 0; i < 3; i++ {\n}\n", 1, "{"}, {"var x = (1 + 2;\n", 1, ";"},
    {"var a = [1, 2, 3;\n", 1, ";"}, {"var o = { a: [1, 2 };\n", 1, "}"}, {"var o = {a: 1;\n", 1, ";"},
    {"function f() {\n  return 1;\n", 3, ""}, {"var a = 1;\nif (a) {", 2, ""}, {"var a = (1 + 2));\n", 1, ")", 2},
    {"var a = 1;\n}\nvar b = 2;\n", 2, "}"}, {"function f() {\n  return 1;\n}\n}\n", 4, "}"}, {"f();\n\n  }\n", 3, "}"},
    // regular expressions
    {"var r = /a(/;\n", 1, "/a(/"}, {"var r = /+/;\n", 1, "/+/"}, {"var r = /a/gg;\n", 1, "/a/gg"},
    {"var r = /abc\n;\n", 1, "/abc"}, {"var r = /a{2,1}/u;\n", 1, "/a{2,1}/u"},
    // names declared twice, await outside async, reserved words as names
    {"let a;\nlet a = 2;\n", 2, "a"}, {"const b = 1;\nvar b;\n", 2, "b"}, {"try {} catch (e) { let e; }", 1, "e", 3},
    {"function f() {\n  await g();\n}\n", 2, "await"}, {"class A {\n  m() { await x; }\n}\n", 2, "await"},
    {"var class = 1;\n", 1, "class"}, {"function f(new) {}\n", 1, "new"}, {"'use strict';\nvar let = 1;\n", 2, "let"},
    // strings and templates left open or broken
    {"var s = \"abc;\nx;\n", 1, "\"abc;"}, {"var s = 'it\\'s;\n", 1, "'it\\'s;"}, {"var a;\nvar b = 'x", 2, "'x"},
    {"var t = `abc ${x}\nvar u = 1;\n", 3, ""}, {"var t = `\\u{zz}`;\n", 1, "`\\u{zz}`"},
    // after multi-byte characters (two, three and four bytes), and after CR LF
    {"s = \"h\xC3\xA9ll\xC3\xB6\"; t = 1 +* 2;\n", 1, "*"}, {"var \xC3\xA9 = 1; let \xC3\xA9;\n", 1, "\xC3\xA9", 2},
    {"// \xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\nvar \xD0\xBA = 1; \xD0\xBA +* 2;\n", 2, "*"},
    {"s = '\xE6\x97\xA5\xE6\x9C\xAC'; t = 'x' 'y';\n", 1, "'y'"}, {"var a = 1;\r\nvar b = (;\r\n", 2, ";"},
    {"s = \"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\"; t = 1 +* 2;\n", 1, "*"}, {"var n = 1.5n;\n", 1, "1.5n"},
    // on the last line, and others
    {"var a = 1;\nvar b = 2;\nvar c = ;", 3, ";"}, {"x = 1 +", 1, ""}, {"const c;\n", 1, "c", 2},
    {"function f() {\n  if (x) {\n    while (y) {\n      z(;\n    }\n  }\n}\n", 4, ";"}, {"x;\nbreak;\n", 2, "break"},
    {"var x = a ?? b || c;\n", 1, "||"},
};
// clang-format on

int code_points(const QString& text) { return static_cast<int>(text.toUcs4().size()); }

// The token's columns on its line, 1-based, [first, last].
std::pair<int, int> token_columns(const Broken& b) {
    QString line = QString::fromUtf8(b.code).section('\n', b.line - 1, b.line - 1);
    if (line.endsWith('\r')) line.chop(1);
    const QString token = QString::fromUtf8(b.token);
    qsizetype at = token.isEmpty() ? line.size() : line.indexOf(token);
    for (int n = 1; n < b.occurrence && at >= 0; ++n) at = line.indexOf(token, at + 1);
    if (at < 0) return {0, -1};
    const int first = code_points(line.left(at)) + 1;
    return {first, first + std::max(code_points(token) - 1, 0)};
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

// node's line and column (1-based, in code points). It reports "<file>:<line>", the source line,
// then a caret under the token at fault, indented in UTF-16 units.
std::pair<int, int> node_check(const std::string& code) {
    const std::string path = ::testing::TempDir() + "qem-js-check-" + std::to_string(getpid()) + ".js";
    std::ofstream(path, std::ios::binary) << code;
    std::istringstream out(run("node --check '" + path + "' 2>&1"));
    std::remove(path.c_str());
    std::string head, source, caret;
    std::getline(std::getline(std::getline(out, head), source), caret);
    if (head.compare(0, path.size(), path) != 0) return {0, 0};
    const auto units = static_cast<qsizetype>(std::min(caret.find('^'), caret.size()));
    return {std::atoi(head.c_str() + path.size() + 1), code_points(QString::fromUtf8(source).left(units)) + 1};
}

class JsCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite() { context_ = js_check_context_create(); }
    static void TearDownTestSuite() { js_check_context_free(context_); }
    void SetUp() override { ASSERT_NE(context_, nullptr); }
    static inline JsCheckContext* context_ = nullptr;
};

TEST_F(JsCheck, EachErrorIsOnNodesLineAndInItsToken) {
    const bool node = have_node();
    for (const Broken& b : broken) {
        SCOPED_TRACE(b.code);
        JsSyntaxError error;
        ASSERT_EQ(js_check(context_, b.code, &error), JsCheckOutcome::ERROR);
        const auto [first, last] = token_columns(b);
        ASSERT_LE(first, last) << "no token " << b.token << " on line " << b.line;
        EXPECT_EQ(error.line, b.line) << error.message;
        EXPECT_TRUE(error.column >= first && error.column <= last)
            << "column " << error.column << " outside " << first << ".." << last << ": " << error.message;
        if (!node) continue;
        const auto [node_line, node_column] = node_check(b.code);
        EXPECT_EQ(node_line, b.line);
        EXPECT_TRUE(node_column >= first && node_column <= last) << "node's column " << node_column;
    }
    if (!node) GTEST_SKIP() << "node is not installed: our own results were checked, node's were not";
}

// Nesting deeper than the stack allows is an error of the code, never a crash of the editor, also
// on a thread with a stack smaller than the engine's own default limit.
TEST_F(JsCheck, NestingTooDeepForTheThreadsStackIsAnError) {
    static JsCheckOutcome outcome;
    static JsSyntaxError error;
    const auto body = [](void*) -> void* {
        JsCheckContext* context = js_check_context_create();
        outcome = js_check(context, std::string(100000, '[') + std::string(100000, ']'), &error);
        js_check_context_free(context);
        return nullptr;
    };
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 512 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, body, nullptr), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(outcome, JsCheckOutcome::ERROR);
    EXPECT_EQ(error.line, 1);
}

// Recent syntax, and the main scripts of npm packages. CI fetches the scripts
// (bench/fetch_npm_scripts.sh) and sets QEM_REQUIRE_NPM_INPUTS, so that there the test never skips.
TEST_F(JsCheck, CleanCodeAndTheMainScriptsOfNpmPackagesHaveNoError) {
    JsSyntaxError error;
    for (const char* code : {"", "\n", "var a = 1;\r\nlet b = `x${a}`;\n", "label: for (;;) { break label; }",
                             "async function f() { for await (const x of y) await x; }\n",
                             "class A { #p = 1; static { this.q = 2; } get p() { return this.#p; } }\n",
                             "var s = '\xE2\x80\xA8'; // a line separator inside a string\nx = 1;\n"})
        EXPECT_EQ(js_check(context_, code, &error), JsCheckOutcome::CLEAN) << code << ": " << error.message;
    std::ifstream list(std::string(QEM_SOURCE_DIR) + "/bench/npm_scripts.txt");
    const bool node = have_node();
    int checked = 0;
    for (std::string entry, package, version, path; std::getline(list, entry);) {
        if (!(std::istringstream(entry) >> package >> version >> path) || package[0] == '#') continue;
        const std::string file = npm_input_path(package + "-" + version + "/package/" + path);
        std::ifstream in(file, std::ios::binary);
        if (!in && std::getenv("QEM_REQUIRE_NPM_INPUTS")) ADD_FAILURE() << file << " is missing";
        if (!in) continue;
        EXPECT_EQ(js_check(context_, std::string(std::istreambuf_iterator<char>(in), {}), &error),
                  JsCheckOutcome::CLEAN)
            << file << ":" << error.line << ":" << error.column << ": " << error.message;
        EXPECT_TRUE(!node || run("node --check '" + file + "' 2>&1").empty()) << file;
        ++checked;
    }
    if (checked < 5) GTEST_SKIP() << "run bench/fetch_npm_scripts.sh to fetch the scripts (" << checked << " here)";
}

}  // namespace
