/** @file code.h
 * The code editor's text in a benchmark: put in as Open puts it, and read back as the component
 * holds it (with CR LF line ends, as the editor keeps them). */
#pragma once

#include "app/application.h"
#include "editor/code_editor.h"
#include "editor/scintilla.h"
#include "runtime/core/strings.h"

#include <cstdint>
#include <string>

namespace bench {

inline void set_code(const std::string& text) {
    std::int32_t at = temp_position();
    code_editor_set_text(GADGET_CODE,
                         string_from_memory(text.data(), static_cast<std::int32_t>(text.size()), TEXT_UTF8, at), 1);
    temp_reset(at);
}

inline std::string code_bytes() {
    const auto* bytes = reinterpret_cast<const char*>(scintilla_send(GADGET_CODE, SCI_GETCHARACTERPOINTER));
    return std::string(bytes, static_cast<std::size_t>(scintilla_send(GADGET_CODE, SCI_GETLENGTH)));
}

}  // namespace bench
