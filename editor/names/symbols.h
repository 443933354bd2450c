/** @file symbols.h
 * The names the code declares: functions, classes and methods with their container, line and
 * column, read from the code's UTF-8 bytes by a token scanner that survives broken code. No Qt:
 * it is built on the checking thread from the copy of the bytes that the syntax check takes. */
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class SymbolKind : std::uint8_t {
    FUNCTION,  // a function declaration, or a function or arrow expression bound to a name
    CLASS,     // a class declaration, or a class expression bound to a name
    METHOD,    // a method of a class or of an object literal
    GETTER,
    SETTER,
    STATIC_METHOD,
};

struct Symbol {
    SymbolKind kind;
    std::string_view name;
    std::string_view container;  // the class, object or assigned path it sits in; "" at the top
    int line;                    // 0-based line of the name
    int column;                  // 0-based byte in that line where the name starts
    std::size_t position;        // byte offset of the name in the text
};

// An index of one text, immutable once built; its symbols are in the order of the text.
class SymbolIndex {
public:
    std::size_t size() const;
    Symbol at(std::size_t i) const;
    // The bytes the index holds, for the figures.
    std::size_t memory_bytes() const;

    // Storage is the builder's business (symbols.cpp).
    struct Storage;
    explicit SymbolIndex(std::unique_ptr<Storage> storage);
    ~SymbolIndex();
    SymbolIndex(const SymbolIndex&) = delete;  // owns the storage its views point into
    SymbolIndex& operator=(const SymbolIndex&) = delete;

private:
    std::unique_ptr<Storage> storage_;
};

// The symbols of `length` bytes of UTF-8 JavaScript; never fails on broken code.
std::shared_ptr<const SymbolIndex> symbol_index_build(const char* text, std::size_t length);

// What the kind is called in a list ("function", "class", "method", "get", "set", "static").
const char* symbol_kind_text(SymbolKind kind);
