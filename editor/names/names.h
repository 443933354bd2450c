/** @file names.h
 * The code's own names in the editor: Complete Word (a completion list of the declared names, the
 * other names of the code and the keywords that begin with the word before the caret), and the
 * marks on every occurrence of the name at the caret. Qt-free: the scanner works on plain bytes,
 * the rest drives the component through scintilla_send.
 *
 * The names of the whole text are gathered again once typing pauses, a slice of a few
 * milliseconds at a time, from the application's loop; the lines on screen are read afresh at
 * each Complete Word, so a name just typed there is offered before the next gathering:
 *
 *     int wait = names_wait_time(GADGET_CODE);  // -1: nothing due
 *     ... wait no longer than that ...
 *     names_tick(GADGET_CODE);                  // gathers a slice, marks occurrences once the caret rests
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/types.h"

// --- Scanning plain bytes ----------------------------------------------------------------

// Where a scan stands at the end of a line: in code, in a block comment, or in a template
// literal (which may span lines).
enum class NameScanState : std::uint8_t { CODE, BLOCK_COMMENT, TEMPLATE };

// Letters, digits, '_', '$' and every byte of a character beyond ASCII.
bool is_name_byte(unsigned char byte);

// Names shorter than this many characters are not worth offering.
inline constexpr std::size_t NAME_LEAST_CHARACTERS = 3;

// Appends the names of the text (identifiers of NAME_LEAST_CHARACTERS characters or more, outside
// strings, template literals, comments and numbers) as views into it; returns the state at its end.
// Quoted strings end at their line's end, as the styler ends them.
NameScanState scan_names(std::string_view text, NameScanState state, std::vector<std::string_view>* names);

// --- The completion list -----------------------------------------------------------------

// The order of names by their spelling in ASCII lower case, then by the spelling itself.
bool name_before(std::string_view a, std::string_view b);
// Whether the name begins with the word, ignoring ASCII case.
bool name_begins_with(std::string_view name, std::string_view word);

// Filling the component's list costs about 14 µs of CPU per entry here, so a list of this many
// keeps Ctrl+Space within a frame on typescript.js (bench/names); a further letter narrows a
// longer one.
inline constexpr std::size_t COMPLETION_MOST = 400;

// The entries offered for the word before the caret: the declared names that begin with it
// (ignoring ASCII case), then the code's other names, then the keywords; each group in the order
// of their lower-case spelling, no entry twice, none equal to the word itself, at most `most`. For
// an empty word, the declared names alone.
std::vector<std::string> completion_entries(std::string_view word, const std::vector<std::string_view>& declared,
                                            const std::vector<std::string_view>& names,
                                            const std::vector<std::string_view>& keywords,
                                            std::size_t most = COMPLETION_MOST);

// --- In a code editor --------------------------------------------------------------------

// The editor gathers its names from now on (the first gathering is due at once), and marks
// occurrences when `occurrences` is on.
void names_start(ObjectNumber gadget, bool occurrences);

// Opens the component's completion list for the word before the caret, with `declared` the names
// the code declares (completion_entries). Choosing an entry replaces the word. false, and nothing
// opens, when no entry matches.
bool code_editor_complete_word(ObjectNumber gadget, const std::vector<std::string_view>& declared);

// Milliseconds until names_tick has something to do; -1 while nothing is due.
int names_wait_time(ObjectNumber gadget);
// Gathers a slice of the names once typing has paused, and marks the occurrences of the name at
// the caret once it has rested OCCURRENCE_REST_MS there.
void names_tick(ObjectNumber gadget);
// Whether a gathering of the whole text is complete and still about the text as it is.
bool names_gathered(ObjectNumber gadget);

// --- Occurrences of the name at the caret ------------------------------------------------

// The indicator of the marks (find has 8, a syntax error 9), and its colour without a theme.
inline constexpr int OCCURRENCE_INDICATOR = 10;
inline constexpr int OCCURRENCE_COLOUR = 0xD8D8D8;
inline constexpr int OCCURRENCE_REST_MS = 300;

// Turns the marks on or off (off clears them); names_start sets them first.
void code_editor_set_occurrences(ObjectNumber gadget, bool on);
bool code_editor_occurrences_on(ObjectNumber gadget);
void code_editor_set_occurrence_colour(ObjectNumber gadget, int colour);
