/** @file document.h
 * What the program knows of the extension being edited besides its five texts, which live in the
 * fields: the current extension name, the file the texts came from or were last saved to with
 * that file's identity on disk, and the one moment at which the texts become settled. Commands,
 * the name prompt and the recovery copy read and change it here, and nowhere else. */
#pragma once

#include <string>

#include "app/extension_file.h"
#include "runtime/files/filesystem.h"

// At start-up: no name and no source file.
void document_reset();

// The name the next Save writes under ("Extensions/" + name + ".qex"); "" when none.
// Never null. Shown nowhere: the name field is a separate text.
const char16_t* current_extension_name();
void set_current_extension_name(const char16_t* name);

// The file the texts were last read from or written to, and what it was on disk then. Save uses
// it to tell the window's own file from another extension, and from its own file changed since.
struct DocumentSource {
    std::u16string path;   // as it was given; "" after New and at start
    std::string resolved;  // path_resolved of it, to compare two names of one place
    bool known = false;    // whether a file was there to take the identity of
    FileIdentity identity;
};
const DocumentSource& document_source();
// After a successful read or write of the file at the path: it becomes the source, with the
// identity it has now (none when nothing is there, as for a missing file that was opened).
void document_take_file(const char16_t* path);
// A source brought back as it was recorded (by the recovery copy); none after New.
void document_set_source(const DocumentSource& source);

// What a Save to the path would replace.
enum DocumentTarget {
    TARGET_FREE,               // nothing there, or the window's own file as it left it
    TARGET_OTHER_EXTENSION,    // a file this window neither opened from there nor saved there
    TARGET_CHANGED_ELSEWHERE,  // the window's own file, changed on disk since it was read or written
};
DocumentTarget document_save_target(const char16_t* path);

// The five fields take the texts. Undo in the code editor can bring back the code they replaced,
// and nothing older: every code an Open replaced would otherwise stay in memory for good.
void document_show_texts(const ExtensionTexts& texts);

// How the texts came to be settled.
enum TextsSettled { TEXTS_SAVED, TEXTS_OPENED, TEXTS_NEW, TEXTS_RECOVERED };

// The one place every command calls once the texts in the fields are settled: after a successful
// Save, an Open, a New, and a recovered copy filling the fields. Whatever depends on "the texts
// as last saved, opened or started with" hears of it here and nowhere else. Saved, opened and
// new texts become the reference the recovery copy is compared with, and the copy goes; a
// recovered text is still unsaved work, which keeps its copy.
void document_texts_settled(TextsSettled how);
