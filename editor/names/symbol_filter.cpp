/** @file symbol_filter.cpp
 * Matching a typed text against symbol names: a case-blind substring search, then a look at word
 * parts. A key typed into Go to Symbol runs it over every symbol of the code (about 18,000 in a
 * 9 MB script), so it allocates nothing per name. */
#include "editor/names/symbol_filter.h"

#include <array>

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_separator(char c) { return c == '_' || c == '$' || c == '#'; }

bool part_starts(std::string_view name, std::size_t i) {
    if (i == 0) return !is_separator(name[0]);
    const char c = name[i], before = name[i - 1];
    if (is_separator(c)) return false;
    if (is_separator(before)) return true;
    if (is_upper(c) && (is_lower(before) || is_digit(before))) return true;
    if (is_upper(c) && is_upper(before) && i + 1 < name.size() && is_lower(name[i + 1])) return true;
    return is_digit(c) && !is_digit(before);
}

bool same_at(std::string_view name, std::size_t at, std::string_view query) {
    for (std::size_t k = 0; k < query.size(); ++k)
        if (lower(name[at + k]) != lower(query[k])) return false;
    return true;
}

constexpr std::size_t MOST_PARTS = 32;
constexpr std::size_t LONGEST_PIECES = 64;  // a longer query is matched as a substring only

struct Parts {
    std::string_view name;
    std::string_view query;
    std::array<std::uint16_t, MOST_PARTS> starts{};
    std::size_t count = 0;
    // (part, query offset) pairs already found to lead nowhere: without them a name such as
    // aAaAaA... would take exponential time.
    std::array<std::uint64_t, MOST_PARTS + 1> failed{};
};

// Whether the query from `done` on is a run of pieces, each the start of a word part from
// `first_part` on, in order.
bool parts_match(Parts& m, std::size_t first_part, std::size_t done) {
    if (done == m.query.size()) return true;
    if (m.failed[first_part] >> done & 1) return false;
    for (std::size_t p = first_part; p < m.count; ++p) {
        const std::size_t start = m.starts[p];
        const std::size_t end = p + 1 < m.count ? m.starts[p + 1] : m.name.size();
        std::size_t common = 0;
        while (done + common < m.query.size() && start + common < end &&
               lower(m.name[start + common]) == lower(m.query[done + common]))
            ++common;
        for (std::size_t taken = common; taken > 0; --taken)
            if (parts_match(m, p + 1, done + taken)) return true;
    }
    m.failed[first_part] |= std::uint64_t{1} << done;
    return false;
}

}  // namespace

SymbolMatch symbol_match(std::string_view name, std::string_view query) {
    if (query.empty()) return SymbolMatch::PREFIX;
    SymbolMatch best = SymbolMatch::NONE;
    if (query.size() <= name.size()) {
        for (std::size_t at = 0; at + query.size() <= name.size(); ++at) {
            if (!same_at(name, at, query)) continue;
            if (at == 0) return SymbolMatch::PREFIX;
            if (part_starts(name, at)) return SymbolMatch::WORD_PART;
            best = SymbolMatch::INSIDE;
        }
    }
    if (query.size() > LONGEST_PIECES || lower(name.empty() ? '\0' : name[0]) != lower(query[0])) return best;
    // The first piece begins the name: `pE` is not `xparseExpression`.
    Parts m;
    m.name = name;
    m.query = query;
    for (std::size_t i = 0; i < name.size() && m.count < MOST_PARTS; ++i)
        if (part_starts(name, i)) m.starts[m.count++] = static_cast<std::uint16_t>(i);
    if (m.count > 0 && m.starts[0] == 0 && parts_match(m, 0, 0)) return SymbolMatch::WORD_PART;
    return best;
}

void symbol_filter(const SymbolIndex& index, std::string_view query, std::vector<std::uint32_t>* matches) {
    matches->clear();
    std::vector<std::uint32_t> later[2];  // WORD_PART, INSIDE
    for (std::uint32_t i = 0; i < index.size(); ++i) {
        switch (symbol_match(index.at(i).name, query)) {
        case SymbolMatch::PREFIX:
            matches->push_back(i);
            break;
        case SymbolMatch::WORD_PART:
            later[0].push_back(i);
            break;
        case SymbolMatch::INSIDE:
            later[1].push_back(i);
            break;
        case SymbolMatch::NONE:
            break;
        }
    }
    for (const auto& rest : later) matches->insert(matches->end(), rest.begin(), rest.end());
}
