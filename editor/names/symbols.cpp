/** @file symbols.cpp
 * The symbol index: a token scanner over the code's bytes that keeps a stack of open brackets and
 * a few tokens of look-behind, the way ctags reads code rather than parsing it. A broken statement
 * costs the symbols it holds, never the rest of the file, and a function that wraps the whole file
 * is just one more body on the stack. */
#include "editor/names/symbols.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <iterator>
#include <string>
#include <unordered_map>

struct SymbolIndex::Storage {
    // Names and containers are kept once each in `chars`; a record refers to them by number.
    struct Record {
        std::uint64_t position;
        std::uint32_t name;
        std::uint32_t container;
        std::uint32_t line;
        std::uint32_t column;
        SymbolKind kind;
    };
    std::string chars;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> strings;  // offset and length in `chars`
    std::vector<Record> records;

    std::string_view text(std::uint32_t id) const {
        return std::string_view(chars.data() + strings[id].first, strings[id].second);
    }
};

SymbolIndex::SymbolIndex(std::unique_ptr<Storage> storage) : storage_(std::move(storage)) {}
SymbolIndex::~SymbolIndex() = default;

std::size_t SymbolIndex::size() const { return storage_->records.size(); }

Symbol SymbolIndex::at(std::size_t i) const {
    const Storage::Record& r = storage_->records[i];
    return Symbol{r.kind,
                  storage_->text(r.name),
                  storage_->text(r.container),
                  static_cast<int>(r.line),
                  static_cast<int>(r.column),
                  static_cast<std::size_t>(r.position)};
}

std::size_t SymbolIndex::memory_bytes() const {
    return sizeof(*this) + sizeof(Storage) + storage_->chars.capacity() +
           storage_->strings.capacity() * sizeof(storage_->strings[0]) +
           storage_->records.capacity() * sizeof(Storage::Record);
}

namespace {

enum class Tok : std::uint8_t { NONE, NAME, NUMBER, STRING, TEMPLATE, REGEX, PUNCT };

// The punctuators the scanner tells apart; every other operator is OTHER.
enum class P : std::uint8_t {
    NONE,
    OTHER,
    LPAREN,
    RPAREN,
    LBRACE,
    RBRACE,
    LBRACKET,
    RBRACKET,
    SEMI,
    COMMA,
    DOT,
    COLON,
    QUESTION,
    ASSIGN,          // = and the logical assignments ||= &&= ??=
    ARROW,           // =>
    STAR,            // * (a generator)
    INCDEC,          // ++ --
    TEMPLATE_START,  // ${ inside a template literal
};

// The words the scanner acts on; every other name is PLAIN.
enum class Kw : std::uint8_t {
    PLAIN,
    FUNCTION,
    CLASS,
    ASYNC,
    STATIC,
    GET,
    SET,
    VAR,
    EXTENDS,
    CONTROL,     // if while for with switch catch: a `(` follows, and a regex may follow its `)`
    OPERATOR,    // return typeof case ... : an expression follows
    STATEMENT,   // else do try finally: a block follows
    VALUE,       // this super null true false
    OTHER_WORD,  // other reserved words
};

Kw keyword(const char* s, std::size_t n) {
    struct Entry {
        const char* word;
        Kw kw;
    };
    static const Entry entries[] = {
        {"async", Kw::ASYNC},
        {"await", Kw::OPERATOR},
        {"break", Kw::OTHER_WORD},
        {"case", Kw::OPERATOR},
        {"catch", Kw::CONTROL},
        {"class", Kw::CLASS},
        {"const", Kw::VAR},
        {"continue", Kw::OTHER_WORD},
        {"debugger", Kw::OTHER_WORD},
        {"default", Kw::OTHER_WORD},
        {"delete", Kw::OPERATOR},
        {"do", Kw::STATEMENT},
        {"else", Kw::STATEMENT},
        {"export", Kw::STATEMENT},
        {"extends", Kw::EXTENDS},
        {"false", Kw::VALUE},
        {"finally", Kw::STATEMENT},
        {"for", Kw::CONTROL},
        {"function", Kw::FUNCTION},
        {"get", Kw::GET},
        {"if", Kw::CONTROL},
        {"import", Kw::OTHER_WORD},
        {"in", Kw::OPERATOR},
        {"instanceof", Kw::OPERATOR},
        {"let", Kw::VAR},
        {"new", Kw::OPERATOR},
        {"null", Kw::VALUE},
        {"of", Kw::OPERATOR},
        {"return", Kw::OPERATOR},
        {"set", Kw::SET},
        {"static", Kw::STATIC},
        {"super", Kw::VALUE},
        {"switch", Kw::CONTROL},
        {"this", Kw::VALUE},
        {"throw", Kw::OPERATOR},
        {"true", Kw::VALUE},
        {"try", Kw::STATEMENT},
        {"typeof", Kw::OPERATOR},
        {"var", Kw::VAR},
        {"void", Kw::OPERATOR},
        {"while", Kw::CONTROL},
        {"with", Kw::CONTROL},
        {"yield", Kw::OPERATOR},
    };
    // The entries are sorted: each first letter's run is found once, as a table by letter.
    struct Runs {
        std::uint8_t first[27] = {};
        Runs() {
            std::uint8_t at = 0;
            for (int letter = 0; letter < 26; ++letter) {
                first[letter] = at;
                while (at < std::size(entries) && entries[at].word[0] == 'a' + letter) ++at;
            }
            first[26] = at;
        }
    };
    static const Runs runs;
    if (n < 2 || n > 10 || s[0] < 'a' || s[0] > 'z') return Kw::PLAIN;
    const int letter = s[0] - 'a';
    for (int i = runs.first[letter]; i < runs.first[letter + 1]; ++i)
        if (std::strlen(entries[i].word) == n && std::memcmp(entries[i].word, s, n) == 0) return entries[i].kw;
    return Kw::PLAIN;
}

struct Token {
    Tok type = Tok::NONE;
    P punct = P::NONE;
    Kw kw = Kw::PLAIN;
    bool newline_before = false;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::size_t start = 0;
    std::size_t end = 0;
};

constexpr std::uint32_t NO_STRING = 0;  // the empty string, id 0: no container

// A name waiting to be given to what follows `=` or `:`: a function, arrow or class makes it a
// symbol; an object literal makes it the container of its members.
struct Binding {
    std::uint32_t name = NO_STRING;
    std::uint32_t container = NO_STRING;
    std::uint32_t members = NO_STRING;  // what an object literal bound here holds its members under
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::size_t position = 0;
    SymbolKind kind = SymbolKind::FUNCTION;  // METHOD for an object literal's property
    std::uint16_t parens = 0;                // `(` between the `=` and the value
};

enum class Frame : std::uint8_t { BLOCK, BODY, OBJECT, CLASS, PAREN, BRACKET, TEMPLATE };

struct Open {
    Frame kind;
    bool control = false;                 // a `(` after if/while/for/...: a regex may follow its `)`
    bool arrow_params = false;            // a `(` right after `=`: the arrow's parameters if `=>` follows
    bool method = false;                  // a `(` after a member's key: a method if `{` follows its `)`
    bool params = false;                  // a function's or method's parameters: `=` there gives a default
    std::uint16_t ternary = 0;            // `?` waiting for their `:`
    std::uint32_t container = NO_STRING;  // what the symbols inside sit in
    std::int64_t pending = -1;            // a function or class expression's symbol, kept if nothing follows it
    Binding binding;                      // for arrow_params, method, and pending's parentheses
};

class Scanner {
public:
    Scanner(const char* text, std::size_t length) : s_(text), n_(length) {
        storage_ = std::make_unique<SymbolIndex::Storage>();
        intern(std::string_view());
    }

    std::unique_ptr<SymbolIndex::Storage> run();

private:
    // Scanning bytes.
    bool next_token(Token* t);
    void skip_space(bool* newline);
    void scan_string(char quote);
    void scan_template();
    void scan_regex();
    void new_line(std::size_t at) {
        ++line_;
        line_start_ = at;
    }
    std::size_t peek(std::size_t at) const;  // the next byte that is neither space nor comment
    bool regex_allowed() const;

    // Acting on tokens.
    void act(const Token& t);
    void open_brace();
    void close(Frame kind);
    bool binding_target(Binding* b);
    bool member_key(bool in_class, std::uint32_t* name, int* tokens);
    bool statement_start(const Token& before, const Token& at) const;
    bool value_ends_here(std::size_t at, int parens) const;
    void add_arrow(const Binding& b);
    std::int64_t add(SymbolKind kind, std::uint32_t name, std::uint32_t container, std::uint32_t line,
                     std::uint32_t column, std::size_t position);
    std::int64_t add(const Binding& b, SymbolKind kind) {
        return add(kind, b.name, b.container, b.line, b.column, b.position);
    }
    // `lasting`: the text outlives the scanner (it is in the code), else it is copied.
    std::uint32_t intern(std::string_view text, bool lasting = true);
    std::uint32_t name_of(const Token& t);
    std::uint32_t container() const { return stack_.empty() ? NO_STRING : stack_.back().container; }
    Open frame(Frame kind) const {
        Open o{};
        o.kind = kind;
        o.container = container();
        return o;
    }
    const Token& back(int i) const { return ring_[(ring_at_ - i) & (RING - 1)]; }

    const char* s_;
    std::size_t n_;
    std::size_t p_ = 0;
    std::uint32_t line_ = 0;
    std::size_t line_start_ = 0;

    static constexpr int RING = 16;
    Token ring_[RING];
    unsigned ring_at_ = 0;              // back(0) is the token being acted on, back(1) the one before
    bool closed_allows_regex_ = false;  // after `)` or `}`: what the bracket closed
    bool colon_in_expression_ = false;  // the last `:` was a ternary's or a property's

    std::vector<Open> stack_;
    // After `=` or `:` the next tokens decide what the binding names.
    enum class Expect : std::uint8_t { NOTHING, VALUE, ARROW_AFTER_NAME } expect_ = Expect::NOTHING;
    Binding binding_;
    // A `function` or `class` whose body's `{` has not come yet, at this stack depth.
    struct Coming {
        bool active = false;
        Frame kind = Frame::BODY;
        std::size_t depth = 0;
        std::uint32_t container = NO_STRING;
        std::int64_t pending = -1;
        std::uint16_t parens = 0;
        Binding binding;
    } coming_;
    // After `function` or `class`: the declaration's name is the next name.
    enum class Declaring : std::uint8_t { NOTHING, FUNCTION, CLASS, EXPRESSION } declaring_ = Declaring::NOTHING;
    bool arrow_body_ = false;  // `=>` just came; a `{` is the arrow's body
    std::uint32_t arrow_container_ = NO_STRING;

    std::unique_ptr<SymbolIndex::Storage> storage_;
    std::vector<bool> dead_;
    // Each string once: the keys view the text itself, or `built_` for the paths put together.
    std::unordered_map<std::string_view, std::uint32_t> ids_;
    std::deque<std::string> built_;
    std::string path_;  // reused while a path is put together
};

// Bytes by what they can be in a name: 1 its start (and part), 2 a part only. Every byte of a
// multi-byte character counts as a letter; `\\` starts an escape such as \\u0061.
struct NameBytes {
    std::uint8_t kind[256] = {};
    constexpr NameBytes() {
        for (int c = 0; c < 256; ++c)
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c == '\\' || c >= 0x80)
                kind[c] = 1;
            else if (c >= '0' && c <= '9')
                kind[c] = 2;
    }
};
constexpr NameBytes name_bytes;
inline bool name_start(unsigned char c) { return name_bytes.kind[c] == 1; }
inline bool name_part(unsigned char c) { return name_bytes.kind[c] != 0; }

std::uint32_t Scanner::intern(std::string_view text, bool lasting) {
    if (!lasting) {
        const auto found = ids_.find(text);
        if (found != ids_.end()) return found->second;
        text = built_.emplace_back(text);
    }
    auto [it, added] = ids_.try_emplace(text, static_cast<std::uint32_t>(storage_->strings.size()));
    if (added) {
        storage_->strings.emplace_back(static_cast<std::uint32_t>(storage_->chars.size()),
                                       static_cast<std::uint32_t>(text.size()));
        storage_->chars.append(text);
    }
    return it->second;
}

// A name token's text, or a string literal's without its quotes.
std::uint32_t Scanner::name_of(const Token& t) {
    if (t.type == Tok::STRING) return intern(std::string_view(s_ + t.start + 1, t.end - t.start - 2));
    return intern(std::string_view(s_ + t.start, t.end - t.start));
}

std::int64_t Scanner::add(SymbolKind kind, std::uint32_t name, std::uint32_t container, std::uint32_t line,
                          std::uint32_t column, std::size_t position) {
    storage_->records.push_back({position, name, container, line, column, kind});
    dead_.push_back(false);
    return static_cast<std::int64_t>(storage_->records.size() - 1);
}

void Scanner::skip_space(bool* newline) {
    while (p_ < n_) {
        const unsigned char c = static_cast<unsigned char>(s_[p_]);
        if (c == '\n') {
            *newline = true;
            new_line(++p_);
        } else if (c == '\r') {
            *newline = true;
            ++p_;
            if (p_ < n_ && s_[p_] == '\n') ++p_;
            new_line(p_);
        } else if (c == ' ' || c == '\t' || c == '\v' || c == '\f') {
            ++p_;
        } else if (c == 0xC2 && p_ + 1 < n_ && static_cast<unsigned char>(s_[p_ + 1]) == 0xA0) {
            p_ += 2;  // no-break space
        } else if (c == 0xEF && p_ + 2 < n_ && static_cast<unsigned char>(s_[p_ + 1]) == 0xBB &&
                   static_cast<unsigned char>(s_[p_ + 2]) == 0xBF) {
            p_ += 3;  // byte order mark
        } else if (c == '/' && p_ + 1 < n_ && s_[p_ + 1] == '/') {
            while (p_ < n_ && s_[p_] != '\n' && s_[p_] != '\r') ++p_;
        } else if (c == '/' && p_ + 1 < n_ && s_[p_ + 1] == '*') {
            p_ += 2;
            while (p_ < n_ && !(s_[p_] == '*' && p_ + 1 < n_ && s_[p_ + 1] == '/')) {
                if (s_[p_] == '\n' || (s_[p_] == '\r' && (p_ + 1 >= n_ || s_[p_ + 1] != '\n'))) {
                    *newline = true;
                    new_line(p_ + 1);
                }
                ++p_;
            }
            p_ = std::min(p_ + 2, n_);
        } else {
            return;
        }
    }
}

std::size_t Scanner::peek(std::size_t at) const {
    while (at < n_) {
        const char c = s_[at];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            ++at;
        } else if (c == '/' && at + 1 < n_ && s_[at + 1] == '/') {
            while (at < n_ && s_[at] != '\n' && s_[at] != '\r') ++at;
        } else if (c == '/' && at + 1 < n_ && s_[at + 1] == '*') {
            const char* end = static_cast<const char*>(memmem(s_ + at + 2, n_ - at - 2, "*/", 2));
            at = end ? static_cast<std::size_t>(end - s_) + 2 : n_;
        } else {
            break;
        }
    }
    return at;
}

// A string ends at its quote, or at the line's end when it is left open.
void Scanner::scan_string(char quote) {
    ++p_;
    while (p_ < n_) {
        const char c = s_[p_];
        if (c == quote) {
            ++p_;
            return;
        }
        if (c == '\\' && p_ + 1 < n_) {
            p_ += 2;
            if (s_[p_ - 1] == '\r' && p_ < n_ && s_[p_] == '\n') ++p_;
            if (s_[p_ - 1] == '\n' || s_[p_ - 1] == '\r') new_line(p_);
            continue;
        }
        if (c == '\n' || c == '\r') return;
        ++p_;
    }
}

// From inside a template literal to its closing backquote or to a `${`, which it stops after.
void Scanner::scan_template() {
    while (p_ < n_) {
        const char c = s_[p_];
        if (c == '`') {
            ++p_;
            return;
        }
        if (c == '\\' && p_ + 1 < n_) {
            p_ += 2;
            if (s_[p_ - 1] == '\n') new_line(p_);
            continue;
        }
        if (c == '$' && p_ + 1 < n_ && s_[p_ + 1] == '{') {
            p_ += 2;
            return;
        }
        if (c == '\n' || (c == '\r' && (p_ + 1 >= n_ || s_[p_ + 1] != '\n'))) new_line(p_ + 1);
        ++p_;
    }
}

// A regular expression ends at its unescaped `/` outside a class, or at the line's end.
void Scanner::scan_regex() {
    ++p_;
    bool in_class = false;
    while (p_ < n_) {
        const char c = s_[p_];
        if (c == '\n' || c == '\r') return;
        if (c == '\\' && p_ + 1 < n_ && s_[p_ + 1] != '\n' && s_[p_ + 1] != '\r') {
            p_ += 2;
            continue;
        }
        ++p_;
        if (c == '[') in_class = true;
        if (c == ']') in_class = false;
        if (c == '/' && !in_class) break;
    }
    while (p_ < n_ && name_part(static_cast<unsigned char>(s_[p_]))) ++p_;
}

// Whether a `/` here starts a regular expression rather than dividing, from the token before it.
bool Scanner::regex_allowed() const {
    const Token& b = back(0);
    switch (b.type) {
    case Tok::NONE:
        return true;
    case Tok::NAME:
        return b.kw == Kw::OPERATOR || b.kw == Kw::STATEMENT;
    case Tok::PUNCT:
        if (b.punct == P::RPAREN || b.punct == P::RBRACE) return closed_allows_regex_;
        return b.punct != P::RBRACKET && b.punct != P::INCDEC;
    default:
        return false;
    }
}

bool Scanner::next_token(Token* t) {
    bool newline = false;
    skip_space(&newline);
    if (p_ >= n_) return false;
    t->newline_before = newline;
    t->start = p_;
    t->line = line_;
    t->column = static_cast<std::uint32_t>(p_ - line_start_);
    t->kw = Kw::PLAIN;
    t->punct = P::NONE;
    const unsigned char c = static_cast<unsigned char>(s_[p_]);
    const char c1 = p_ + 1 < n_ ? s_[p_ + 1] : '\0';
    const char c2 = p_ + 2 < n_ ? s_[p_ + 2] : '\0';
    if (name_start(c) || (c == '#' && name_start(static_cast<unsigned char>(c1)))) {
        ++p_;
        while (p_ < n_ && name_part(static_cast<unsigned char>(s_[p_]))) ++p_;
        t->type = Tok::NAME;
        if (c != '#') t->kw = keyword(s_ + t->start, p_ - t->start);
    } else if ((c >= '0' && c <= '9') || (c == '.' && c1 >= '0' && c1 <= '9')) {
        ++p_;
        while (p_ < n_) {
            const char d = s_[p_];
            if (name_part(static_cast<unsigned char>(d)) || d == '.') {
                ++p_;
            } else if ((d == '+' || d == '-') && (s_[p_ - 1] == 'e' || s_[p_ - 1] == 'E') &&
                       !(s_[t->start] == '0' && p_ - t->start > 1 && (s_[t->start + 1] | 0x20) == 'x')) {
                ++p_;
            } else {
                break;
            }
        }
        t->type = Tok::NUMBER;
    } else if (c == '"' || c == '\'') {
        scan_string(static_cast<char>(c));
        t->type = Tok::STRING;
    } else if (c == '`') {
        ++p_;
        scan_template();
        t->type = Tok::TEMPLATE;
        if (p_ >= 2 && s_[p_ - 1] == '{' && s_[p_ - 2] == '$') {
            t->type = Tok::PUNCT;
            t->punct = P::TEMPLATE_START;
        }
    } else if (c == '/' && regex_allowed()) {
        scan_regex();
        t->type = Tok::REGEX;
    } else {
        t->type = Tok::PUNCT;
        P kind = P::OTHER;
        std::size_t length = 1;
        switch (c) {
        case '(':
            kind = P::LPAREN;
            break;
        case ')':
            kind = P::RPAREN;
            break;
        case '{':
            kind = P::LBRACE;
            break;
        case '}':
            kind = P::RBRACE;
            break;
        case '[':
            kind = P::LBRACKET;
            break;
        case ']':
            kind = P::RBRACKET;
            break;
        case ';':
            kind = P::SEMI;
            break;
        case ',':
            kind = P::COMMA;
            break;
        case ':':
            kind = P::COLON;
            break;
        case '.':
            kind = c1 == '.' && c2 == '.' ? P::OTHER : P::DOT;
            length = kind == P::DOT ? 1 : 3;
            break;
        case '?':
            if (c1 == '.' && !(c2 >= '0' && c2 <= '9')) {
                kind = P::DOT;
                length = 2;
            } else if (c1 == '?') {
                kind = c2 == '=' ? P::ASSIGN : P::OTHER;
                length = c2 == '=' ? 3 : 2;
            } else {
                kind = P::QUESTION;
            }
            break;
        case '=':
            if (c1 == '>') {
                kind = P::ARROW;
                length = 2;
            } else if (c1 == '=') {
                length = c2 == '=' ? 3 : 2;
            } else {
                kind = P::ASSIGN;
            }
            break;
        case '&':
        case '|':
            if (c1 == static_cast<char>(c)) {
                kind = c2 == '=' ? P::ASSIGN : P::OTHER;
                length = c2 == '=' ? 3 : 2;
            } else if (c1 == '=') {
                length = 2;
            }
            break;
        case '+':
        case '-':
            if (c1 == static_cast<char>(c)) {
                kind = P::INCDEC;
                length = 2;
            } else if (c1 == '=') {
                length = 2;
            }
            break;
        case '*':
            if (c1 == '*' || c1 == '=') {
                length = c1 == '*' && c2 == '=' ? 3 : 2;
            } else {
                kind = P::STAR;
            }
            break;
        default:
            // Other operators: their length matters only for the byte after them, which no
            // decision here reads, except for `/` and `/=`, which must not reach the regex test.
            if ((c == '/' || c == '!' || c == '<' || c == '>' || c == '%' || c == '^') && c1 == '=') length = 2;
            break;
        }
        p_ += length;
        t->punct = kind;
    }
    t->end = p_;
    return true;
}

bool is_punct(const Token& t, P p) { return t.type == Tok::PUNCT && t.punct == p; }

// Whether `at` (a `function`, `class` or `async`) opens a statement rather than an expression.
bool Scanner::statement_start(const Token& before, const Token& at) const {
    switch (before.type) {
    case Tok::NONE:
        return true;
    case Tok::PUNCT:
        switch (before.punct) {
        case P::SEMI:
        case P::LBRACE:
        case P::RBRACE:
        case P::RPAREN:
            return true;
        case P::COLON:
            return !stack_.empty() && stack_.back().kind != Frame::OBJECT && stack_.back().ternary == 0;
        case P::RBRACKET:
        case P::INCDEC:
            return at.newline_before;
        default:
            return false;
        }
    case Tok::NAME:
        if (before.kw == Kw::STATEMENT) return true;
        return at.newline_before && (before.kw == Kw::PLAIN || before.kw == Kw::VALUE);
    default:
        return at.newline_before;
    }
}

// The name an assignment's left side gives (`f`, `obj.f`, `X.prototype.f`, `a["f"]`), with the
// container its path makes; false when the left side names nothing (a destructuring, a call).
bool Scanner::binding_target(Binding* b) {
    int i = 1;  // back(0) is the `=`
    const Token* name = &back(i);
    if (is_punct(*name, P::RBRACKET) && back(i + 1).type == Tok::STRING && is_punct(back(i + 2), P::LBRACKET)) {
        name = &back(i + 1);
        i += 2;
    } else if (name->type != Tok::NAME || (name->kw != Kw::PLAIN && !is_punct(back(i + 1), P::DOT))) {
        if (name->type != Tok::NAME || name->kw == Kw::VALUE || name->kw == Kw::FUNCTION || name->kw == Kw::CLASS)
            return false;
        if (name->kw != Kw::GET && name->kw != Kw::SET && name->kw != Kw::STATIC && name->kw != Kw::ASYNC &&
            name->kw != Kw::OTHER_WORD)
            return false;
    }
    b->name = name_of(*name);
    b->line = name->line;
    b->column = name->column;
    b->position = name->start;
    if (name->type == Tok::STRING) b->column += 1, b->position += 1;
    // The path before the name, from its root: `a.b.prototype` of `a.b.prototype.f`.
    const Token* parts[RING / 2];
    int count = 0;
    // After `a["f"]` the path goes on from the `[` as from a `.`.
    const bool computed = name->type == Tok::STRING;
    for (int j = computed ? i : i + 1;
         j + 1 < RING && count < RING / 2 && (is_punct(back(j), P::DOT) || (computed && j == i)) &&
         back(j + 1).type == Tok::NAME;
         j += 2)
        parts[count++] = &back(j + 1);
    const bool is_prototype =
        name->type == Tok::NAME && name->end - name->start == 9 && std::memcmp(s_ + name->start, "prototype", 9) == 0;
    std::string& path = path_;
    path.clear();
    for (int k = count - 1; k >= 0; --k) {
        if (k == 0 && parts[k]->end - parts[k]->start == 9 && std::memcmp(s_ + parts[k]->start, "prototype", 9) == 0)
            break;
        if (!path.empty()) path += '.';
        path.append(s_ + parts[k]->start, parts[k]->end - parts[k]->start);
    }
    b->container = path.empty() || path == "this" ? container() : intern(path, false);
    // An object literal assigned here holds its members under the whole path, `prototype` left out.
    if (is_prototype)
        b->members = path.empty() ? b->name : b->container;
    else if (count == 0)
        b->members = b->name;
    else
        b->members = intern(path.append(".").append(s_ + name->start, name->end - name->start), false);
    b->kind = SymbolKind::FUNCTION;
    b->parens = 0;
    return true;
}

// The key of a member before its `(`: a name, a string, a private name or `["string"]` (3 tokens);
// false for other computed keys. In an object, `if (` and the like are taken for a block's
// statement: an object is told from a block by the token before its `{`, which can mislead.
bool Scanner::member_key(bool in_class, std::uint32_t* name, int* tokens) {
    const Token& key = back(1);
    *tokens = 1;
    if (key.type == Tok::STRING) {
        *name = name_of(key);
        return true;
    }
    if (is_punct(key, P::RBRACKET) && back(2).type == Tok::STRING && is_punct(back(3), P::LBRACKET)) {
        *name = name_of(back(2));
        *tokens = 3;
        return true;
    }
    if (key.type != Tok::NAME) return false;
    if (!in_class && (key.kw == Kw::CONTROL || key.kw == Kw::FUNCTION)) return false;
    *name = name_of(key);
    return true;
}

// Whether the function or class expression whose last `}` is just before `at` is the whole value
// bound (after closing the `parens` that wrapped it), rather than the start of a longer expression.
bool Scanner::value_ends_here(std::size_t at, int parens) const {
    at = peek(at);
    for (; parens > 0; --parens) {
        if (at >= n_ || s_[at] != ')') return false;
        at = peek(at + 1);
    }
    if (at >= n_) return true;
    const char c = s_[at];
    if (c == ',' || c == ';' || c == ')' || c == '}' || c == ']') return true;
    if (!name_start(static_cast<unsigned char>(c))) return false;
    std::size_t end = at;
    while (end < n_ && name_part(static_cast<unsigned char>(s_[end]))) ++end;
    const std::string_view word(s_ + at, end - at);
    return word != "in" && word != "instanceof";
}

// An arrow function bound to a name. Wrapped in parentheses, `((x) => x)(1)`, it is the value
// only if nothing follows them; the innermost one decides as it closes.
void Scanner::add_arrow(const Binding& b) {
    arrow_container_ = b.name;
    if (b.parens == 0 || stack_.empty() || stack_.back().kind != Frame::PAREN) {
        add(b, b.kind);
        return;
    }
    Open& wrap = stack_.back();
    wrap.pending = add(b, b.kind);
    wrap.binding.parens = static_cast<std::uint16_t>(b.parens - 1);
}

void Scanner::open_brace() {
    Open o{};
    o.container = container();
    const Token& b = back(1);
    if (coming_.active && coming_.depth == stack_.size()) {
        o.kind = coming_.kind;
        o.container = coming_.container;
        o.pending = coming_.pending;
        o.binding = coming_.binding;
        o.binding.parens = coming_.parens;
        coming_.active = false;
    } else if (arrow_body_) {
        o.kind = Frame::BODY;
        o.container = arrow_container_;
    } else if (expect_ == Expect::VALUE) {
        o.kind = Frame::OBJECT;
        o.container = binding_.members;
    } else if (b.type == Tok::NONE) {
        o.kind = Frame::BLOCK;
    } else if (b.type == Tok::PUNCT) {
        switch (b.punct) {
        case P::SEMI:
        case P::LBRACE:
        case P::RBRACE:
        case P::RPAREN:
        case P::ARROW:
            o.kind = Frame::BLOCK;
            break;
        case P::COLON:
            o.kind = colon_in_expression_ ? Frame::OBJECT : Frame::BLOCK;
            break;
        default:
            o.kind = Frame::OBJECT;
            break;
        }
    } else if (b.type == Tok::NAME) {
        o.kind = b.kw == Kw::OPERATOR || b.kw == Kw::EXTENDS ? Frame::OBJECT : Frame::BLOCK;
    } else {
        o.kind = Frame::BLOCK;
    }
    stack_.push_back(o);
}

// Closes the innermost bracket of this kind, and whatever was left open inside it; a closer with
// no opener (stray in broken code) is passed over. A `)` or `]` never reaches past a `{`.
void Scanner::close(Frame kind) {
    const bool brace = kind == Frame::BLOCK;
    std::size_t at = stack_.size();
    while (at > 0) {
        const Frame k = stack_[at - 1].kind;
        const bool is_brace = k != Frame::PAREN && k != Frame::BRACKET;
        if (brace ? is_brace : k == kind) break;
        if (!brace && is_brace) return;
        --at;
    }
    if (at == 0) {
        closed_allows_regex_ = true;
        return;
    }
    const Open o = stack_[at - 1];
    stack_.resize(at - 1);
    if (coming_.active && coming_.depth > stack_.size()) coming_.active = false;
    switch (o.kind) {
    case Frame::PAREN:
        closed_allows_regex_ = o.control;
        if (o.pending >= 0 && !value_ends_here(p_, o.binding.parens)) dead_[o.pending] = true;
        if (o.arrow_params && o.pending < 0) {
            const std::size_t next = peek(p_);
            if (next + 1 < n_ && s_[next] == '=' && s_[next + 1] == '>') add_arrow(o.binding);
        }
        if (o.method) {
            const std::size_t next = peek(p_);
            if (next < n_ && s_[next] == '{') {
                coming_ = Coming{};
                coming_.active = true;
                coming_.kind = Frame::BODY;
                coming_.depth = stack_.size();
                coming_.container = o.binding.name;
                add(o.binding, o.binding.kind);
            }
        }
        break;
    case Frame::TEMPLATE:
        break;
    case Frame::OBJECT:
        closed_allows_regex_ = false;
        break;
    default:
        closed_allows_regex_ = true;
        if (o.pending >= 0 && !value_ends_here(p_, o.binding.parens)) dead_[o.pending] = true;
        break;
    }
}

void Scanner::act(const Token& t) {
    const Token& b = back(1);
    // What follows `=` or `:` decides what the name is given to.
    const Expect expect = expect_;
    expect_ = Expect::NOTHING;
    const bool arrow_body = arrow_body_;
    arrow_body_ = false;
    if (expect == Expect::ARROW_AFTER_NAME && is_punct(t, P::ARROW)) {
        add_arrow(binding_);
        arrow_body_ = true;
        return;
    }
    if (expect == Expect::VALUE) {
        if (t.type == Tok::NAME && t.kw == Kw::ASYNC) {
            expect_ = Expect::VALUE;
        } else if (t.type == Tok::NAME && (t.kw == Kw::FUNCTION || t.kw == Kw::CLASS)) {
            const bool is_class = t.kw == Kw::CLASS;
            coming_ = Coming{};
            coming_.active = true;
            coming_.kind = is_class ? Frame::CLASS : Frame::BODY;
            coming_.depth = stack_.size();
            coming_.container = binding_.name;
            coming_.parens = binding_.parens;
            coming_.binding = binding_;
            coming_.pending = add(binding_, is_class ? SymbolKind::CLASS : binding_.kind);
            declaring_ = Declaring::EXPRESSION;
            return;
        } else if (t.type == Tok::NAME && t.kw == Kw::PLAIN) {
            expect_ = Expect::ARROW_AFTER_NAME;
            return;
        } else if (is_punct(t, P::LPAREN)) {
            Open o = frame(Frame::PAREN);
            o.arrow_params = true;
            o.binding = binding_;
            stack_.push_back(o);
            ++binding_.parens;
            expect_ = Expect::VALUE;
            return;
        } else if (is_punct(t, P::LBRACE)) {
            expect_ = Expect::VALUE;  // open_brace reads it: an object literal bound to the name
            open_brace();
            expect_ = Expect::NOTHING;
            return;
        }
    }

    if (t.type == Tok::NAME) {
        switch (t.kw) {
        case Kw::FUNCTION:
        case Kw::CLASS: {
            const Token& before = b.type == Tok::NAME && b.kw == Kw::ASYNC ? back(2) : b;
            const Token& at = b.type == Tok::NAME && b.kw == Kw::ASYNC ? b : t;
            const bool statement = statement_start(before, at);
            coming_ = Coming{};
            coming_.active = true;
            coming_.kind = t.kw == Kw::CLASS ? Frame::CLASS : Frame::BODY;
            coming_.depth = stack_.size();
            coming_.container = container();
            declaring_ =
                statement ? (t.kw == Kw::CLASS ? Declaring::CLASS : Declaring::FUNCTION) : Declaring::EXPRESSION;
            return;
        }
        default:
            break;
        }
        if (declaring_ != Declaring::NOTHING && t.kw != Kw::EXTENDS && (b.type != Tok::PUNCT || b.punct == P::STAR)) {
            const Declaring d = declaring_;
            declaring_ = Declaring::NOTHING;
            if (d == Declaring::EXPRESSION) return;
            const std::uint32_t name = name_of(t);
            add(d == Declaring::CLASS ? SymbolKind::CLASS : SymbolKind::FUNCTION, name, container(), t.line, t.column,
                t.start);
            coming_.container = name;
            return;
        }
    }
    if (declaring_ != Declaring::NOTHING && t.type == Tok::PUNCT && t.punct != P::STAR && t.punct != P::LPAREN &&
        t.punct != P::LBRACE)
        coming_.active = false;  // `{class: 1}`, `x.function`: a word, not a declaration
    if (!is_punct(t, P::STAR)) declaring_ = Declaring::NOTHING;

    if (t.type != Tok::PUNCT) return;
    switch (t.punct) {
    case P::LBRACE:
        if (arrow_body) arrow_body_ = true;
        open_brace();
        arrow_body_ = false;
        break;
    case P::TEMPLATE_START:
        stack_.push_back(frame(Frame::TEMPLATE));
        break;
    case P::RBRACE:
        if (!stack_.empty() && stack_.back().kind == Frame::TEMPLATE) {
            stack_.pop_back();
            scan_template();
            ring_[ring_at_ & (RING - 1)].type = Tok::TEMPLATE;
            ring_[ring_at_ & (RING - 1)].punct = P::NONE;
            if (p_ >= 2 && s_[p_ - 1] == '{' && s_[p_ - 2] == '$') {
                ring_[ring_at_ & (RING - 1)].type = Tok::PUNCT;
                ring_[ring_at_ & (RING - 1)].punct = P::TEMPLATE_START;
                stack_.push_back(frame(Frame::TEMPLATE));
            }
            break;
        }
        close(Frame::BLOCK);
        break;
    case P::LPAREN: {
        Open o = frame(Frame::PAREN);
        o.control = b.type == Tok::NAME && b.kw == Kw::CONTROL;
        o.params = coming_.active && coming_.kind == Frame::BODY && coming_.depth == stack_.size();
        std::uint32_t key = 0;
        int key_tokens = 1;
        const bool in_class = !stack_.empty() && stack_.back().kind == Frame::CLASS;
        if (!stack_.empty() && (stack_.back().kind == Frame::OBJECT || in_class) &&
            member_key(in_class, &key, &key_tokens)) {
            const Token& k = back(key_tokens);
            const Token& m = back(key_tokens + 1);
            const bool modifier =
                m.type == Tok::NAME && (m.kw == Kw::STATIC || m.kw == Kw::ASYNC || m.kw == Kw::GET || m.kw == Kw::SET);
            const bool starts =
                is_punct(m, P::LBRACE) || is_punct(m, P::STAR) || modifier ||
                (in_class ? is_punct(m, P::SEMI) || is_punct(m, P::RBRACE) || k.newline_before : is_punct(m, P::COMMA));
            if (starts) {
                SymbolKind kind = SymbolKind::METHOD;
                for (int i = key_tokens + 1; i <= key_tokens + 3; ++i) {
                    const Token& x = back(i);
                    if (x.type != Tok::NAME && !is_punct(x, P::STAR)) break;
                    const bool next_to_key = i == key_tokens + 1;
                    if (x.kw == Kw::GET && kind == SymbolKind::METHOD && next_to_key) kind = SymbolKind::GETTER;
                    if (x.kw == Kw::SET && kind == SymbolKind::METHOD && next_to_key) kind = SymbolKind::SETTER;
                    if (x.kw == Kw::STATIC && in_class && kind == SymbolKind::METHOD) kind = SymbolKind::STATIC_METHOD;
                    if (x.kw != Kw::STATIC && x.kw != Kw::ASYNC && x.kw != Kw::GET && x.kw != Kw::SET &&
                        x.type == Tok::NAME)
                        break;
                }
                const Token& name = back(key_tokens == 1 ? 1 : 2);
                o.method = true;
                o.params = true;
                o.binding.name = key;
                o.binding.container = container();
                o.binding.line = name.line;
                o.binding.column = name.column + (name.type == Tok::STRING ? 1 : 0);
                o.binding.position = name.start + (name.type == Tok::STRING ? 1 : 0);
                o.binding.kind = kind;
            }
        }
        stack_.push_back(o);
        break;
    }
    case P::RPAREN:
        close(Frame::PAREN);
        break;
    case P::LBRACKET:
        stack_.push_back(frame(Frame::BRACKET));
        break;
    case P::RBRACKET:
        close(Frame::BRACKET);
        break;
    case P::QUESTION:
        if (!stack_.empty()) ++stack_.back().ternary;
        break;
    case P::COLON: {
        colon_in_expression_ = !stack_.empty() && (stack_.back().ternary > 0 || stack_.back().kind == Frame::OBJECT);
        const bool computed = is_punct(b, P::RBRACKET) && back(2).type == Tok::STRING && is_punct(back(3), P::LBRACKET);
        const Token& key = computed ? back(2) : b;
        const Token& before = back(computed ? 4 : 2);
        if (!stack_.empty() && stack_.back().ternary > 0) {
            --stack_.back().ternary;
        } else if (!stack_.empty() && stack_.back().kind == Frame::OBJECT &&
                   (computed || b.type == Tok::NAME || b.type == Tok::STRING) &&
                   (is_punct(before, P::LBRACE) || is_punct(before, P::COMMA))) {
            binding_ = Binding{};
            binding_.name = name_of(key);
            binding_.members = binding_.name;
            binding_.container = container();
            binding_.line = key.line;
            binding_.column = key.column + (key.type == Tok::STRING ? 1 : 0);
            binding_.position = key.start + (key.type == Tok::STRING ? 1 : 0);
            binding_.kind = SymbolKind::METHOD;
            expect_ = Expect::VALUE;
        }
        break;
    }
    case P::ASSIGN:
        // A class field's value is not a method of the class, nor a default value a binding.
        if ((stack_.empty() || (stack_.back().kind != Frame::CLASS && !stack_.back().params)) &&
            binding_target(&binding_))
            expect_ = Expect::VALUE;
        break;
    case P::ARROW:
        if (arrow_container_ != NO_STRING) {
            arrow_body_ = true;  // arrow_container_ was set as its parameters closed
        } else {
            arrow_body_ = true;
            arrow_container_ = container();
        }
        break;
    default:
        break;
    }
}

std::unique_ptr<SymbolIndex::Storage> Scanner::run() {
    // A first line `#!...` is a comment to node.
    if (n_ >= 2 && s_[0] == '#' && s_[1] == '!')
        while (p_ < n_ && s_[p_] != '\n') ++p_;
    Token t;
    while (next_token(&t)) {
        // After `.` every word is a property's name: `a.class`, `x.default`.
        if (t.type == Tok::NAME && is_punct(back(0), P::DOT)) t.kw = Kw::PLAIN;
        ++ring_at_;
        ring_[ring_at_ & (RING - 1)] = t;
        const bool arrow = is_punct(t, P::ARROW);
        act(t);
        if (!arrow && !is_punct(t, P::RPAREN)) arrow_container_ = NO_STRING;
    }
    auto& records = storage_->records;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (!dead_[i]) records[kept++] = records[i];
    records.resize(kept);
    records.shrink_to_fit();
    storage_->chars.shrink_to_fit();
    storage_->strings.shrink_to_fit();
    return std::move(storage_);
}

}  // namespace

std::shared_ptr<const SymbolIndex> symbol_index_build(const char* text, std::size_t length) {
    return std::make_shared<const SymbolIndex>(Scanner(text, length).run());
}

const char* symbol_kind_text(SymbolKind kind) {
    switch (kind) {
    case SymbolKind::FUNCTION:
        return "function";
    case SymbolKind::CLASS:
        return "class";
    case SymbolKind::METHOD:
        return "method";
    case SymbolKind::GETTER:
        return "get";
    case SymbolKind::SETTER:
        return "set";
    case SymbolKind::STATIC_METHOD:
        return "static";
    }
    return "";
}
