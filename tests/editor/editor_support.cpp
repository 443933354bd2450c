// Shared fixture of the code editor tests.
#include "editor_support.h"

#include <Qsci/qsciscintillabase.h>

#include <QApplication>
#include <QString>
#include <QTest>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>
#include <fstream>
#include <sstream>

#include "editor/scintilla.h"
#include "runtime/ui/window.h"

namespace {
ObjectNumber shared_window = 0;
}

void EditorTest::SetUp() {
    if (!shared_window) shared_window = window_open(ANY_NUMBER, 10, 10, 900, 700, u"Editor tests", 0);
    window_ = shared_window;
    ASSERT_NE(window_, 0);
}

void EditorTest::TearDown() {}

void EditorTest::create_editor(std::uint32_t flags, bool javascript) {
    ASSERT_NE(code_editor_create(kEditor, 0, 0, 800, 600, nullptr, flags), 0);
    if (javascript) code_editor_configure_javascript(kEditor);
}

void TypingTest::SetUp() {
    EditorTest::SetUp();
    create_editor(EDITOR_LINE_NUMBERS, true);
    widget()->window()->show();
    widget()->setFocus();
    QApplication::processEvents();
}

void TypingTest::type(const char* keys) {
    QTest::keyClicks(widget(), keys);
    QApplication::processEvents();
}

void TypingTest::press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(widget(), key, modifiers);
    QApplication::processEvents();
}

void TypingTest::key(Qt::Key key, Qt::KeyboardModifiers modifiers) { QTest::keyClick(widget(), key, modifiers); }

QsciScintillaBase* EditorTest::widget() const { return static_cast<QsciScintillaBase*>(scintilla_widget(kEditor)); }

std::intptr_t EditorTest::send(unsigned message, std::uintptr_t wparam, std::intptr_t lparam) const {
    return scintilla_send(kEditor, message, wparam, lparam);
}

void EditorTest::set_utf8(const std::string& text, int empty_undo) {
    std::u16string wide = utf16(text);
    code_editor_set_text(kEditor, wide.c_str(), empty_undo);
}

std::string EditorTest::text_utf8() const {
    std::string text(static_cast<std::size_t>(length()) + 1, '\0');
    send(SCI_GETTEXT, text.size(), reinterpret_cast<std::intptr_t>(text.data()));
    text.pop_back();
    return text;
}

int EditorTest::length() const { return static_cast<int>(send(SCI_GETLENGTH)); }
int EditorTest::line_count() const { return static_cast<int>(send(SCI_GETLINECOUNT)); }
void EditorTest::ensure_styled() const { send(SCI_COLOURISE, 0, -1); }
void EditorTest::style_to(int position) const {
    const std::intptr_t styled = send(SCI_GETENDSTYLED);
    if (styled < position) send(SCI_COLOURISE, static_cast<std::uintptr_t>(styled), position);
}
int EditorTest::style_at(int position) const { return static_cast<int>(send(SCI_GETSTYLEAT, position)); }
int EditorTest::fold_level(int line) const { return static_cast<int>(send(SCI_GETFOLDLEVEL, line)); }
int EditorTest::line_state(int line) const { return static_cast<int>(send(SCI_GETLINESTATE, line)); }

EditorSnapshot EditorTest::snapshot() const {
    EditorSnapshot shot;
    const int n = length();
    shot.styles.reserve(n);
    for (int i = 0; i < n; ++i) shot.styles.push_back(style_at(i));
    for (int line = 0, lines = line_count(); line < lines; ++line) {
        shot.fold_levels.push_back(fold_level(line));
        shot.line_states.push_back(line_state(line));
    }
    return shot;
}

int EditorTest::find(const std::string& needle) const { return static_cast<int>(text_utf8().find(needle)); }

std::vector<int> EditorTest::styles_of(const std::string& needle) const {
    std::vector<int> styles;
    int at = find(needle);
    if (at < 0) return styles;
    for (std::size_t i = 0; i < needle.size(); ++i) styles.push_back(style_at(at + static_cast<int>(i)));
    return styles;
}

std::string format_styled(const std::string& text, const std::vector<int>& styles) {
    std::string out;
    int current = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        int style = i < styles.size() ? styles[i] : -1;
        if (style != current) {
            out += "{" + std::to_string(style) + "}";
            current = style;
        }
        out += text[i];
    }
    return out;
}

std::string format_folded(const std::string& text, const std::vector<int>& levels, const std::vector<int>& states) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t line = 0; line < levels.size(); ++line) {
        std::size_t end = text.find('\n', start);
        std::string content = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!content.empty() && content.back() == '\r') content.pop_back();
        char head[32];
        std::snprintf(head, sizeof head, "%4x %d | ", static_cast<unsigned>(levels[line]),
                      line < states.size() ? states[line] : -1);
        out += head + content + "\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

std::string format_runs(const std::string& text, const EditorSnapshot& snapshot) {
    const auto style = [&](std::size_t at) { return at < snapshot.styles.size() ? snapshot.styles[at] : -1; };
    std::string out;
    for (std::size_t line = 0, start = 0; line < snapshot.fold_levels.size() && start <= text.size(); ++line) {
        const std::size_t newline = text.find('\n', start),
                          end = newline == std::string::npos ? text.size() : newline + 1;
        char head[32];
        std::snprintf(head, sizeof head, "%4x %d |", static_cast<unsigned>(snapshot.fold_levels[line]),
                      line < snapshot.line_states.size() ? snapshot.line_states[line] : -1);
        out += head;
        for (std::size_t i = start, run; i < end; i = run) {
            for (run = i; run < end && style(run) == style(i);) ++run;
            out += " {" + std::to_string(style(i)) + "}" + std::to_string(run - i);
        }
        out += "\n";
        if (end == text.size()) break;
        start = end;
    }
    return out;
}

std::string npm_input_path(const std::string& relative) {
    return std::string(QEM_SOURCE_DIR) + "/bench/.cache/" + relative;
}

void set_accessibility_active(bool active) {
    QPlatformAccessibility* accessibility = QGuiApplicationPrivate::platformIntegration()->accessibility();
    ASSERT_NE(accessibility, nullptr) << "the platform has no accessibility";
    accessibility->setActive(active);
    ASSERT_EQ(QAccessible::isActive(), active);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::u16string utf16(const std::string& text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}

std::string utf8(const char16_t* text) {
    if (!text) return {};
    return QString::fromUtf16(text).toUtf8().toStdString();
}
