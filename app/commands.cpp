/** @file commands.cpp
 * New, Open, Save and Save as, with the questions asked before a save and its outcome message. */
#include "app/commands.h"

#include <cstdlib>
#include <new>
#include <string>

#include "app/application.h"
#include "app/extension_file.h"
#include "app/messages.h"
#include "app/name_prompt.h"
#include "app/recovery.h"
#include "editor/code_editor.h"
#include "runtime/core/strings.h"
#include "runtime/files/replace.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/requester.h"

namespace {

// The labels of the fields, in the order of the extension's members, as the window shows them.
constexpr const char16_t* FIELD_LABELS[] = {u"Extension name", u"Author", u"Description", u"Help", u"Code"};

constexpr char16_t REPLACEMENT_CHARACTER = 0xFFFD;
constexpr const char16_t* NOT_UTF8 = u"its name is not valid UTF-8.";

std::u16string copy_of(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

// The current name becomes the file part of the path, without ".qex".
void take_name_from_path(const char16_t* path) {
    TempScope scope;
    set_current_extension_name(extension_name_from_path(path, scope.start()));
}

// The four fields and the code, each taken into its own variable: the next read reuses the area.
ExtensionTexts gather_texts() {
    ExtensionTexts texts{};
    TempScope scope;
    gadget_get_text(GADGET_NAME, scope.start());
    scope.take(&texts.extension);
    gadget_get_text(GADGET_AUTHOR, scope.start());
    scope.take(&texts.author);
    gadget_get_text(GADGET_DESCRIPTION, scope.start());
    scope.take(&texts.description);
    gadget_get_text(GADGET_HELP, scope.start());
    scope.take(&texts.help);
    code_editor_get_text(GADGET_CODE);
    scope.take(&texts.code);
    return texts;
}

// "Extensions/" + the current name + ".qex"; "" for a name no file can have.
std::u16string current_file_path() {
    TempScope scope;
    return copy_of(extension_file_path(current_extension_name(), scope.start()));
}

// Yes when no text holds a line the reader takes for a marker, or the user saves it anyway.
bool markers_accepted(const ExtensionTexts& texts) {
    ExtensionMarkerLine found = extension_texts_marker_line(texts);
    if (found.member < 0) return true;
    return ask_confirm(u"The " + std::u16string(FIELD_LABELS[found.member]) + u" holds the line \"" + found.marker +
                       u"\", which starts another section when the extension is opened again. Save anyway?");
}

// Yes when the file at the path is free to replace, or the user says it may go.
bool replacing_accepted(const std::u16string& path) {
    const std::u16string name = current_extension_name();
    switch (document_save_target(path.c_str())) {
    case TARGET_OTHER_EXTENSION:
        return ask_confirm(u"Replace the extension \"" + name + u"\" that is already in the Extensions folder?");
    case TARGET_CHANGED_ELSEWHERE:
        return ask_confirm(u"\"" + name + u"\" was changed by another program since it was opened here. Replace it?");
    default:
        return true;
    }
}

// Yes when the new file keeps everything the old one had, or the user lets go of what it cannot;
// `allowed` gets what was let go.
bool losses_accepted(const std::u16string& path, unsigned* allowed) {
    static const std::pair<unsigned, const char16_t*> what[] = {
        {REPLACE_LOSES_OWNER, u"it will belong to you instead of its owner"},
        {REPLACE_LOSES_GROUP, u"its group will be yours instead of its own"},
        {REPLACE_LOSES_LINKS, u"its other names (hard links) will keep the old text"},
        {REPLACE_LOSES_ATTRIBUTES, u"extended attributes it has will be lost"},
    };
    *allowed = file_replace_losses(path.c_str());
    if (*allowed == 0) return true;
    std::u16string lost;
    for (const auto& [loss, words] : what)
        if (*allowed & loss) lost += (lost.empty() ? u"" : u"; ") + std::u16string(words);
    return ask_confirm(u"Saving \"" + std::u16string(current_extension_name()) +
                       u"\" replaces its file with a new one: " + lost + u". Save anyway?");
}

// OK in the name prompt: the name entered is saved under. When a question stops the save, the
// name it had before stays, so another name is the way on.
void save_under_name(const char16_t* name) {
    const std::u16string previous = current_extension_name();
    set_current_extension_name(name);
    if (write_extension_file() == SAVE_DECLINED) set_current_extension_name(previous.c_str());
}

}  // namespace

bool confirm_new_extension() { return ask_confirm(u"Create a new extension?"); }

bool confirm_exit() {
    if (!ask_confirm(u"Exit from Quorval Extension Maker?")) return false;
    std::u16string reason;
    if (recovery_keep_for_exit(&reason)) return true;
    // Yes to the first question was given trusting the copy; a habitual Return keeps the window.
    return ask_confirm(u"The unsaved changes cannot be kept for the next start (" + reason + u"). Exit anyway?", true);
}

void new_extension() {
    set_current_extension_name(u"");
    document_show_texts(ExtensionTexts{});
    document_texts_settled(TEXTS_NEW);
}

// Whether memory holds the texts' copies that showing them makes: the fields' and the code
// editor's own, the code in UTF-8 beside its UTF-16 reading and the old text until it goes.
// Asked for once, at about OPEN_ROOM_FACTOR times the texts' bytes, and given back at once.
constexpr std::size_t OPEN_ROOM_FACTOR = 6;

static bool room_to_show(const ExtensionTexts& texts) {
    std::size_t units = 0;
    for (StringVar text : {texts.extension, texts.author, texts.description, texts.help, texts.code})
        if (text) units += static_cast<std::size_t>(string_len(text));
    void* room = std::malloc(OPEN_ROOM_FACTOR * 2 * units + 1);
    std::free(room);
    return room != nullptr;
}

void open_extension_file() {
    TempScope scope;
    const char16_t* path = requester_open_file(u"Select a Quorval Extension...", nullptr,
                                               u"Quorval Extensions (*.qex)|*.qex", 0, scope.start());
    if (!path || !*path) return;
    open_extension_path(copy_of(path).c_str());
}

bool open_extension_path(const char16_t* path) {
    // Held apart: the path may lie in the temporary area, which reading moves.
    const std::u16string held = copy_of(path);
    // A name that was not UTF-8 reaches here with U+FFFD in its place, and names another file:
    // one that is not there, and that a Save would then create beside the real one.
    if (held.find(REPLACEMENT_CHARACTER) != std::u16string::npos && path_size(held.c_str()) == PATH_SIZE_MISSING) {
        show_cannot_open(held, NOT_UTF8);
        return false;
    }
    ExtensionReadOutcome outcome = EXTENSION_READ;
    ExtensionTexts texts = read_extension_texts(held.c_str(), &outcome);
    bool opened = outcome == EXTENSION_READ || outcome == EXTENSION_MISSING;
    if (opened && !room_to_show(texts)) {
        // Nothing has changed yet; the application's loop says that memory ran out.
        extension_texts_free(&texts);
        throw std::bad_alloc();
    }
    if (opened) {
        take_name_from_path(held.c_str());
        document_show_texts(texts);
        document_take_file(held.c_str());
        document_texts_settled(TEXTS_OPENED);
    } else {
        show_cannot_open(held, outcome);
    }
    extension_texts_free(&texts);
    return opened;
}

bool open_extension_argument(const char* path) {
    TempScope scope;
    const std::u16string shown = copy_of(string_from_memory(path, -1, TEXT_UTF8, scope.start()));
    if (!system_path_is_utf8(path)) {
        show_cannot_open(shown, NOT_UTF8);
        return false;
    }
    return open_extension_path(shown.c_str());
}

void save_extension() {
    if (*current_extension_name() == u'\0')
        save_extension_as();
    else
        write_extension_file();
}

void save_extension_as() { ask_extension_name(save_under_name); }

SaveOutcome write_extension_file() {
    ExtensionTexts texts = gather_texts();
    const std::u16string path = current_file_path();
    SaveOutcome outcome = SAVE_DECLINED;
    unsigned losses_allowed = 0;
    if (markers_accepted(texts) && replacing_accepted(path) && losses_accepted(path, &losses_allowed))
        outcome = write_extension_texts(path.c_str(), texts, losses_allowed) ? SAVE_WRITTEN : SAVE_FAILED;
    extension_texts_free(&texts);

    if (outcome == SAVE_WRITTEN) {
        document_take_file(path.c_str());
        document_texts_settled(TEXTS_SAVED);
        show_message(u"Quorval Extension Maker",
                     u"Extension: " + std::u16string(current_extension_name()) + u" successfully saved.");
    } else if (outcome == SAVE_FAILED) {
        show_message(u"Error", u"Failed. Please try again.");
    }
    return outcome;
}
