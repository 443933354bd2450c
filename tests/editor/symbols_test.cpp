// The symbol index: what each form of declaration gives (kind, name, container, line, column),
// what hides a name from it (strings, templates, regular expressions, comments), how broken code
// loses only what it breaks; and, held against acorn run by node, the symbols of npm scripts.
// Go to Symbol's filter: how a name matches a query, and the order of the matches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "editor/names/symbol_filter.h"
#include "editor/names/symbols.h"
#include "editor_support.h"

namespace {

// "kind name<container> line:column" for each symbol, 1-based line, 0-based byte column.
std::string listed(const std::string& code) {
    const auto index = symbol_index_build(code.data(), code.size());
    std::string out;
    for (std::size_t i = 0; i < index->size(); ++i) {
        const Symbol s = index->at(i);
        EXPECT_EQ(code.compare(s.position, s.name.size(), s.name), 0) << s.name << " is not at its position";
        if (!out.empty()) out += "; ";
        out += std::string(symbol_kind_text(s.kind)) + " " + std::string(s.name);
        if (!s.container.empty()) out += "<" + std::string(s.container) + ">";
        out += " " + std::to_string(s.line + 1) + ":" + std::to_string(s.column);
    }
    return out;
}

struct Case {
    const char* code;
    const char* symbols;
};

// clang-format off
const Case cases[] = {
    // declarations and names bound to functions, arrows and classes
    {"function f() {}\nasync function g() {}\nfunction* h() {}", "function f 1:9; function g 2:15; function h 3:10"},
    {"var a = function () {}, b = () => 1;\nlet c = async x => x;\nconst D = class {};",
     "function a 1:4; function b 1:24; function c 2:4; class D 3:6"},
    {"f = function () {};\nobj.g = function () {};\nX.prototype.h = function () {};\na.b.c = () => {};",
     "function f 1:0; function g<obj> 2:4; function h<X> 3:12; function c<a.b> 4:4"},
    {"o[\"k\"] = function () {};\nv ||= () => 0;", "function k<o> 1:3; function v 2:0"},
    // object literals: members take the object's name, wherever it is bound
    {"var o = {\n  f: function () {},\n  g() {},\n  get h() { return 1; },\n  set h(v) {},\n  'q': () => 0,\n  [\"r\"]: x => x,\n};",
     "method f<o> 2:2; method g<o> 3:2; get h<o> 4:6; set h<o> 5:6; method q<o> 6:3; method r<o> 7:4"},
    {"P.prototype = { m: function () {}, n() {} };", "method m<P> 1:16; method n<P> 1:35"},
    // classes: methods take their class, and functions their enclosing function
    {"class A extends B {\n  constructor() {}\n  static s() {}\n  get g() {}\n  set g(v) {}\n  #p() {}\n  async *q() {}\n  static with() {}\n}",
     "class A 1:6; method constructor<A> 2:2; static s<A> 3:9; get g<A> 4:6; set g<A> 5:6; method #p<A> 6:2; "
     "method q<A> 7:9; static with<A> 8:9"},
    {"function outer() {\n  function inner() {}\n  this.m = function () {};\n}", "function outer 1:9; function inner<outer> 2:11; function m<outer> 3:7"},
    // a function or class expression that is not the whole value is not bound
    {"var a = function () {}.bind(this);\nvar b = (function () { return 1; })();\nvar c = (function () {});\n"
     "var d = ((x) => x)(1);\nvar e = (x) => x;\nvar f = (function () {}) || g;",
     "function c 3:4; function e 5:4"},
    {"(function () {\n  function wrapped() {}\n})();\n((module) => {\n  var w = () => {};\n})(m);", "function wrapped 2:11; function w 5:6"},
    // what is not a declaration: calls, defaults, fields, keys, property names
    {"foo(function named() {});\nfunction g(a = function () {}) {}\nclass K { x = () => {}; }\n"
     "var o = {class: 1, function: 2};\nif (a) { b(); }\nx.function = 1;",
     "function g 2:9; class K 3:6"},
    // names hidden in strings, templates, regular expressions and comments
    {"var s = 'function a() {}';\nvar t = `function b() {} ${ `${c}` } function d() {}`;\n"
     "var r = /function e() {}/g;\n// function f() {}\n/* function g() {} */\nfunction h() {}",
     "function h 6:9"},
    {"var x = a / b / function f() {}; var y = (c) / 2;\nif (x) /re}/.test(y);\nfunction h() {}", "function h 3:9"},
    {"var t = `${ {k: function () {}}.k }`;\nfunction after() {}", "method k 1:13; function after 2:9"},
    // lines and columns: CR LF, bytes of multi-byte characters, a first line #!
    {"#!/usr/bin/env node\r\nvar \xC3\xA9 = 1;\r\nfunction f\xC3\xA9() {}\r\n", "function f\xC3\xA9 3:9"},
    // broken code loses the broken statement, not what follows
    {"function a() {\n  foo(1, 2;\n}\nfunction b() {}", "function a 1:9; function b 4:9"},
    {"var o = { f() {}\nfunction g() {}\n}\n}\n)\nfunction h() {}", "method f<o> 1:10; function g<o> 2:9; function h 6:9"},
    {"var s = 'open string\nfunction a() {}\nvar t = /open\nfunction b() {}", "function a 2:9; function b 4:9"},
    {"", ""}, {"function", ""}, {"var f = ", ""}, {"class", ""}, {"x = {", ""},
};
// clang-format on

TEST(SymbolIndex, ListsEachFormOfDeclarationAndSurvivesBrokenCode) {
    for (const Case& c : cases) EXPECT_EQ(listed(c.code), c.symbols) << c.code;
}

TEST(SymbolIndex, KeepsEachNameOnce) {
    std::string code;
    for (int i = 0; i < 1000; ++i) code += "X.prototype.parse = function () {};\n";
    const auto index = symbol_index_build(code.data(), code.size());
    ASSERT_EQ(index->size(), 1000u);
    // Names and containers are held once however often they come: far less than the text.
    EXPECT_LT(index->memory_bytes(), 1000u * 40);
}

TEST(SymbolFilter, RanksPrefixesThenWordPartsThenTheRest) {
    // Forty a's then a b: the query lives as long as the table that points into it.
    const std::string a_run = std::string(40, 'a') + "b";
    std::string a_parts;
    for (int i = 0; i < 40; ++i) a_parts += "aA";
    const struct {
        const char* name;
        const char* query;
        SymbolMatch match;
    } cases[] = {
        {"parseExpression", "parse", SymbolMatch::PREFIX},   {"parseExpression", "PARSEe", SymbolMatch::PREFIX},
        {"parseExpression", "Expr", SymbolMatch::WORD_PART}, {"parseExpression", "pE", SymbolMatch::WORD_PART},
        {"parseExpression", "pex", SymbolMatch::WORD_PART},  {"parseMaybeUnary", "pUn", SymbolMatch::WORD_PART},
        {"XMLParser", "parser", SymbolMatch::WORD_PART},     {"get_value", "v", SymbolMatch::WORD_PART},
        {"reparse", "parse", SymbolMatch::INSIDE},           {"parseExpression", "xpr", SymbolMatch::INSIDE},
        {"XMLParser", "mlp", SymbolMatch::INSIDE},           {"parseExpression", "px", SymbolMatch::NONE},
        {"xparseExpression", "pE", SymbolMatch::NONE},       {"parse", "parser", SymbolMatch::NONE},
        {a_parts.c_str(), a_run.c_str(), SymbolMatch::NONE},
    };
    for (const auto& c : cases) EXPECT_EQ(symbol_match(c.name, c.query), c.match) << c.name << " " << c.query;

    const std::string code =
        "function reparse() {}\nfunction parseStatement() {}\nfunction Parse() {}\n"
        "function parseExpression() {}\nfunction print() {}\n";
    const auto index = symbol_index_build(code.data(), code.size());
    std::vector<std::uint32_t> matches;
    const std::pair<const char*, std::vector<std::uint32_t>> orders[] = {
        {"parse", {1, 2, 3, 0}}, {"pE", {3}}, {"", {0, 1, 2, 3, 4}}, {"zz", {}}};
    for (const auto& [query, order] : orders) {
        symbol_filter(*index, query, &matches);
        EXPECT_EQ(matches, order) << query;
    }
}

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[65536];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

using Names = std::multiset<std::pair<int, std::string>>;  // 1-based line, name

Names ours(const std::string& code) {
    const auto index = symbol_index_build(code.data(), code.size());
    Names names;
    for (std::size_t i = 0; i < index->size(); ++i)
        names.emplace(index->at(i).line + 1, std::string(index->at(i).name));
    return names;
}

// How many of `of` are in `in`, each found once; what is not is printed, a few of them.
std::size_t found_in(const Names& of, Names in, const std::string& what) {
    std::size_t found = 0, shown = 0;
    for (const auto& name : of) {
        const auto at = in.find(name);
        if (at != in.end()) {
            in.erase(at);
            ++found;
        } else if (shown++ < 10) {
            std::printf("  %s: line %d %s\n", what.c_str(), name.first, name.second.c_str());
        }
    }
    return found;
}

// The scripts of bench/npm_scripts.txt; CI fetches them and sets QEM_REQUIRE_NPM_INPUTS.
std::vector<std::string> npm_scripts() {
    std::vector<std::string> files;
    std::ifstream list(std::string(QEM_SOURCE_DIR) + "/bench/npm_scripts.txt");
    for (std::string entry, package, version, path; std::getline(list, entry);) {
        if (!(std::istringstream(entry) >> package >> version >> path) || package[0] == '#') continue;
        const std::string file = npm_input_path(package + "-" + version + "/package/" + path);
        if (std::ifstream(file).good())
            files.push_back(file);
        else if (std::getenv("QEM_REQUIRE_NPM_INPUTS"))
            ADD_FAILURE() << file << " is missing";
    }
    return files;
}

// acorn's symbols of each file, by file: one node for all of them.
std::map<std::string, Names> acorn_symbols(const std::vector<std::string>& files) {
    std::string command = "node '" + std::string(QEM_SOURCE_DIR) + "/tests/editor/symbols_oracle.js' '" +
                          npm_input_path("acorn-8.11.3/package/dist/acorn.js") + "'";
    for (const std::string& file : files) command += " '" + file + "'";
    std::istringstream out(run(command + " 2>&1"));
    std::map<std::string, Names> symbols;
    Names* names = nullptr;
    for (std::string line; std::getline(out, line);) {
        if (line.rfind("= ", 0) == 0) {
            names = &symbols[line.substr(2)];
        } else if (const auto tab = line.find('\t'); names && tab != std::string::npos) {
            names->emplace(std::atoi(line.c_str()), line.substr(tab + 1));
        } else {
            ADD_FAILURE() << "node: " << line;
        }
    }
    return symbols;
}

// Each script's list against acorn's, both ways; then lodash with a `(` left open in its middle,
// against acorn's list of the intact text, but for the broken line.
TEST(SymbolIndex, FindsWhatAcornFindsInNpmScripts) {
    const std::vector<std::string> files = npm_scripts();
    const bool node = run("command -v node").find("node") != std::string::npos;
    if (files.size() < 8 || !node) {
        if (std::getenv("QEM_REQUIRE_NPM_INPUTS")) ADD_FAILURE() << "node or the npm scripts are missing";
        GTEST_SKIP() << "needs node and bench/fetch_npm_scripts.sh's scripts";
    }
    const std::map<std::string, Names> truth = acorn_symbols(files);
    for (const std::string& file : files) {
        const std::string code = read_file(file);
        const auto at = truth.find(file);
        ASSERT_NE(at, truth.end()) << "acorn gave nothing for " << file;
        const Names& acorn = at->second;
        const Names index = ours(code);
        std::printf("%s: acorn %zu, ours %zu\n", file.c_str(), acorn.size(), index.size());
        EXPECT_GE(found_in(acorn, index, "missing") * 100, acorn.size() * 99) << file;
        EXPECT_GE(found_in(index, acorn, "not acorn's") * 100, index.size() * 99) << file;
        EXPECT_GT(acorn.size(), 10u) << file;

        if (file.find("/lodash.js") == std::string::npos) continue;
        // Before a declaration: `(function f() {...}` then the next statement can be no call.
        const std::size_t middle = code.find("function ", code.find("\n    function ", code.size() / 2));
        const int broken_line = static_cast<int>(std::count(code.begin(), code.begin() + middle, '\n')) + 1;
        const std::string broken = code.substr(0, middle) + "(" + code.substr(middle);
        Names intact = acorn;
        for (auto i = intact.begin(); i != intact.end();) i = i->first == broken_line ? intact.erase(i) : std::next(i);
        const std::string path = ::testing::TempDir() + "qem-symbols-broken.js";
        std::ofstream(path, std::ios::binary) << broken;
        EXPECT_NE(run("node --check '" + path + "' 2>&1"), "") << "the ( breaks nothing";
        std::remove(path.c_str());
        std::printf("lodash.js with a ( left open on line %d:\n", broken_line);
        EXPECT_GE(found_in(intact, ours(broken), "lost") * 100, intact.size() * 95);
    }
}

}  // namespace
