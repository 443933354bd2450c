/** @file document.cpp
 * The current extension name, the source file and its identity, the texts shown in the fields,
 * and the settling of the texts. */
#include "app/document.h"

#include "app/application.h"
#include "app/code_check.h"
#include "app/recovery.h"
#include "app/status_line.h"
#include "editor/code_editor.h"
#include "runtime/core/strings.h"
#include "runtime/ui/gadget.h"

namespace {

StringVar current_name = nullptr;  // null is the empty string; lives in the string heap
DocumentSource source;

}  // namespace

void document_reset() {
    set_current_extension_name(u"");
    source = DocumentSource{};
}

const char16_t* current_extension_name() { return current_name ? current_name : u""; }

void set_current_extension_name(const char16_t* name) { string_var_assign(&current_name, name); }

const DocumentSource& document_source() { return source; }

void document_take_file(const char16_t* path) {
    DocumentSource taken;
    taken.path = path ? path : u"";
    taken.resolved = path_resolved(path);
    taken.known = path_identity(path, &taken.identity);
    source = std::move(taken);
}

void document_set_source(const DocumentSource& restored) { source = restored; }

DocumentTarget document_save_target(const char16_t* path) {
    FileIdentity there;
    if (!path_identity(path, &there)) return TARGET_FREE;
    // One's own file is known by its identity or by its place: a program that saves by renaming
    // a new file over it leaves another inode at the same place.
    bool same_file = source.known && there.same_file_as(source.identity);
    bool same_place = !source.resolved.empty() && path_resolved(path) == source.resolved;
    if (!same_file && !same_place) return TARGET_OTHER_EXTENSION;
    // A recovery copy of an older version recorded no change time: compared without it.
    if (source.identity.changed_ns == 0) there.changed_ns = 0;
    return source.known && there == source.identity ? TARGET_FREE : TARGET_CHANGED_ELSEWHERE;
}

void document_show_texts(const ExtensionTexts& texts) {
    gadget_set_text(GADGET_NAME, texts.extension);
    gadget_set_text(GADGET_AUTHOR, texts.author);
    gadget_set_text(GADGET_DESCRIPTION, texts.description);
    gadget_set_text(GADGET_HELP, texts.help);
    code_editor_set_text(GADGET_CODE, texts.code, EDITOR_UNDO_ONLY_THIS);
}

void document_texts_settled(TextsSettled how) {
    if (how == TEXTS_NEW) source = DocumentSource{};
    if (how != TEXTS_RECOVERED) {
        recovery_texts_settled();
        status_line_texts_settled();
    }
    // A text that no check has seen yet (opened, recovered, new) is checked at once.
    code_check_texts_settled();
}
