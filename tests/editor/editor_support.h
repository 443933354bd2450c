// Shared fixture of the code editor tests: a toolkit window holding one code editor on the
// real component, and readers of its styles, fold levels and line states.
#pragma once

#include <gtest/gtest.h>

#include <Qt>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "editor/code_editor.h"

class QsciScintillaBase;

// The gadget number every test's editor gets.
inline constexpr ObjectNumber kEditor = 11;

struct EditorSnapshot {
    std::vector<int> styles;       // per byte
    std::vector<int> fold_levels;  // per line
    std::vector<int> line_states;  // per line
    bool operator==(const EditorSnapshot&) const = default;
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates kEditor (replacing any earlier one) with the given flags, optionally set up
    // for JavaScript.
    void create_editor(std::uint32_t flags, bool javascript);

    QsciScintillaBase* widget() const;
    std::intptr_t send(unsigned message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) const;

    void set_utf8(const std::string& text, int empty_undo = 1);
    std::string text_utf8() const;
    int length() const;
    int line_count() const;
    // Asks the component to have everything styled again from the document start (it sends
    // the styling requests).
    void ensure_styled() const;
    // Asks for the styles up to the position as the component does before it shows text: from
    // where it has styled to, and only when that lies before the position. A run then starts
    // just above the first unstyled line, from the states stored above it.
    void style_to(int position) const;
    EditorSnapshot snapshot() const;
    int style_at(int position) const;
    int fold_level(int line) const;
    int line_state(int line) const;
    // The styles of the bytes of `text` found at its first occurrence in the document.
    std::vector<int> styles_of(const std::string& text) const;
    // Position of the first occurrence (byte offset), -1 when absent.
    int find(const std::string& text) const;

    ObjectNumber window_ = 0;
};

// An editor set up for JavaScript in a shown window with the keyboard focus, and the keys of a
// person typing into it.
class TypingTest : public EditorTest {
protected:
    void SetUp() override;
    // Keys, each followed by the events (the repaint among them) that it brings.
    void type(const char* keys);
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // A key alone, with no repaint after it: what follows a change must not wait for one.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
};

// Lexilla's readable form: the text with "{style}" wherever the style changes.
std::string format_styled(const std::string& text, const std::vector<int>& styles);
// One line per document line: fold level (hex, flags included), line state, the text.
std::string format_folded(const std::string& text, const std::vector<int>& levels, const std::vector<int>& states);
// The same per line without the text: fold level, line state, then each run of one style as
// {style}bytes (line end included). For inputs written by others, whose text we do not keep.
std::string format_runs(const std::string& text, const EditorSnapshot& snapshot);

// Where bench/fetch_npm.sh puts a file of an npm package ("<package>-<version>/package/<file>").
std::string npm_input_path(const std::string& relative);
// Ends the test when such a file is missing: skipped, or failed where CI fetched the inputs first
// and says so with QEM_REQUIRE_NPM_INPUTS.
#define SKIP_WITHOUT_NPM_INPUT(path)                                             \
    do {                                                                         \
        if (std::filesystem::exists(path)) break;                                \
        if (std::getenv("QEM_REQUIRE_NPM_INPUTS"))                               \
            FAIL() << (path) << " is missing; fetch it with bench/fetch_npm.sh"; \
        GTEST_SKIP() << "bench/fetch_npm.sh fetches " << (path);                 \
    } while (0)

// Switches accessibility on or off as a screen reader's arrival does (QAccessible::isActive()).
void set_accessibility_active(bool active);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);
std::u16string utf16(const std::string& utf8);
std::string utf8(const char16_t* text);
