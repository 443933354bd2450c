/** @file code_editor.h
 * The code editor gadget: creation and configuration, word tables, the highlighting
 * engine, the JavaScript line styler and configuration, notifications and completion. */
#pragma once

#include <cstdint>

#include "editor/check/js_check.h"
#include "editor/scintilla.h"
#include "runtime/core/list.h"
#include "runtime/core/map.h"
#include "runtime/core/types.h"
#include "runtime/ui/gadget.h"  // GADGET_KIND_CODE_EDITOR

// Creation flags.
inline constexpr std::uint32_t EDITOR_LINE_NUMBERS = 1;
inline constexpr std::uint32_t EDITOR_CASE_SENSITIVE = 2;

// Option bits, set whole by code_editor_set_options.
inline constexpr std::uint32_t OPTION_STYLING = 1;
inline constexpr std::uint32_t OPTION_AUTOCOMPLETE = 2;
inline constexpr std::uint32_t OPTION_FOLDING = 4;
inline constexpr std::uint32_t OPTION_FOLD_ANY_LINE = 8;
inline constexpr std::uint32_t OPTION_CALLTIPS = 16;
inline constexpr std::uint32_t OPTION_AUTO_INDENT = 32;

// Flag bits of a word-table entry.
inline constexpr std::uint32_t WORD_SPAN = 0x1;
inline constexpr std::uint32_t WORD_TO_LINE_END = 0x2;
inline constexpr std::uint32_t WORD_STYLE_NEXT = 0x4;
inline constexpr std::uint32_t WORD_STYLE_NEXT_ADJACENT = 0x8;
inline constexpr std::uint32_t WORD_STYLE_BEFORE = 0x10;
inline constexpr std::uint32_t WORD_STYLE_BEFORE_ADJACENT = 0x20;
inline constexpr std::uint32_t WORD_NOT_SEPARATOR = 0x10000;
inline constexpr std::uint32_t WORD_FOLD_OPEN = 0x100000;
inline constexpr std::uint32_t WORD_FOLD_OPEN_ONCE = 0x200000;
inline constexpr std::uint32_t WORD_FOLD_CLOSE = 0x400000;
inline constexpr std::uint32_t WORD_AUTOCOMPLETE = 0x800000;

// Attributes of code_editor_set_color.
enum : int {
    COLOR_BACKGROUND = 1,
    COLOR_FOREGROUND,
    COLOR_SELECTION_BACK,
    COLOR_SELECTION_FRONT,
    COLOR_LINE_NUMBER_BACK,
    COLOR_LINE_NUMBER_FRONT,
    COLOR_CURRENT_LINE,
    COLOR_CARET,
    COLOR_CALLTIP_BACK,
    COLOR_CALLTIP_FRONT,
    COLOR_CALLTIP_HIGHLIGHT,
    COLOR_MARKER_BACK,
    COLOR_MARKER_FRONT,
    COLOR_FOLD_MARGIN,
    COLOR_FOLD_MARGIN_HIGHLIGHT,
    COLOR_FOLD_MARKER_BACK,
    COLOR_FOLD_MARKER_FRONT,
};

// Attributes of code_editor_set_attribute.
inline constexpr int ATTRIBUTE_SEPARATORS = 1;
inline constexpr int ATTRIBUTE_NUMBER_STYLE = 2;

// The editor's margins: line numbers (sized by the editor itself with EDITOR_LINE_NUMBERS), the
// marker margin (hidden until an owner gives it a width) and the fold margin (clicks toggle folds).
inline constexpr int MARGIN_LINE_NUMBERS = 0;
inline constexpr int MARGIN_MARKERS = 1;
inline constexpr int MARGIN_FOLD = 2;
// The marker margin's one marker, coloured by COLOR_MARKER_BACK and COLOR_MARKER_FRONT.
inline constexpr int MARKER_ARROW = 0;
// A syntax error's marks: a squiggle under its token and a marker in the fold margin on its line.
// The first indicator the component leaves to its container marks find's matches (find.h).
inline constexpr int INDICATOR_SYNTAX_ERROR = INDICATOR_CONTAINER + 1;
inline constexpr int MARKER_SYNTAX_ERROR = 1;

// Styles of the JavaScript set-up; plain text keeps the component's default style (STYLE_DEFAULT).
inline constexpr int STYLE_KEYWORD = 2;  // keywords, "{" and "}"
inline constexpr int STYLE_COMMENT = 3;  // line and block comments, which the line styler finds
inline constexpr int STYLE_STRING = 4;   // text in double or single quotes
inline constexpr int STYLE_NUMBER = 5;
inline constexpr int STYLE_CALL = 6;  // "(" and ")", and the word in front of a "("
// Styles that the JavaScript set-up gives a look but no token: named by that look.
inline constexpr int STYLE_SPARE_TEAL = 7;
inline constexpr int STYLE_SPARE_GREEN = 8;
inline constexpr int STYLE_SPARE_OLIVE = 9;
inline constexpr int STYLE_SPARE_GREY = 10;
inline constexpr int STYLE_SPARE_RED_BOLD = 11;

// The line state that the JavaScript styler stores for a line that ends inside a block comment;
// every other line stores 0.
inline constexpr int LINE_STATE_IN_COMMENT = 1;

// One word-table entry. `word` is a runtime string variable (UTF-16, owned).
struct WordEntry {
    char16_t* word;
    std::int32_t style;
    std::uint32_t flags;
    std::uint8_t close_char;
};

// A line styler: (gadget, line text with its line end and a NUL, bytes to style, line,
// first line of the run, last line of the run) -> LINE_STYLER_STATE_CHANGED when the line's
// end state changed (the lines below must be styled again), anything else when it did not.
using LineStyler = int (*)(ObjectNumber gadget, const char* text, int length, int line, int first_line, int last_line);
inline constexpr int LINE_STYLER_STATE_CHANGED = 1;

// The owner's notify callback; its result is ignored.
using EditorNotifyCallback = std::intptr_t (*)(ObjectNumber gadget, const SCNotification* notification);

struct EditorAcceleration;
struct EditorTheme;

// Gives an editor the colours of a table (see editor/theme.h).
using EditorThemeColours = void (*)(ObjectNumber gadget, const EditorTheme& theme);
struct FindState;
struct NamesState;

// One per editor, attached as the gadget's data.
struct EditorRecord {
    ObjectNumber gadget;
    EditorNotifyCallback notify_callback;
    std::uint32_t flags;
    std::uint32_t options;
    LineStyler line_styler;
    // The line styler styles only through the engine (code_editor_style_token and the comment
    // styling of the editor's own stylers), never with SCI_SETSTYLING of its own, so a run's
    // styles may go to the component in one message.
    bool line_styler_batchable;
    char16_t* separators;  // runtime string variable; null is empty
    std::int32_t number_style;
    ListVariable word_list;  // WordEntry elements, in the order of addition (or sorted)
    HashMap* word_index;     // lookup key -> WordEntry* (an element of word_list)
    std::int32_t completion_threshold;
    // The line count that the line-number margin was last sized for.
    std::intptr_t numbered_lines;
    // Lookup tables and scratch buffers that keep styling free of per-token allocation.
    EditorAcceleration* acceleration;
    // What gives the editor its colours from a table, run again when the desktop turns light or
    // dark, and the kind of table it last ran with (THEME_LIGHT, THEME_DARK). Null: the colours
    // are the owner's alone.
    EditorThemeColours theme_colours;
    int theme_kind;
    // Find and replace (find.h), from the first query on; null before.
    FindState* find;
    // The code's names and the occurrence marks (editor/names/names.h), from names_start on; null before.
    NamesState* names;
    // The syntax error marked now: its message (UTF-8, heap; null: none) and its column (1-based,
    // in characters); its line is the marker's, which moves with the text.
    char* syntax_message;
    int syntax_column;
};

// The working state of one restyle run, kept on the run's stack: what the token rules carry
// from one token to the next within a line, and the fold level from line to line. The
// editor's own stylers are handed it; others reach it through code_editor_style_token.
struct StyleContext {
    EditorRecord& record;
    std::int32_t fold_level;     // at the start of the line being styled (from SC_FOLDLEVELBASE)
    std::int32_t fold_delta;     // net fold change of the line so far
    std::int32_t pending_style;  // style the following blanks and the next word take; STYLE_DEFAULT: none
    const char* last_token_end;  // end of the token code_editor_style_token styled last; null: none
};

// --- Creation and configuration ---------------------------------------------------------

// Creates a code editor gadget; non-zero on success (the dynamic number for ANY_NUMBER).
ObjectNumber code_editor_create(ObjectNumber gadget, int x, int y, int width, int height,
                                EditorNotifyCallback notify_callback, std::uint32_t flags);

// The editor record of a code editor gadget, or null when the gadget is none.
EditorRecord* code_editor_record(ObjectNumber gadget);

// Replaces the whole text as one undo step. empty_undo: 0 keeps the undo history; non-zero
// empties it afterwards; EDITOR_UNDO_ONLY_THIS empties it before, so that undo can still take
// this replacement back, but nothing older (which may be megabytes of earlier texts).
inline constexpr int EDITOR_UNDO_ONLY_THIS = -1;
void code_editor_set_text(ObjectNumber gadget, const char16_t* text, int empty_undo);
// The whole text as a temporary string (runtime string area); "" for no editor.
char16_t* code_editor_get_text(ObjectNumber gadget);
void code_editor_update_line_numbers(ObjectNumber gadget);
void code_editor_set_color(ObjectNumber gadget, int attribute, int color);
void code_editor_set_font(ObjectNumber gadget, const char16_t* name, int size, int font_flags);
void code_editor_set_style_font(ObjectNumber gadget, int style, const char16_t* name, int size, int font_flags);
void code_editor_set_style_color(ObjectNumber gadget, int style, int foreground, int background);
void code_editor_set_margin_width(ObjectNumber gadget, int margin, int width);
void code_editor_set_tabs(ObjectNumber gadget, int tab_width, int indent_with_spaces);
void code_editor_set_options(ObjectNumber gadget, std::uint32_t options);
LineStyler code_editor_set_line_styler(ObjectNumber gadget, LineStyler styler);

// --- Word tables ------------------------------------------------------------------------

int code_editor_add_words(ObjectNumber gadget, const char16_t* words, int style, std::uint32_t flags);
void code_editor_add_keywords(ObjectNumber gadget, const char16_t* words, int style, std::uint32_t flags, int sort);
// Note the argument order: flags before style.
void code_editor_add_delimiter(ObjectNumber gadget, const char16_t* open, const char16_t* close, std::uint32_t flags,
                               int style);
WordEntry* code_editor_find_word(ObjectNumber gadget, const char16_t* text);
void code_editor_set_attribute(ObjectNumber gadget, int attribute, std::intptr_t value);

// --- Highlighting engine ----------------------------------------------------------------

void code_editor_restyle_lines(ObjectNumber gadget, int first_line, int last_line, std::intptr_t end_position);
int default_line_styler(ObjectNumber gadget, const char* text, int length);
int code_editor_style_token(ObjectNumber gadget, const char* text, int length);
// Styles the token at the start of the text (its style to the component, its fold flags to
// the line's fold change) and returns its length; 0 for an empty text.
int style_next_token(StyleContext& context, const char* text, int length);
// The length of the token at the start of the text as styling cuts it with no style pending;
// sends nothing and changes nothing. Completion finds the word at the caret with it.
int measure_next_token(EditorRecord* record, const char* text, int length);
// Whether the byte separates words; `entry` receives its one-character entry when it does.
bool is_separator(EditorRecord* record, unsigned char byte, WordEntry** entry);
// Length of the number at the start of the text (0 when it is none); `digits` receives
// the digit count.
int scan_number(EditorRecord* record, const char* text, int length, int* digits);

// --- JavaScript -------------------------------------------------------------------------

int javascript_line_styler(ObjectNumber gadget, const char* text, int length, int line, int first_line, int last_line);
int scan_block_comment_end(ObjectNumber gadget, const char* text, int length, bool* in_comment);
int code_editor_get_line_state(ObjectNumber gadget, int line);
int code_editor_set_line_state(ObjectNumber gadget, int line, int state);
// The JavaScript set-up, in the colours of the desktop's light or dark look, which it then follows.
void code_editor_configure_javascript(ObjectNumber gadget);

// --- Colours that follow the desktop ----------------------------------------------------

// The editor shows the colours of the table of shown_kind; from now on `colours` gives it the
// table the desktop asks for whenever that changes (null: never again).
void code_editor_follow_desktop_theme(ObjectNumber gadget, EditorThemeColours colours, int shown_kind);
// The desktop's look changed: editors that follow it take the table it asks for now, when it is
// not the one they show.
void code_editor_desktop_theme_changed(ObjectNumber gadget);
// --- Syntax error marks -----------------------------------------------------------------

// The colours of a syntax error's marks (0xBBGGRR), kept together so that a theme can replace them.
struct SyntaxMarkColors {
    int squiggle;
    int marker;
    // The call tip of the message: its page, its text and a highlighted part.
    int tip_back;
    int tip_fore;
    int tip_highlight;
};
inline constexpr SyntaxMarkColors SYNTAX_MARK_COLORS = {0x1C1CD0, 0x1C1CD0, 0xFFFFFF, 0x808080, 0x800000};

// Defines the squiggle and the marker (shown in the fold margin), and the mouse's rest time after
// which the message of the squiggle under it shows.
// An editor that follows the desktop's colour tables (code_editor_follow_desktop_theme) takes the
// colours of its table instead of `colors`.
void code_editor_configure_syntax_marks(ObjectNumber gadget, const SyntaxMarkColors& colors);
// The colours alone, as a switch between light and dark tables sets them.
void code_editor_set_syntax_mark_colors(ObjectNumber gadget, const SyntaxMarkColors& colors);
// Marks the error: the squiggle runs under its token (to the end of the line for a string, a
// regular expression or a template left open), the marker stands on its line. Null clears the marks.
void code_editor_mark_syntax_error(ObjectNumber gadget, const JsSyntaxError* error);
// Moves the caret to the marked error as it lies now (its marker's line, its column), unfolding
// and scrolling as needed; false when no error is marked.
bool code_editor_go_to_syntax_error(ObjectNumber gadget);

// --- Editing commands -------------------------------------------------------------------

// Puts "// " before every line the selection touches (the caret's line without one), or takes
// "//" and the blank after it away when every such line already starts with it after its
// indentation; lines of blanks alone are left as they are unless all are. One undo step.
// 1 when it commented, -1 when it uncommented, 0 for no editor.
int code_editor_toggle_comment(ObjectNumber gadget);

// Moves the caret to the line (1-based) and column (1-based, in characters, a tab as wide as it
// is shown; past the line's end means its end), unfolds the line and scrolls it into view,
// in the middle when it was off the screen. false, and nothing moves, when the line is not
// within 1 to the line count or the column is below 1.
bool code_editor_go_to(ObjectNumber gadget, long line, long column);
// The same to a byte of the line (0-based, within the line; one inside a character goes to the
// character's start): where a symbol of the index sits.
bool code_editor_go_to_byte(ObjectNumber gadget, long line, long byte);

// --- Brace highlighting -----------------------------------------------------------------

// Where the walk for a partner stops: this many bytes from the bracket, and this many bytes past
// the text styled already (styling ahead costs about a millisecond per 64 KB, and a keystroke
// next to a bracket whose partner is far below would pay it each time). A partner further away
// is not looked for, and the bracket is then shown plain, never as unmatched.
inline constexpr std::intptr_t BRACE_SEARCH_LIMIT = 256 * 1024;
inline constexpr std::intptr_t BRACE_STYLE_AHEAD = 32 * 1024;

inline constexpr std::intptr_t BRACE_NONE = -1;     // no partner in the whole text
inline constexpr std::intptr_t BRACE_UNKNOWN = -2;  // none within BRACE_SEARCH_LIMIT

// The bracket ( ) [ ] { } next to the caret position (the one before it first), outside strings
// and comments; -1 when there is none.
std::intptr_t code_editor_brace_at(ObjectNumber gadget, std::intptr_t caret);
// The partner of the bracket at that position, counting nesting and skipping brackets in strings
// and comments (by the editor's styles, styling ahead as far as it walks); BRACE_NONE or
// BRACE_UNKNOWN when it finds none.
std::intptr_t code_editor_brace_partner(ObjectNumber gadget, std::intptr_t position);
// Highlights the bracket at the caret and its partner, or shows it as unmatched; clears the
// highlight when the caret is at no bracket. Call it when the caret or the text changed.
struct BraceHighlight {
    std::intptr_t brace;    // -1: none
    std::intptr_t partner;  // BRACE_NONE: shown as unmatched; BRACE_UNKNOWN: shown plain
};
BraceHighlight code_editor_highlight_braces(ObjectNumber gadget);

// --- Notifications and completion -------------------------------------------------------

std::intptr_t on_editor_notification(ObjectNumber gadget, const SCNotification* notification);
// The end of a change of the text (see scintilla_set_change_end_handler): the line-number margin
// follows the line count, and completion follows a removal.
void on_editor_change_end(ObjectNumber gadget, int removed);
void update_completion(EditorRecord* record);
// The mouse rests (SCN_DWELLSTART) or moves on (SCN_DWELLEND): the message of the syntax error under
// it shows in a call tip, or goes.
void show_syntax_error_tip(EditorRecord* record, const SCNotification* notification);
