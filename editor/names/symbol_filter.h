/** @file symbol_filter.h
 * Go to Symbol's filter: the symbols whose names hold the typed text, ignoring case, those that
 * match at the start of a word part first. No Qt. */
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "editor/names/symbols.h"

// How a name matches the query; lower is better, NONE is no match.
enum class SymbolMatch : std::uint8_t {
    PREFIX,     // the name starts with it
    WORD_PART,  // it starts at a word part (`Expr` in parseExpression), or it is the parts' starts
                // (`pE`, `parseExp`: pieces that each begin a word part, in order)
    INSIDE,     // anywhere else in the name
    NONE,
};

// How `name` matches `query` (UTF-8; ASCII letters compared without case). Word parts start at the
// name's start, at a capital after a small letter or digit, at the last of a run of capitals
// before a small letter (XMLParser: XML, Parser), and after `_`, `$` and `#`.
SymbolMatch symbol_match(std::string_view name, std::string_view query);

// The numbers of the index's symbols that match, best match first and in the text's order within
// each; every symbol, in order, for an empty query.
void symbol_filter(const SymbolIndex& index, std::string_view query, std::vector<std::uint32_t>* matches);
