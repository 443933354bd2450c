/** @file symbols.cpp
 * The symbol index: its storage and accessors. The scanner that fills it is still to come: until
 * then every text has no symbols. */
#include "editor/names/symbols.h"

struct SymbolIndex::Storage {
    std::vector<Symbol> symbols;
};

SymbolIndex::SymbolIndex(std::unique_ptr<Storage> storage) : storage_(std::move(storage)) {}
SymbolIndex::~SymbolIndex() = default;

std::size_t SymbolIndex::size() const { return storage_->symbols.size(); }
Symbol SymbolIndex::at(std::size_t i) const { return storage_->symbols[i]; }
std::size_t SymbolIndex::memory_bytes() const {
    return sizeof(Storage) + storage_->symbols.capacity() * sizeof(Symbol);
}

std::shared_ptr<const SymbolIndex> symbol_index_build(const char*, std::size_t) {
    return std::make_shared<const SymbolIndex>(std::make_unique<SymbolIndex::Storage>());
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
