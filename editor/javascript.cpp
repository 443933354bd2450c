/** @file javascript.cpp
 * The JavaScript line styler (line and block comments, with the open-comment state kept in
 * the component's line states) and the JavaScript configuration of an editor. */
#include "editor/editor_internal.h"
#include "editor/search/find.h"
#include "editor/names/names.h"
#include "editor/theme.h"
#include "runtime/core/strings.h"

namespace {

bool is_line_end(unsigned char byte) { return byte == '\r' || byte == '\n'; }

// The line count, from the running restyle when there is one.
int line_count(EditorRecord* record) {
    if (record->acceleration && record->acceleration->run_line_count > 0) return record->acceleration->run_line_count;
    return static_cast<int>(scintilla_send(record->gadget, SCI_GETLINECOUNT));
}

int get_line_state(EditorRecord* record, int line) {
    if (line < 0 || line >= line_count(record)) return 0;
    return static_cast<int>(scintilla_send(record->gadget, SCI_GETLINESTATE, line));
}

int set_line_state(EditorRecord* record, int line, int state) {
    if (line < 0 || line >= line_count(record)) return 0;
    int old = static_cast<int>(scintilla_send(record->gadget, SCI_GETLINESTATE, line));
    scintilla_send(record->gadget, SCI_SETLINESTATE, line, state);
    return old;
}

int block_comment_end(EditorRecord* record, const char* text, int length, bool* in_comment) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    int i = 0;
    while (i < length) {
        ++i;
        if (p[i - 1] == '*' && i < length && p[i] == '/') {
            ++i;
            *in_comment = false;
            break;
        }
    }
    if (i == 0) return 0;
    int m = i;
    while (m > 0 && is_line_end(p[m - 1])) --m;
    if (m > 0) editor_set_styling(record, m, STYLE_COMMENT);
    return m;
}

// Styles one line: comments here, everything else through the token rules. Returns
// LINE_STYLER_STATE_CHANGED when whether the line ends inside a block comment changed.
int style_line(StyleContext& context, const char* text, int length, int line) {
    EditorRecord* record = &context.record;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    bool comment_allowed = true;
    bool in_comment = line > 0 && get_line_state(record, line - 1) != 0;
    while (length > 0) {
        if (in_comment) {
            int m = block_comment_end(record, reinterpret_cast<const char*>(p), length, &in_comment);
            p += m;
            length -= m;
        }
        comment_allowed = true;
        while (length > 0) {
            int t = 0;
            unsigned char probe = p[0];
            if (p[0] == '/' && length > 1) {
                probe = p[1];
                if (comment_allowed && p[1] == '/') {
                    t = length;
                    while (t > 0 && is_line_end(p[t - 1])) --t;
                    editor_set_styling(record, t, STYLE_COMMENT);
                } else if (p[1] == '*') {
                    editor_set_styling(record, 2, STYLE_COMMENT);
                    p += 2;
                    length -= 2;
                    in_comment = true;
                    break;
                }
            }
            if (t == 0) {
                comment_allowed = probe == '\t' || probe == ' ' || probe == ';';
                t = editor_style_token(context, reinterpret_cast<const char*>(p), length);
                if (t <= 0) return 0;  // cannot happen with length > 0; never loop forever
            }
            p += t;
            length -= t;
        }
    }
    const int state = in_comment ? LINE_STATE_IN_COMMENT : 0;
    if (get_line_state(record, line) == state) return 0;
    set_line_state(record, line, state);
    return LINE_STYLER_STATE_CHANGED;
}

// The page's colours. Each change of the default style gives every style the default's look, so
// the styles' own colours and fonts come after the last of these.
void page_colours(ObjectNumber gadget, const EditorTheme& theme) {
    code_editor_set_color(gadget, COLOR_BACKGROUND, theme.background);
    code_editor_set_color(gadget, COLOR_FOREGROUND, theme.foreground);
    code_editor_set_color(gadget, COLOR_SELECTION_BACK, theme.selection_back);
    code_editor_set_color(gadget, COLOR_SELECTION_FRONT, theme.selection_fore);
    code_editor_set_color(gadget, COLOR_CURRENT_LINE, theme.current_line);
}

// The fold margin's checkerboard: the table's colours, or the component's own.
void fold_margin_colours(ObjectNumber gadget, const EditorTheme& theme) {
    if (theme.fold_margin == THEME_COMPONENT_DEFAULT)
        scintilla_send(gadget, SCI_SETFOLDMARGINCOLOUR, 0, 0);
    else
        code_editor_set_color(gadget, COLOR_FOLD_MARGIN, theme.fold_margin);
    if (theme.fold_margin_highlight == THEME_COMPONENT_DEFAULT)
        scintilla_send(gadget, SCI_SETFOLDMARGINHICOLOUR, 0, 0);
    else
        code_editor_set_color(gadget, COLOR_FOLD_MARGIN_HIGHLIGHT, theme.fold_margin_highlight);
}

// The styles' own colours and font flags, then the margins, the caret and the brace styles.
void style_colours(ObjectNumber gadget, const EditorTheme& theme) {
    code_editor_set_style_color(gadget, STYLE_KEYWORD, theme.keyword, -1);
    code_editor_set_style_font(gadget, STYLE_COMMENT, u"", -1, FONT_ITALIC);
    code_editor_set_style_color(gadget, STYLE_COMMENT, theme.comment, -1);
    code_editor_set_style_color(gadget, STYLE_SPARE_GREEN, theme.spare_green, -1);
    code_editor_set_style_color(gadget, STYLE_SPARE_OLIVE, theme.spare_olive, -1);
    code_editor_set_style_color(gadget, STYLE_SPARE_GREY, theme.spare_grey, -1);
    code_editor_set_style_color(gadget, STYLE_SPARE_TEAL, theme.spare_teal, -1);
    code_editor_set_style_color(gadget, STYLE_STRING, theme.string, -1);
    code_editor_set_style_color(gadget, STYLE_NUMBER, theme.number, -1);
    code_editor_set_style_color(gadget, STYLE_CALL, theme.call, -1);
    code_editor_set_style_font(gadget, STYLE_SPARE_RED_BOLD, u"", -1, FONT_BOLD);
    code_editor_set_style_color(gadget, STYLE_SPARE_RED_BOLD, theme.spare_red, -1);
    code_editor_set_color(gadget, COLOR_LINE_NUMBER_BACK, theme.line_number_back);
    code_editor_set_color(gadget, COLOR_LINE_NUMBER_FRONT, theme.line_number_fore);
    code_editor_set_color(gadget, COLOR_CARET, theme.caret);
    fold_margin_colours(gadget, theme);
    code_editor_set_color(gadget, COLOR_FOLD_MARKER_FRONT, theme.fold_marker_fore);
    code_editor_set_color(gadget, COLOR_FOLD_MARKER_BACK, theme.fold_marker_back);
    code_editor_set_style_color(gadget, STYLE_BRACELIGHT, theme.brace_match_fore, theme.brace_match_back);
    code_editor_set_style_color(gadget, STYLE_BRACEBAD, theme.brace_bad_fore, theme.brace_bad_back);
    find_set_highlight_colour(gadget, theme.find_match);
    code_editor_set_occurrence_colour(gadget, theme.occurrence_mark);
    code_editor_set_syntax_mark_colors(gadget, syntax_mark_colors_of(theme));
}

// A switch between the light and the dark table: the colours again, with the font flags that the
// page colours' reset of the styles takes away; the font and the text's styles stay.
void javascript_colours(ObjectNumber gadget, const EditorTheme& theme) {
    page_colours(gadget, theme);
    style_colours(gadget, theme);
}

}  // namespace

int code_editor_get_line_state(ObjectNumber gadget, int line) {
    EditorRecord* record = editor_record_of(gadget);
    return record ? get_line_state(record, line) : 0;
}

int code_editor_set_line_state(ObjectNumber gadget, int line, int state) {
    EditorRecord* record = editor_record_of(gadget);
    return record ? set_line_state(record, line, state) : 0;
}

int scan_block_comment_end(ObjectNumber gadget, const char* text, int length, bool* in_comment) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record || !in_comment) return 0;
    return block_comment_end(record, text, length, in_comment);
}

int javascript_line_styler(ObjectNumber gadget, const char* text, int length, int line, int, int) {
    EditorRecord* record = editor_record_of(gadget);
    if (!record) return 0;
    return editor_with_context(*record, [&](StyleContext& context) { return style_line(context, text, length, line); });
}

void code_editor_configure_javascript(ObjectNumber gadget) {
    if (!editor_record_of(gadget)) return;
    const int kind = theme_desktop_kind();
    const EditorTheme& theme = theme_table(kind);
    page_colours(gadget, theme);
    code_editor_set_font(gadget, u"Consolas", 11, -1);
    code_editor_set_tabs(gadget, 4, 0);
    code_editor_set_margin_width(gadget, MARGIN_FOLD, 24);
    style_colours(gadget, theme);
    code_editor_add_delimiter(gadget, u"\"", u"\"", WORD_SPAN, STYLE_STRING);
    code_editor_add_delimiter(gadget, u"'", u"'", WORD_SPAN, STYLE_STRING);
    code_editor_add_delimiter(gadget, u"(", u"", WORD_STYLE_BEFORE, STYLE_CALL);
    code_editor_add_delimiter(gadget, u")", u"", 0, STYLE_CALL);
    code_editor_add_keywords(gadget,
                             u"break case catch continue debugger default delete do else finally for function if in "
                             u"instanceof new return switch this throw try typeof var void while with true false null "
                             u"undefined",
                             STYLE_KEYWORD, WORD_AUTOCOMPLETE, 1);
    code_editor_add_keywords(gadget, u"{", STYLE_KEYWORD, WORD_FOLD_OPEN, 0);
    code_editor_add_keywords(gadget, u"}", STYLE_KEYWORD, WORD_FOLD_CLOSE, 0);
    code_editor_set_attribute(gadget, ATTRIBUTE_SEPARATORS, reinterpret_cast<std::intptr_t>(u"=+-*/%()[],."));
    code_editor_set_attribute(gadget, ATTRIBUTE_NUMBER_STYLE, STYLE_NUMBER);
    code_editor_set_options(gadget, OPTION_STYLING | OPTION_AUTOCOMPLETE | OPTION_FOLDING | OPTION_AUTO_INDENT);
    // It styles only through the engine, so its runs may be batched.
    editor_set_line_styler(gadget, javascript_line_styler, true);
    code_editor_follow_desktop_theme(gadget, javascript_colours, kind);
}
