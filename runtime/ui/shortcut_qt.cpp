/** @file shortcut_qt.cpp
 * Qt adapter of keyboard shortcuts: Qt key events to virtual keys, and the application-wide key
 * filter that acts on the active window's accelerator entries before any widget sees the key.
 * [X] WM_COMMAND (high word 1, low word the entry's command) to the active toolkit window; the
 *     key is swallowed
 * [ ] no Qt shortcut is ever registered, and Qt's own Tab chain is not used */
#include "runtime/ui/event.h"
#include "runtime/ui/shortcut_internal.h"
#include "runtime/ui/shortcut_qt.h"
#include "runtime/ui/window_internal.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

#include <linux/input-event-codes.h>

#include <string_view>

namespace {

// On X11 and Wayland a key's native scan code is its xkb keycode: the evdev code + 8.
constexpr std::uint32_t XKB_KEYCODE_OFFSET = 8;

// The virtual key at a place of the main block, as the US layout names the places; 0 elsewhere.
std::uint16_t virtual_key_at(std::uint32_t scan_code) {
    if (scan_code < XKB_KEYCODE_OFFSET) return 0;
    const std::uint32_t code = scan_code - XKB_KEYCODE_OFFSET;
    // The evdev codes of each row of digits and letters are consecutive.
    struct Row {
        std::uint32_t first;
        std::string_view keys;
    };
    static constexpr Row rows[] = {
        {KEY_1, "1234567890"}, {KEY_Q, "QWERTYUIOP"}, {KEY_A, "ASDFGHJKL"}, {KEY_Z, "ZXCVBNM"}};
    for (const Row& row : rows)
        if (code >= row.first && code - row.first < row.keys.size()) return std::uint16_t(row.keys[code - row.first]);
    switch (code) {
    case KEY_MINUS:
        return VK_OEM_MINUS;
    case KEY_EQUAL:
        return VK_OEM_PLUS;
    case KEY_LEFTBRACE:
        return VK_OEM_4;
    case KEY_RIGHTBRACE:
        return VK_OEM_6;
    case KEY_SEMICOLON:
        return VK_OEM_1;
    case KEY_APOSTROPHE:
        return VK_OEM_7;
    case KEY_GRAVE:
        return VK_OEM_3;
    case KEY_BACKSLASH:
        return VK_OEM_5;
    case KEY_COMMA:
        return VK_OEM_COMMA;
    case KEY_DOT:
        return VK_OEM_PERIOD;
    case KEY_SLASH:
        return VK_OEM_2;
    case KEY_102ND:
        return VK_OEM_102;
    default:
        return 0;
    }
}

std::uint16_t keypad_virtual_key(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return std::uint16_t(VK_NUMPAD0 + (key - Qt::Key_0));
    switch (key) {
    case Qt::Key_Asterisk:
        return VK_MULTIPLY;
    case Qt::Key_Plus:
        return VK_ADD;
    case Qt::Key_Comma:
        return VK_SEPARATOR;
    case Qt::Key_Minus:
        return VK_SUBTRACT;
    case Qt::Key_Period:
        return VK_DECIMAL;
    case Qt::Key_Slash:
        return VK_DIVIDE;
    default:
        return 0;  // Enter, and the arrows and Home of a keypad without Num Lock, are the main keys
    }
}

std::uint16_t named_virtual_key(int key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return std::uint16_t(VK_F1 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}

// The OEM key of a punctuation character, at either level of its US key.
std::uint16_t punctuation_virtual_key(int key) {
    struct Punctuation {
        std::string_view characters;
        std::uint16_t vk;
    };
    static constexpr Punctuation keys[] = {
        {";:", VK_OEM_1},      {"=+", VK_OEM_PLUS}, {",<", VK_OEM_COMMA}, {"-_", VK_OEM_MINUS},
        {".>", VK_OEM_PERIOD}, {"/?", VK_OEM_2},    {"`~", VK_OEM_3},     {"[{", VK_OEM_4},
        {"\\|", VK_OEM_5},     {"]}", VK_OEM_6},    {"'\"", VK_OEM_7},
    };
    if (key <= 0x20 || key >= 0x7F) return 0;
    for (const Punctuation& p : keys)
        if (p.characters.find(char(key)) != std::string_view::npos) return p.vk;
    return 0;
}

// The application-wide key filter: a window's shortcuts act before any widget sees the key, so that
// Ctrl+X in a field or in the code editor is a command and never Cut.
class ShortcutFilter : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
        if (!object->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(object);
        auto* key = static_cast<QKeyEvent*>(event);
        std::uint16_t vk = shortcut_virtual_key(*key);
        if (!vk) return false;
        // The window that receives the key is the active one.
        QWidget* top = widget->window();
        ObjectNumber number = top->property(WINDOW_ID_PROPERTY).toLongLong() - 1;
        WindowRecord* record = number >= 0 ? window_lookup(number) : nullptr;
        if (!record || record->handle != static_cast<NativeHandle>(top)) return false;

        QWidget* focus = QApplication::focusWidget();
        if (!focus || focus->window() != top) focus = widget;
        ShortcutFocus info{};
        info.has_focus = focus != top;
        if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
            info.multiline_editor = true;
            info.read_only = plain->isReadOnly();
        } else if (auto* rich = qobject_cast<QTextEdit*>(focus)) {
            info.multiline_editor = true;
            info.read_only = rich->isReadOnly();
        }
        info.hotkey = focus->property(SHORTCUT_HOTKEY_PROPERTY).toLongLong() != 0;
        info.takes_tab = focus->property(SHORTCUT_TAKES_TAB_PROPERTY).toLongLong() != 0;

        std::uint8_t fvirt = shortcut_key_fvirt(*key);
        const AcceleratorTable* table = shortcut_choose_table(record, info, vk, fvirt);
        int command = accelerator_table_find(table, vk, fvirt);
        if (command < 0) return false;
        event->accept();
        if (event->type() == QEvent::KeyPress)
            window_send_message(top, WM_COMMAND, make_wparam(unsigned(command), 1), 0);
        return true;
    }
};

ShortcutFilter* the_shortcut_filter = nullptr;

}  // namespace

std::uint16_t shortcut_virtual_key(const QKeyEvent& event) {
    const int key = event.key();
    if (event.modifiers() & Qt::KeypadModifier)
        if (std::uint16_t vk = keypad_virtual_key(key)) return vk;
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return std::uint16_t(key);
    if (std::uint16_t vk = named_virtual_key(key)) return vk;
    // The key beside left Shift types '<' or '\' by layout, but is one key.
    const std::uint16_t place = virtual_key_at(event.nativeScanCode());
    if (place == VK_OEM_102) return place;
    if (std::uint16_t vk = punctuation_virtual_key(key)) return vk;
    return place;
}

std::uint8_t shortcut_key_fvirt(const QKeyEvent& key) {
    std::uint8_t fvirt = FVIRTKEY | FNOINVERT;
    Qt::KeyboardModifiers m = key.modifiers();
    if ((m & Qt::ShiftModifier) || key.key() == Qt::Key_Backtab) fvirt |= FSHIFT;
    if (m & Qt::ControlModifier) fvirt |= FCONTROL;
    if (m & Qt::AltModifier) fvirt |= FALT;
    return fvirt;
}

void shortcut_filter_install() {
    if (the_shortcut_filter || !qApp) return;
    the_shortcut_filter = new ShortcutFilter;
    qApp->installEventFilter(the_shortcut_filter);
}

void shortcut_filter_remove() {
    if (!the_shortcut_filter) return;
    if (qApp) qApp->removeEventFilter(the_shortcut_filter);
    delete the_shortcut_filter;
    the_shortcut_filter = nullptr;
}
