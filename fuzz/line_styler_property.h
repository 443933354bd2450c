// What must hold for any bytes styled by the JavaScript line styler, shared by the libFuzzer
// target and the test that replays its saved corpus: every byte of a run's range is styled
// exactly once, styles, fold levels and line states stay in their ranges, a partial run
// styles exactly its lines, and restyling again changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "editor/code_editor.h"
#include "editor/editor_internal.h"
#include "editor/scintilla.h"

namespace line_styler_fuzz {

inline constexpr unsigned SCI_CLEARALL = 2004;
inline constexpr unsigned SCI_ADDTEXT = 2001;

struct Picture {
    std::vector<int> styles, levels, states;
    bool operator==(const Picture&) const = default;
};

inline Picture picture(ObjectNumber gadget) {
    Picture p;
    const auto length = scintilla_send(gadget, SCI_GETLENGTH);
    for (std::intptr_t i = 0; i < length; ++i)
        p.styles.push_back(static_cast<int>(scintilla_send(gadget, SCI_GETSTYLEAT, i)));
    const auto lines = scintilla_send(gadget, SCI_GETLINECOUNT);
    for (std::intptr_t line = 0; line < lines; ++line) {
        p.levels.push_back(static_cast<int>(scintilla_send(gadget, SCI_GETFOLDLEVEL, line)));
        p.states.push_back(static_cast<int>(scintilla_send(gadget, SCI_GETLINESTATE, line)));
    }
    return p;
}

// The empty text when everything holds, else what failed. The editor must be configured for
// JavaScript.
inline std::string check(ObjectNumber gadget, const std::uint8_t* data, std::size_t size) {
    EditorRecord* record = code_editor_record(gadget);
    if (!record) return "no editor";
    if (size > 65536) size = 65536;
    scintilla_send(gadget, SCI_CLEARALL);
    scintilla_send(gadget, SCI_ADDTEXT, size, reinterpret_cast<std::intptr_t>(data));
    scintilla_send(gadget, SCI_EMPTYUNDOBUFFER);  // no history piling up over a long run
    const auto length = static_cast<std::size_t>(scintilla_send(gadget, SCI_GETLENGTH));
    if (length != size) return "text not taken whole";

    code_editor_restyle_lines(gadget, 0, -1, -1);
    if (record->acceleration->run_styled_bytes != length)
        return "full run styled " + std::to_string(record->acceleration->run_styled_bytes) + " of " +
               std::to_string(length) + " bytes";
    if (static_cast<std::size_t>(scintilla_send(gadget, SCI_GETENDSTYLED)) != length) return "not styled to the end";
    const Picture full = picture(gadget);
    for (int style : full.styles)
        if (style != 2 && style != 3 && style != 4 && style != 5 && style != 6 && style != STYLE_DEFAULT)
            return "unexpected style " + std::to_string(style);
    const int lines = static_cast<int>(full.levels.size());
    for (int line = 0; line < lines; ++line) {
        const int number = full.levels[line] & SC_FOLDLEVELNUMBERMASK;
        // Each opening takes at least one byte of the text above the line.
        const auto above = scintilla_send(gadget, SCI_POSITIONFROMLINE, line);
        if (number < SC_FOLDLEVELBASE || number > SC_FOLDLEVELBASE + above || (full.levels[line] & 0x1000))
            return "fold level out of range";
        if (full.states[line] != 0 && full.states[line] != 1) return "line state out of range";
    }

    // A run over a few lines starts one line above them and styles exactly those lines.
    const int first = size ? data[0] % lines : 0;
    const int last = first + 3;
    code_editor_restyle_lines(gadget, first, last, -1);
    const int from = first > 0 ? first - 1 : 0;
    const int to = last < lines ? last : lines - 1;
    const std::intptr_t start = scintilla_send(gadget, SCI_POSITIONFROMLINE, from);
    const std::intptr_t end =
        to + 1 < lines ? scintilla_send(gadget, SCI_POSITIONFROMLINE, to + 1) : static_cast<std::intptr_t>(length);
    if (static_cast<std::intptr_t>(record->acceleration->run_styled_bytes) != end - start)
        return "partial run styled " + std::to_string(record->acceleration->run_styled_bytes) + " of " +
               std::to_string(end - start) + " bytes";
    if (picture(gadget) != full) return "a partial run changed the result";

    code_editor_restyle_lines(gadget, 0, -1, -1);
    if (picture(gadget) != full) return "restyling changed the result";
    return {};
}

}  // namespace line_styler_fuzz
