/** @file gadget_qt.cpp
 * Qt adapter of the gadgets: text QLabel, string QLineEdit, editor QPlainTextEdit, button
 * QPushButton, checkbox QCheckBox, list QListView over a model that asks its rows' text only for
 * the rows on screen; children of the client area of the current gadget list window.
 * [X] WM_COMMAND from the control to its window: BN_CLICKED of buttons and checkboxes; EN_UPDATE
 *     and EN_CHANGE of string fields, EN_CHANGE of editors
 * [X] EVENT_GADGET with GADGET_EVENT_FOCUS / GADGET_EVENT_LOST_FOCUS from string fields, the
 *     key events (GADGET_EVENT_RETURN ...) of controls made with GADGET_KEY_EVENTS_FLAG, the arrow
 *     key events of fields made with GADGET_ARROW_EVENTS_FLAG, GADGET_EVENT_RETURN from a double
 *     click in a list
 * [X] colours through the widget's palette, set when the colour is
 * [X] undo, redo, the clipboard and select all of string fields and editors (WM_UNDO, WM_CUT, ...)
 * [X] labels that shorten a text too long for them (GADGET_SHORTEN_FLAG), and the width a text needs
 * [ ] not emulated: WM_CTLCOLOR... (Qt never asks for a colour), themed borders, drop targets */
#include "runtime/core/registry.h"
#include "runtime/core/strings.h"
#include "runtime/ui/event_internal.h"
#include "runtime/ui/font_qt.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/gadget_internal.h"
#include "runtime/ui/window_qt.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFont>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVariant>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

QWidget* control_widget(const GadgetRecord* record) { return static_cast<QWidget*>(record->handle); }

ObjectNumber identifier_of(const QObject* control) {
    QVariant value = control->property(GADGET_ID_PROPERTY);
    return value.isValid() ? ObjectNumber(value.toLongLong()) : -1;
}

// The font a handle stands for: null or -1 is the default GUI font.
QFont font_of(NativeHandle font) {
    if (!font || font == reinterpret_cast<NativeHandle>(-1)) return QApplication::font();
    const QFont* qfont = font_qfont(font);
    return qfont ? *qfont : QApplication::font();
}

// Sends a control's WM_COMMAND to its toolkit window, as a control notifies its parent.
void notify_parent(QWidget* control, int code) {
    NativeHandle window = window_of_widget(control);
    ObjectNumber id = identifier_of(control);
    if (!window || id < 0) return;
    window_send_message(window, WM_COMMAND, make_wparam(unsigned(id), unsigned(code)),
                        reinterpret_cast<std::intptr_t>(control));
}

// The focus procedure of string fields: focus changes become gadget events.
class StringFocusFilter : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) return false;
        ObjectNumber id = identifier_of(object);
        if (id < 0) return false;
        ObjectNumber window = window_find_toolkit(static_cast<QWidget*>(object), nullptr);
        event_enqueue(EVENT_GADGET, id, window,
                      event->type() == QEvent::FocusIn ? GADGET_EVENT_FOCUS : GADGET_EVENT_LOST_FOCUS);
        return false;
    }
};

StringFocusFilter* the_focus_filter = nullptr;

// A key of a control that reports it becomes a gadget event of that type instead of reaching it.
bool report_key(QObject* object, int type) {
    const ObjectNumber id = identifier_of(object);
    if (id < 0) return false;
    event_enqueue(EVENT_GADGET, id, window_find_toolkit(static_cast<QWidget*>(object), nullptr), type);
    return true;
}

// Enter, Escape and Tab of a control that reports them: gadget events, never the control's keys.
class KeyEventFilter : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        int type = 0;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            type = shift ? GADGET_EVENT_SHIFT_RETURN : GADGET_EVENT_RETURN;
            break;
        case Qt::Key_Escape:
            type = GADGET_EVENT_ESCAPE;
            break;
        case Qt::Key_Tab:
            type = shift ? GADGET_EVENT_SHIFT_TAB : GADGET_EVENT_TAB;
            break;
        case Qt::Key_Backtab:
            type = GADGET_EVENT_SHIFT_TAB;
            break;
        default:
            return false;
        }
        return report_key(object, type);
    }
};

KeyEventFilter* the_key_filter = nullptr;

// Up, Down, Page Up and Page Down of a field that reports them.
class ArrowKeyFilter : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier | Qt::ShiftModifier))
            return false;
        int type = 0;
        switch (key->key()) {
        case Qt::Key_Up:
            type = GADGET_EVENT_UP;
            break;
        case Qt::Key_Down:
            type = GADGET_EVENT_DOWN;
            break;
        case Qt::Key_PageUp:
            type = GADGET_EVENT_PAGE_UP;
            break;
        case Qt::Key_PageDown:
            type = GADGET_EVENT_PAGE_DOWN;
            break;
        default:
            return false;
        }
        return report_key(object, type);
    }
};

ArrowKeyFilter* the_arrow_filter = nullptr;

void report_keys(QWidget* control, int flags) {
    if (flags & GADGET_ARROW_EVENTS_FLAG) {
        if (!the_arrow_filter) the_arrow_filter = new ArrowKeyFilter;
        control->installEventFilter(the_arrow_filter);
    }
    if (!(flags & GADGET_KEY_EVENTS_FLAG)) return;
    if (!the_key_filter) the_key_filter = new KeyEventFilter;
    control->installEventFilter(the_key_filter);
}

// ---------------------------------------------------------------------------------------------
// Labels that shorten a text too long for them (GADGET_SHORTEN_FLAG): the whole text is kept in a
// property, and the label shows as much of it as its width holds, again after every resize.

constexpr const char* FULL_TEXT_PROPERTY = "QZ_FullText";

bool shortens(const QLabel* label) { return label->property(FULL_TEXT_PROPERTY).isValid(); }

QString label_text(const QLabel* label) {
    return shortens(label) ? label->property(FULL_TEXT_PROPERTY).toString() : label->text();
}

void shorten(QLabel* label) {
    const QString full = label->property(FULL_TEXT_PROPERTY).toString();
    const int room = label->contentsRect().width() - 2 * label->margin();
    label->setText(label->fontMetrics().elidedText(full, Qt::ElideRight, std::max(room, 0)));
}

void set_label_text(QLabel* label, const QString& text) {
    label->setProperty(FULL_TEXT_PROPERTY, text);
    label->setAccessibleName(text);
    shorten(label);
}

class ShortenFilter : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)
            shorten(static_cast<QLabel*>(object));
        return false;
    }
};

ShortenFilter* the_shorten_filter = nullptr;

// ---------------------------------------------------------------------------------------------
// Colours of text and string gadgets.

void apply_palette(GadgetRecord* record) {
    QWidget* w = control_widget(record);
    const bool label = record->kind_table->kind == GADGET_KIND_TEXT;
    QPalette palette = QApplication::palette(w);
    const QPalette::ColorRole text_role = label ? QPalette::WindowText : QPalette::Text;
    const QPalette::ColorRole back_role = label ? QPalette::Window : QPalette::Base;
    auto qcolor = [](std::intptr_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); };
    if (record->front_color != -1) palette.setColor(text_role, qcolor(record->front_color));
    if (record->back_color != -1) palette.setColor(back_role, qcolor(record->back_color));
    w->setPalette(palette);
    w->setAutoFillBackground(label && record->back_color != -1);
    w->update();
}

void text_set_color(GadgetRecord* record, int kind, std::intptr_t color) {
    if (kind == COLOR_FRONT) {
        record->front_color = color;
    } else if (kind == COLOR_BACK) {
        gadget_brush_release(reinterpret_cast<GadgetBrush*>(record->brush));
        record->brush = color == -1 ? 0 : reinterpret_cast<std::intptr_t>(gadget_brush_acquire(color));
        record->back_color = color;
    } else {
        return;
    }
    apply_palette(record);
}

std::intptr_t text_get_color(GadgetRecord* record, int kind) {
    if (kind == COLOR_FRONT) return record->front_color;
    if (kind == COLOR_BACK) return record->back_color;
    return -1;
}

void text_free(GadgetRecord* record) {
    gadget_brush_release(reinterpret_cast<GadgetBrush*>(record->brush));
    record->brush = 0;
}

// The parent-message handler of text and string gadgets answers only WM_CTLCOLOR..., which Qt
// never sends: colours are applied to the palette when they are set.
std::intptr_t text_parent_message(GadgetRecord*, NativeHandle, unsigned, std::uintptr_t, std::intptr_t) {
    return NOT_HANDLED;
}

// ---------------------------------------------------------------------------------------------
// Editor: plain text, read with CR LF line breaks and otherwise exactly as it was set or typed
// (toPlainText would turn a no-break space into a space and line separators into line breaks).

// A paragraph separator (U+2029) in a text would end a block of the document like a line break
// and read back as CR LF, so it is held as a line separator (U+2028) marked with this property.
constexpr int PARAGRAPH_SEPARATOR_PROPERTY = QTextFormat::UserProperty + 1;

QString editor_text(const QTextDocument* document) {
    QString text;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin()) text += QLatin1String("\r\n");
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QString piece = fragment.text();
            if (fragment.charFormat().hasProperty(PARAGRAPH_SEPARATOR_PROPERTY))
                piece.replace(QChar::LineSeparator, QChar::ParagraphSeparator);
            text += piece;
        }
    }
    return text;
}

char16_t* editor_get_text(GadgetRecord* record, std::int32_t at) {
    const QString text = editor_text(static_cast<QPlainTextEdit*>(control_widget(record))->document());
    const auto length = std::int32_t(text.size());
    char16_t* out = temp_reserve(length, at);
    std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), length, out);
    out[length] = 0;
    return out;
}

void editor_set_text(GadgetRecord* record, const char16_t* text) {
    auto* editor = static_cast<QPlainTextEdit*>(control_widget(record));
    if (!text || !*text) {
        editor->setPlainText(QString());
        record->line_state = 0;
        return;
    }
    QString value = QString::fromUtf16(text);
    value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    value.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // One character per line break, so a position in `value` is the same position in the document.
    std::vector<int> paragraph_separators;
    for (qsizetype i = value.indexOf(QChar::ParagraphSeparator); i >= 0;
         i = value.indexOf(QChar::ParagraphSeparator, i + 1)) {
        paragraph_separators.push_back(int(i));
        value[i] = QChar::LineSeparator;
    }
    editor->setPlainText(value);
    if (paragraph_separators.empty()) return;
    QTextDocument* document = editor->document();
    // Part of setting the text, which leaves nothing to undo.
    document->setUndoRedoEnabled(false);
    QTextCharFormat marked;
    marked.setProperty(PARAGRAPH_SEPARATOR_PROPERTY, true);
    QTextCursor cursor(document);
    for (int position : paragraph_separators) {
        cursor.setPosition(position);
        cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(marked);
    }
    document->setUndoRedoEnabled(true);
}

// Shift+Enter starts a new line as Enter does (a rich-edit control gives CR LF for both), so a line
// separator in the document only ever comes from a text that held one.
class EditorKeyFilter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::InsertLineSeparator)) key->setModifiers(key->modifiers() & ~Qt::ShiftModifier);
        return false;
    }
};

EditorKeyFilter* the_editor_key_filter = nullptr;

void editor_set_color(GadgetRecord* record, int kind, std::intptr_t color) {
    auto* editor = static_cast<QPlainTextEdit*>(control_widget(record));
    if (kind == COLOR_BACK)
        record->back_color = color;
    else if (kind == COLOR_FRONT)
        record->front_color = color;
    else
        return;
    QPalette palette = QApplication::palette(editor);
    auto qcolor = [](std::intptr_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); };
    if (record->back_color != -1) palette.setColor(QPalette::Base, qcolor(record->back_color));
    if (record->front_color != -1) palette.setColor(QPalette::Text, qcolor(record->front_color));
    editor->setPalette(palette);
}

std::intptr_t editor_get_color(GadgetRecord* record, int kind) {
    if (kind == COLOR_BACK) return record->back_color;
    if (kind == COLOR_FRONT) return record->front_color;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Undo, the clipboard and select all in string fields and editors.

bool clipboard_has_text() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard && !clipboard->text().isEmpty();
}

int string_edit(GadgetRecord* record, int action, bool perform) {
    auto* field = static_cast<QLineEdit*>(control_widget(record));
    // A password never leaves its field.
    const bool hidden = field->echoMode() != QLineEdit::Normal;
    bool can = false;
    switch (action) {
    case EDIT_UNDO:
        can = field->isUndoAvailable();
        if (can && perform) field->undo();
        break;
    case EDIT_REDO:
        can = field->isRedoAvailable();
        if (can && perform) field->redo();
        break;
    case EDIT_CUT:
        can = field->hasSelectedText() && !field->isReadOnly() && !hidden;
        if (can && perform) field->cut();
        break;
    case EDIT_COPY:
        can = field->hasSelectedText() && !hidden;
        if (can && perform) field->copy();
        break;
    case EDIT_PASTE:
        can = !field->isReadOnly() && clipboard_has_text();
        if (can && perform) field->paste();
        break;
    case EDIT_SELECT_ALL:
        can = !field->text().isEmpty();
        if (can && perform) field->selectAll();
        break;
    default:
        break;
    }
    return can ? 1 : 0;
}

int editor_edit(GadgetRecord* record, int action, bool perform) {
    auto* editor = static_cast<QPlainTextEdit*>(control_widget(record));
    const QTextDocument* document = editor->document();
    const bool selection = editor->textCursor().hasSelection();
    bool can = false;
    switch (action) {
    case EDIT_UNDO:
        can = document->isUndoAvailable();
        if (can && perform) editor->undo();
        break;
    case EDIT_REDO:
        can = document->isRedoAvailable();
        if (can && perform) editor->redo();
        break;
    case EDIT_CUT:
        can = selection && !editor->isReadOnly();
        if (can && perform) editor->cut();
        break;
    case EDIT_COPY:
        can = selection;
        if (can && perform) editor->copy();
        break;
    case EDIT_PASTE:
        can = editor->canPaste();
        if (can && perform) editor->paste();
        break;
    case EDIT_SELECT_ALL:
        can = !document->isEmpty();
        if (can && perform) editor->selectAll();
        break;
    default:
        break;
    }
    return can ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// List: a model with a row count and a function for the text of a row, which the view asks
// only for the rows it paints (its rows are all one height, so it never measures the others).

class RowModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : count_; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!row_text_ || !index.isValid() || index.row() >= count_) return {};
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
        const char16_t* text = row_text_(context_, index.row());
        return text ? QString::fromUtf16(text) : QString();
    }
    void set_rows(int count, ListRowText row_text, void* context) {
        beginResetModel();
        count_ = count;
        row_text_ = row_text;
        context_ = context;
        endResetModel();
    }

private:
    int count_ = 0;
    ListRowText row_text_ = nullptr;
    void* context_ = nullptr;
};

QListView* list_view(GadgetRecord* record) { return static_cast<QListView*>(control_widget(record)); }

std::intptr_t list_get_state(GadgetRecord* record) {
    const QModelIndex current = list_view(record)->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void list_set_state(GadgetRecord* record, std::intptr_t row) {
    QListView* view = list_view(record);
    const QModelIndex index = view->model()->index(int(row), 0);
    if (!index.isValid()) {
        view->setCurrentIndex(QModelIndex());
        return;
    }
    view->setCurrentIndex(index);
    view->scrollTo(index);
}

// ---------------------------------------------------------------------------------------------
// Button state (checkable buttons and checkboxes).

std::intptr_t button_get_state(GadgetRecord* record) {
    return static_cast<QAbstractButton*>(control_widget(record))->isChecked() ? 1 : 0;
}

void button_set_state(GadgetRecord* record, std::intptr_t state) {
    static_cast<QAbstractButton*>(control_widget(record))->setChecked(state != 0);
}

GadgetKindTable* kind_table(int kind) {
    // Filled on the first creation of the kind.
    static GadgetKindTable text{}, string{}, editor{}, button{}, checkbox{}, list{};
    GadgetKindTable* table = kind == GADGET_KIND_TEXT       ? &text
                             : kind == GADGET_KIND_STRING   ? &string
                             : kind == GADGET_KIND_EDITOR   ? &editor
                             : kind == GADGET_KIND_CHECKBOX ? &checkbox
                             : kind == GADGET_KIND_LIST     ? &list
                                                            : &button;
    if (table->kind) return table;
    table->kind = kind;
    table->size = sizeof(GadgetKindTable);
    switch (kind) {
    case GADGET_KIND_TEXT:
    case GADGET_KIND_STRING:
        table->parent_message = text_parent_message;
        table->free = text_free;
        table->set_color = text_set_color;
        table->get_color = text_get_color;
        if (kind == GADGET_KIND_STRING) table->edit = string_edit;
        break;
    case GADGET_KIND_EDITOR:
        table->get_text = editor_get_text;
        table->set_text = editor_set_text;
        table->set_color = editor_set_color;
        table->get_color = editor_get_color;
        table->edit = editor_edit;
        break;
    case GADGET_KIND_LIST:
        table->get_state = list_get_state;
        table->set_state = list_set_state;
        break;
    default:
        table->get_state = button_get_state;
        table->set_state = button_set_state;
        break;
    }
    return table;
}

// Style bits of the creation flags that Qt can show.
constexpr int ES_CENTER = 0x1;
constexpr int ES_RIGHT = 0x2;
constexpr int ES_PASSWORD = 0x20;
constexpr int ES_READONLY = 0x800;
constexpr int WS_DISABLED = 0x08000000;

// What every creation does once its control exists: geometry and state, the record with the
// kind's starting colours, registration under the number, and showing the control.
ObjectNumber finish_creation(ObjectNumber number, QWidget* control, int kind, int x, int y, int width, int height,
                             int flags) {
    control->setGeometry(x, y, width, height);
    if (flags & WS_DISABLED) control->setEnabled(false);
    control->setProperty(GADGET_ID_PROPERTY, qlonglong(-1));
    auto* record = static_cast<GadgetRecord*>(registry_obtain(gadget_registry(), number));
    if (!record) {
        delete control;
        return 0;
    }
    if (kind == GADGET_KIND_TEXT || kind == GADGET_KIND_STRING || kind == GADGET_KIND_EDITOR) {
        record->back_color = -1;
        record->front_color = -1;
    }
    ObjectNumber result = gadget_register(number, record, control, kind_table(kind));
    control->show();
    return result;
}

QWidget* creation_parent() { return window_client_widget(gadget_list_current()); }

}  // namespace

// ---------------------------------------------------------------------------------------------

ObjectNumber gadget_register(ObjectNumber number, GadgetRecord* record, NativeHandle control,
                             GadgetKindTable* kind_table) {
    if (!record || !control || !gadget_registry()) return 0;
    ObjectNumber id = number == ANY_NUMBER ? registry_dynamic_id(record) : number;
    auto* widget = static_cast<QWidget*>(control);
    record->handle = control;
    record->kind_table = kind_table;
    record->previous_procedure = nullptr;
    widget->setProperty(GADGET_ID_PROPERTY, qlonglong(id));
    widget->setFont(font_of(gadget_default_font()));
    QObject::connect(widget, &QObject::destroyed, [id, control] { gadget_control_destroyed(id, control); });
    return number == ANY_NUMBER ? id : reinterpret_cast<ObjectNumber>(control);
}

void gadget_control_destroy(NativeHandle control) { delete static_cast<QWidget*>(control); }

ObjectNumber text_gadget_create(ObjectNumber number, int x, int y, int width, int height, const char16_t* text,
                                int flags) {
    QWidget* parent = creation_parent();
    if (!parent) return 0;
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (flags & GADGET_BORDER_FLAG) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const QString value = text ? QString::fromUtf16(text) : QString();
    const ObjectNumber result = finish_creation(number, label, GADGET_KIND_TEXT, x, y, width, height, flags);
    if (result && (flags & GADGET_SHORTEN_FLAG)) {
        if (!the_shorten_filter) the_shorten_filter = new ShortenFilter;
        label->installEventFilter(the_shorten_filter);
        set_label_text(label, value);
    } else {
        label->setText(value);
    }
    return result;
}

ObjectNumber string_gadget_create(ObjectNumber number, int x, int y, int width, int height, const char16_t* text,
                                  int flags) {
    QWidget* parent = creation_parent();
    if (!parent) return 0;
    auto* field = new QLineEdit(parent);
    // Qt's default of 32767 characters would cut a longer text that was set, and no word said.
    field->setMaxLength(std::numeric_limits<int>::max());
    field->setFrame(!(flags & GADGET_BORDER_FLAG));
    field->setText(text ? QString::fromUtf16(text) : QString());
    field->setReadOnly(flags & ES_READONLY);
    if (flags & ES_PASSWORD) field->setEchoMode(QLineEdit::Password);
    if (flags & ES_CENTER)
        field->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    else if (flags & ES_RIGHT)
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (!the_focus_filter) the_focus_filter = new StringFocusFilter;
    field->installEventFilter(the_focus_filter);
    report_keys(field, flags);
    ObjectNumber result = finish_creation(number, field, GADGET_KIND_STRING, x, y, width, height, flags);
    if (result) {
        QObject::connect(field, &QLineEdit::textChanged, field, [field] {
            notify_parent(field, EN_UPDATE);
            notify_parent(field, EN_CHANGE);
        });
    }
    return result;
}

ObjectNumber editor_gadget_create(ObjectNumber number, int x, int y, int width, int height, int flags) {
    QWidget* parent = creation_parent();
    if (!parent) return 0;
    auto* editor = new QPlainTextEdit(parent);
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->setTabChangesFocus(false);
    editor->setReadOnly(flags & ES_READONLY);
    if (!the_editor_key_filter) the_editor_key_filter = new EditorKeyFilter;
    editor->installEventFilter(the_editor_key_filter);
    // A rich-edit control shows its scroll bars only when the text needs them.
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ObjectNumber result = finish_creation(number, editor, GADGET_KIND_EDITOR, x, y, width, height, flags);
    // Notifications caused by the creation must not surface as events.
    if (EventRecord* record = event_record()) record->working.pending_event = 0;
    // A change of its text is EN_CHANGE, as from a rich-edit control that asks for change events.
    if (result)
        QObject::connect(editor, &QPlainTextEdit::textChanged, editor, [editor] { notify_parent(editor, EN_CHANGE); });
    return result;
}

ObjectNumber button_gadget_create(ObjectNumber number, int x, int y, int width, int height, const char16_t* text,
                                  int flags) {
    QWidget* parent = creation_parent();
    if (!parent) return 0;
    auto* button = new QPushButton(text ? QString::fromUtf16(text) : QString(), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    report_keys(button, flags);
    ObjectNumber result = finish_creation(number, button, GADGET_KIND_BUTTON, x, y, width, height, flags);
    if (result)
        QObject::connect(button, &QPushButton::clicked, button, [button] { notify_parent(button, BN_CLICKED); });
    return result;
}

ObjectNumber checkbox_gadget_create(ObjectNumber number, int x, int y, int width, int height, const char16_t* text,
                                    int flags) {
    QWidget* parent = creation_parent();
    if (!parent) return 0;
    auto* box = new QCheckBox(text ? QString::fromUtf16(text) : QString(), parent);
    report_keys(box, flags);
    ObjectNumber result = finish_creation(number, box, GADGET_KIND_CHECKBOX, x, y, width, height, flags);
    // Only the user's click is BN_CLICKED; gadget_set_state says nothing.
    if (result) QObject::connect(box, &QCheckBox::clicked, box, [box] { notify_parent(box, BN_CLICKED); });
    return result;
}

ObjectNumber list_gadget_create(ObjectNumber number, int x, int y, int width, int height, int flags) {
    QWidget* parent = creation_parent();
    if (!parent) return 0;
    auto* view = new QListView(parent);
    view->setModel(new RowModel(view));
    view->setUniformItemSizes(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setTextElideMode(Qt::ElideRight);
    report_keys(view, flags);
    ObjectNumber result = finish_creation(number, view, GADGET_KIND_LIST, x, y, width, height, flags);
    if (result) {
        QObject::connect(view, &QListView::doubleClicked, view, [view] {
            const ObjectNumber id = identifier_of(view);
            if (id >= 0) event_enqueue(EVENT_GADGET, id, window_find_toolkit(view, nullptr), GADGET_EVENT_RETURN);
        });
    }
    return result;
}

void list_gadget_set_rows(ObjectNumber gadget, int count, ListRowText row_text, void* context) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record || !record->kind_table || record->kind_table->kind != GADGET_KIND_LIST) return;
    static_cast<RowModel*>(list_view(record)->model())->set_rows(std::max(count, 0), row_text, context);
}

int list_gadget_rows_shown(ObjectNumber gadget) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record || !record->kind_table || record->kind_table->kind != GADGET_KIND_LIST) return 1;
    QListView* view = list_view(record);
    const int row_height =
        std::max(1, view->sizeHintForRow(0) > 0 ? view->sizeHintForRow(0) : view->fontMetrics().height());
    return std::max(1, view->viewport()->height() / row_height);
}

// ---------------------------------------------------------------------------------------------

void gadget_set_text(ObjectNumber gadget, const char16_t* text) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record) return;
    static const char16_t empty[1] = {0};
    if (!text) text = empty;
    if (record->kind_table && record->kind_table->set_text) {
        record->kind_table->set_text(record, text);
        return;
    }
    QWidget* w = control_widget(record);
    QString value = QString::fromUtf16(text);
    if (auto* label = qobject_cast<QLabel*>(w))
        shortens(label) ? set_label_text(label, value) : label->setText(value);
    else if (auto* field = qobject_cast<QLineEdit*>(w))
        field->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(value);
    else
        w->setWindowTitle(value);
}

char16_t* gadget_get_text(ObjectNumber gadget, std::int32_t at) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record) return nullptr;
    if (record->kind_table && record->kind_table->get_text) return record->kind_table->get_text(record, at);
    QWidget* w = control_widget(record);
    QString value;
    if (auto* label = qobject_cast<QLabel*>(w))
        value = label_text(label);
    else if (auto* field = qobject_cast<QLineEdit*>(w))
        value = field->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        value = button->text();
    else
        value = w->windowTitle();
    const auto length = std::int32_t(value.size());
    char16_t* out = temp_reserve(length, at);
    std::copy_n(reinterpret_cast<const char16_t*>(value.utf16()), length, out);
    out[length] = 0;
    return out;
}

int gadget_set_font(ObjectNumber gadget, NativeHandle font) {
    const bool default_font = font == reinterpret_cast<NativeHandle>(-1);
    if (gadget == -1) {
        gadget_set_default_font(default_font ? nullptr : font);
        return 1;
    }
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record) return 0;
    control_widget(record)->setFont(font_of(default_font ? nullptr : font));
    return 1;
}

void gadget_set_accessible_name(ObjectNumber gadget, const char16_t* name) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (record) control_widget(record)->setAccessibleName(name ? QString::fromUtf16(name) : QString());
}

int gadget_text_width(ObjectNumber gadget) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record) return 0;
    QWidget* w = control_widget(record);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        const QString text = label_text(label);
        const QMargins margins = label->contentsMargins();
        return text.isEmpty() ? 0
                              : label->fontMetrics().horizontalAdvance(text) + margins.left() + margins.right() +
                                    2 * label->margin();
    }
    const QString text = w->property("text").toString();
    const QMargins margins = w->contentsMargins();
    return text.isEmpty() ? 0 : w->fontMetrics().horizontalAdvance(text) + margins.left() + margins.right();
}

int gadget_resize(ObjectNumber gadget, int x, int y, int width, int height) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record) return 0;
    control_widget(record)->setGeometry(x, y, width, height);
    return 1;
}

int gadget_hide(ObjectNumber gadget, int state) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record) return 0;
    control_widget(record)->setVisible(state == 0);
    return 1;
}

int gadget_set_font(ObjectNumber gadget, int font_minus_one) {
    if (font_minus_one != -1) return 0;
    return gadget_set_font(gadget, reinterpret_cast<NativeHandle>(-1));
}
