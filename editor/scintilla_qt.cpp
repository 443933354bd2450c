/** @file scintilla_qt.cpp
 * The editing component on QScintilla: creates QsciScintillaBase as a toolkit gadget, sends it
 * messages, and turns its SCN_* signals into WM_NOTIFY records for the gadget's handler.
 * [X] SCN_STYLENEEDED, SCN_CHARADDED, SCN_MARGINCLICK, SCN_NEEDSHOWN, SCN_DWELLSTART, SCN_DWELLEND
 * [X] SCN_UPDATEUI: the text, the selection or the scrolling changed (find marks, status line,
 *     brace highlighting); SCN_ZOOM (the line numbers' width)
 * [X] SCN_MODIFIED, for the notices before an insertion or removal only; the end of each change
 *     goes to the change-end handler and, with an accessibility client, to accessible_qt.cpp
 * [X] undo, redo, the clipboard and select all of the gadget (its kind's edit slot)
 * [ ] other notifications: the editor acts on none of them, so none are delivered. */
#include "editor/scintilla.h"
#include "runtime/core/registry.h"
#include "runtime/ui/event.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/shortcut_qt.h"
#include "runtime/ui/window_qt.h"

#include "editor/scintilla_qt.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <utility>

namespace {

// Our message numbers must be the component's.
static_assert(int(SCI_SETSTYLINGEX) == int(QsciScintillaBase::SCI_SETSTYLINGEX));
static_assert(int(SCI_GETCURLINE) == int(QsciScintillaBase::SCI_GETCURLINE));
static_assert(int(SCI_AUTOCSHOW) == int(QsciScintillaBase::SCI_AUTOCSHOW));
static_assert(int(SCI_TEXTWIDTH) == int(QsciScintillaBase::SCI_TEXTWIDTH));
static_assert(int(SCI_LINELENGTH) == int(QsciScintillaBase::SCI_LINELENGTH));
static_assert(int(SCI_SETFOLDMARGINHICOLOUR) == int(QsciScintillaBase::SCI_SETFOLDMARGINHICOLOUR));
static_assert(int(SCI_STYLEGETUNDERLINE) == int(QsciScintillaBase::SCI_STYLEGETUNDERLINE));
static_assert(int(SCI_GETUSETABS) == int(QsciScintillaBase::SCI_GETUSETABS));
static_assert(int(SCI_GETTABWIDTH) == int(QsciScintillaBase::SCI_GETTABWIDTH));
static_assert(int(SCI_UNDO) == int(QsciScintillaBase::SCI_UNDO));
static_assert(int(SCI_GETCODEPAGE) == int(QsciScintillaBase::SCI_GETCODEPAGE));
static_assert(int(SCI_COLOURISE) == int(QsciScintillaBase::SCI_COLOURISE));
static_assert(int(SCI_GETCARETLINEVISIBLE) == int(QsciScintillaBase::SCI_GETCARETLINEVISIBLE));
static_assert(int(SCI_GETLINEVISIBLE) == int(QsciScintillaBase::SCI_GETLINEVISIBLE));
static_assert(int(SCI_GETFOLDEXPANDED) == int(QsciScintillaBase::SCI_GETFOLDEXPANDED));
static_assert(int(SCI_AUTOCGETIGNORECASE) == int(QsciScintillaBase::SCI_AUTOCGETIGNORECASE));
static_assert(int(SCI_AUTOCSETORDER) == int(QsciScintillaBase::SCI_AUTOCSETORDER) &&
              int(SCI_AUTOCGETORDER) == int(QsciScintillaBase::SCI_AUTOCGETORDER) &&
              SC_ORDER_CUSTOM == QsciScintillaBase::SC_ORDER_CUSTOM);
static_assert(int(SCI_GETMARGINWIDTHN) == int(QsciScintillaBase::SCI_GETMARGINWIDTHN));
static_assert(int(SCI_INSERTTEXT) == int(QsciScintillaBase::SCI_INSERTTEXT));
static_assert(int(SCI_AUTOCPOSSTART) == int(QsciScintillaBase::SCI_AUTOCPOSSTART));
static_assert(int(SCI_TEXTHEIGHT) == int(QsciScintillaBase::SCI_TEXTHEIGHT));
static_assert(int(SCI_AUTOCGETCURRENTTEXT) == int(QsciScintillaBase::SCI_AUTOCGETCURRENTTEXT));
static_assert(int(SCI_DELETERANGE) == int(QsciScintillaBase::SCI_DELETERANGE));
static_assert(int(SCI_LINESONSCREEN) == int(QsciScintillaBase::SCI_LINESONSCREEN));
static_assert(int(SCI_SETMODEVENTMASK) == int(QsciScintillaBase::SCI_SETMODEVENTMASK));
static_assert(int(SCI_ALLOCATE) == int(QsciScintillaBase::SCI_ALLOCATE));
static_assert(int(SCI_APPENDTEXT) == int(QsciScintillaBase::SCI_APPENDTEXT));
static_assert(int(SCI_BEGINUNDOACTION) == int(QsciScintillaBase::SCI_BEGINUNDOACTION) &&
              int(SCI_ENDUNDOACTION) == int(QsciScintillaBase::SCI_ENDUNDOACTION));
static_assert(SC_MOD_BEFOREINSERT == QsciScintillaBase::SC_MOD_BEFOREINSERT &&
              SC_MOD_BEFOREDELETE == QsciScintillaBase::SC_MOD_BEFOREDELETE &&
              SC_MODEVENTMASKALL == QsciScintillaBase::SC_MODEVENTMASKALL);
static_assert(SCN_STYLENEEDED == 2000 && SCN_NEEDSHOWN == 2011 && SCN_UPDATEUI == 2007);
static_assert(SC_UPDATE_CONTENT == QsciScintillaBase::SC_UPDATE_CONTENT &&
              SC_UPDATE_SELECTION == QsciScintillaBase::SC_UPDATE_SELECTION &&
              SC_UPDATE_V_SCROLL == QsciScintillaBase::SC_UPDATE_V_SCROLL &&
              SC_UPDATE_H_SCROLL == QsciScintillaBase::SC_UPDATE_H_SCROLL);
static_assert(int(SCI_GETANCHOR) == int(QsciScintillaBase::SCI_GETANCHOR) &&
              int(SCI_GETSELECTIONSTART) == int(QsciScintillaBase::SCI_GETSELECTIONSTART) &&
              int(SCI_GETSELECTIONEND) == int(QsciScintillaBase::SCI_GETSELECTIONEND) &&
              int(SCI_SETSEL) == int(QsciScintillaBase::SCI_SETSEL) &&
              int(SCI_GETSELTEXT) == int(QsciScintillaBase::SCI_GETSELTEXT) &&
              int(SCI_GETFIRSTVISIBLELINE) == int(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE) &&
              int(SCI_DOCLINEFROMVISIBLE) == int(QsciScintillaBase::SCI_DOCLINEFROMVISIBLE) &&
              int(SCI_GETLINEENDPOSITION) == int(QsciScintillaBase::SCI_GETLINEENDPOSITION) &&
              int(SCI_LINESCROLL) == int(QsciScintillaBase::SCI_LINESCROLL) &&
              int(SCI_SCROLLRANGE) == int(QsciScintillaBase::SCI_SCROLLRANGE));
static_assert(int(SCI_SETTARGETSTART) == int(QsciScintillaBase::SCI_SETTARGETSTART) &&
              int(SCI_SETTARGETEND) == int(QsciScintillaBase::SCI_SETTARGETEND) &&
              int(SCI_SETTARGETRANGE) == int(QsciScintillaBase::SCI_SETTARGETRANGE) &&
              int(SCI_REPLACETARGET) == int(QsciScintillaBase::SCI_REPLACETARGET) &&
              int(SCI_SEARCHINTARGET) == int(QsciScintillaBase::SCI_SEARCHINTARGET) &&
              int(SCI_SETSEARCHFLAGS) == int(QsciScintillaBase::SCI_SETSEARCHFLAGS) &&
              int(SCI_GETCHARACTERPOINTER) == int(QsciScintillaBase::SCI_GETCHARACTERPOINTER) &&
              SCFIND_MATCHCASE == QsciScintillaBase::SCFIND_MATCHCASE);
static_assert(int(SCI_MARKERADD) == int(QsciScintillaBase::SCI_MARKERADD) &&
              int(SCI_MARKERDELETEALL) == int(QsciScintillaBase::SCI_MARKERDELETEALL) &&
              int(SCI_MARKERGET) == int(QsciScintillaBase::SCI_MARKERGET) &&
              int(SCI_MARKERNEXT) == int(QsciScintillaBase::SCI_MARKERNEXT) &&
              int(SCI_GETMARGINMASKN) == int(QsciScintillaBase::SCI_GETMARGINMASKN));
static_assert(int(SCI_INDICSETSTYLE) == int(QsciScintillaBase::SCI_INDICSETSTYLE) &&
              int(SCI_INDICGETSTYLE) == int(QsciScintillaBase::SCI_INDICGETSTYLE) &&
              int(SCI_INDICSETFORE) == int(QsciScintillaBase::SCI_INDICSETFORE) &&
              int(SCI_INDICGETFORE) == int(QsciScintillaBase::SCI_INDICGETFORE) &&
              int(SCI_SETINDICATORCURRENT) == int(QsciScintillaBase::SCI_SETINDICATORCURRENT) &&
              int(SCI_SETINDICATORVALUE) == int(QsciScintillaBase::SCI_SETINDICATORVALUE) &&
              int(SCI_INDICATORFILLRANGE) == int(QsciScintillaBase::SCI_INDICATORFILLRANGE) &&
              int(SCI_INDICATORCLEARRANGE) == int(QsciScintillaBase::SCI_INDICATORCLEARRANGE) &&
              int(SCI_INDICATORVALUEAT) == int(QsciScintillaBase::SCI_INDICATORVALUEAT) &&
              int(SCI_INDICATORSTART) == int(QsciScintillaBase::SCI_INDICATORSTART) &&
              int(SCI_INDICATOREND) == int(QsciScintillaBase::SCI_INDICATOREND) &&
              int(SCI_INDICSETUNDER) == int(QsciScintillaBase::SCI_INDICSETUNDER) &&
              int(SCI_INDICSETALPHA) == int(QsciScintillaBase::SCI_INDICSETALPHA) &&
              int(SCI_INDICSETOUTLINEALPHA) == int(QsciScintillaBase::SCI_INDICSETOUTLINEALPHA) &&
              INDIC_ROUNDBOX == QsciScintillaBase::INDIC_ROUNDBOX);
static_assert(int(SCI_CALLTIPSHOW) == int(QsciScintillaBase::SCI_CALLTIPSHOW) &&
              int(SCI_CALLTIPSETBACK) == int(QsciScintillaBase::SCI_CALLTIPSETBACK) &&
              int(SCI_CALLTIPSETFORE) == int(QsciScintillaBase::SCI_CALLTIPSETFORE) &&
              int(SCI_CALLTIPCANCEL) == int(QsciScintillaBase::SCI_CALLTIPCANCEL) &&
              int(SCI_CALLTIPACTIVE) == int(QsciScintillaBase::SCI_CALLTIPACTIVE) &&
              int(SCI_SETMOUSEDWELLTIME) == int(QsciScintillaBase::SCI_SETMOUSEDWELLTIME) &&
              int(SCI_GETMOUSEDWELLTIME) == int(QsciScintillaBase::SCI_GETMOUSEDWELLTIME) &&
              int(SCI_WORDENDPOSITION) == int(QsciScintillaBase::SCI_WORDENDPOSITION) &&
              int(SCI_GETLINEENDPOSITION) == int(QsciScintillaBase::SCI_GETLINEENDPOSITION) &&
              int(SCI_GETCHARAT) == int(QsciScintillaBase::SCI_GETCHARAT) &&
              int(SCI_POSITIONBEFORE) == int(QsciScintillaBase::SCI_POSITIONBEFORE) &&
              int(SCI_POSITIONAFTER) == int(QsciScintillaBase::SCI_POSITIONAFTER) &&
              int(SCI_POSITIONRELATIVE) == int(QsciScintillaBase::SCI_POSITIONRELATIVE));
static_assert(INDIC_SQUIGGLE == QsciScintillaBase::INDIC_SQUIGGLE &&
              INDICATOR_CONTAINER == QsciScintillaBase::INDIC_CONTAINER &&
              SC_MARK_FULLRECT == QsciScintillaBase::SC_MARK_FULLRECT);
static_assert(int(SCI_GETSELECTIONEMPTY) == int(QsciScintillaBase::SCI_GETSELECTIONEMPTY) &&
              int(SCI_COUNTCHARACTERS) == int(QsciScintillaBase::SCI_COUNTCHARACTERS) &&
              int(SCI_SETFIRSTVISIBLELINE) == int(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE) &&
              int(SCI_FINDCOLUMN) == int(QsciScintillaBase::SCI_FINDCOLUMN) &&
              int(SCI_GETZOOM) == int(QsciScintillaBase::SCI_GETZOOM) &&
              int(SCI_BRACEBADLIGHT) == int(QsciScintillaBase::SCI_BRACEBADLIGHT) &&
              int(SCI_ENSUREVISIBLEENFORCEPOLICY) == int(QsciScintillaBase::SCI_ENSUREVISIBLEENFORCEPOLICY));
static_assert(STYLE_BRACEBAD == QsciScintillaBase::STYLE_BRACEBAD);
static_assert(SC_CP_UTF8 == QsciScintillaBase::SC_CP_UTF8 && SCLEX_CONTAINER == QsciScintillaBase::SCLEX_CONTAINER);
static_assert(SC_MARKNUM_FOLDEREND == QsciScintillaBase::SC_MARKNUM_FOLDEREND &&
              SC_MARKNUM_FOLDEROPENMID == QsciScintillaBase::SC_MARKNUM_FOLDEROPENMID &&
              SC_MARKNUM_FOLDERMIDTAIL == QsciScintillaBase::SC_MARKNUM_FOLDERMIDTAIL &&
              SC_MARKNUM_FOLDERTAIL == QsciScintillaBase::SC_MARKNUM_FOLDERTAIL &&
              SC_MARKNUM_FOLDERSUB == QsciScintillaBase::SC_MARKNUM_FOLDERSUB &&
              SC_MARKNUM_FOLDER == QsciScintillaBase::SC_MARKNUM_FOLDER &&
              SC_MARKNUM_FOLDEROPEN == QsciScintillaBase::SC_MARKNUM_FOLDEROPEN &&
              SC_MASK_FOLDERS == static_cast<std::uint32_t>(QsciScintillaBase::SC_MASK_FOLDERS));
static_assert(SC_MARK_SHORTARROW == QsciScintillaBase::SC_MARK_SHORTARROW &&
              SC_MARK_VLINE == QsciScintillaBase::SC_MARK_VLINE &&
              SC_MARK_LCORNER == QsciScintillaBase::SC_MARK_LCORNER &&
              SC_MARK_TCORNER == QsciScintillaBase::SC_MARK_TCORNER &&
              SC_MARK_BOXPLUS == QsciScintillaBase::SC_MARK_BOXPLUS &&
              SC_MARK_BOXPLUSCONNECTED == QsciScintillaBase::SC_MARK_BOXPLUSCONNECTED &&
              SC_MARK_BOXMINUS == QsciScintillaBase::SC_MARK_BOXMINUS &&
              SC_MARK_BOXMINUSCONNECTED == QsciScintillaBase::SC_MARK_BOXMINUSCONNECTED);

GadgetKindTable code_editor_kind{};

ComponentWidget* widget_of(GadgetRecord* record) {
    if (!record || !record->handle || record->kind_table != &code_editor_kind) return nullptr;
    return static_cast<ComponentWidget*>(static_cast<QWidget*>(record->handle));
}

// Hands a notification to the parent window as WM_NOTIFY, as the component does, so that
// the toolkit's window procedure offers it to the kind's handler. Synchronous, also when
// the signal comes from inside a message the editor sent.
void deliver(ComponentWidget* widget, SCNotification& notification) {
    NativeHandle control = static_cast<QWidget*>(widget);
    notification.nmhdr.hwndFrom = control;
    notification.nmhdr.idFrom = static_cast<std::uintptr_t>(widget->gadget);
    auto lparam = reinterpret_cast<std::intptr_t>(&notification);
    if (NativeHandle window = window_of_widget(widget)) {
        window_procedure(window, WM_NOTIFY, notification.nmhdr.idFrom, lparam);
        return;
    }
    // A component outside any toolkit window still reaches its handler.
    GadgetRecord* record = gadget_lookup(widget->gadget);
    if (record && record->handle == control)
        scintilla_notify_hook(record, nullptr, WM_NOTIFY, notification.nmhdr.idFrom, lparam);
}

// Reports the change the component announced last, now that it is complete: to accessibility
// clients, then to the editor.
void finish_change(ComponentWidget* widget) {
    if (!widget->change.pending) return;
    const ComponentWidget::Change change = std::move(widget->change);
    widget->change = {};
    widget->text_changed_since_caret = true;
    if (accessible_client_active()) accessible_report_change(widget, change);
    if (widget->change_end_handler) widget->change_end_handler(widget->gadget, change.removal ? 1 : 0);
}

// The outermost call into the component has returned.
void settle(ComponentWidget* widget) {
    finish_change(widget);
    if (accessible_client_active()) accessible_report_caret(widget);
}

// Only the notices before a change reach us (the event mask set at creation): the next one, or
// the return of the call that made the change, tells that the change is complete.
void change_begins(ComponentWidget* widget, int modification_type, int position, int length) {
    if (!(modification_type & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE))) return;
    finish_change(widget);
    ComponentWidget::Change& change = widget->change;
    change.pending = true;
    change.removal = (modification_type & SC_MOD_BEFOREDELETE) != 0;
    change.position = position;
    change.length = length;
    if (change.removal && accessible_client_active()) change.removed = accessible_text_of(widget, position, length);
}

// A notification that carries nothing but its code.
void deliver_code(ComponentWidget* widget, unsigned code) {
    SCNotification n{};
    n.nmhdr.code = code;
    deliver(widget, n);
}

void connect_notifications(ComponentWidget* widget) {
    QObject::connect(widget, &QsciScintillaBase::SCN_ZOOM, widget, [widget] { deliver_code(widget, SCN_ZOOM); });
    QObject::connect(widget, &QsciScintillaBase::SCN_STYLENEEDED, widget, [widget](int position) {
        SCNotification n{};
        n.nmhdr.code = SCN_STYLENEEDED;
        n.position = position;
        deliver(widget, n);
    });
    QObject::connect(widget, &QsciScintillaBase::SCN_CHARADDED, widget, [widget](int ch) {
        SCNotification n{};
        n.nmhdr.code = SCN_CHARADDED;
        n.ch = ch;
        deliver(widget, n);
    });
    QObject::connect(
        widget, &QsciScintillaBase::SCN_MODIFIED, widget,
        [widget](int position, int modification_type, const char* text, int length, int lines_added, int line,
                 int fold_level_now, int fold_level_previous, int token, int annotation_lines_added) {
            change_begins(widget, modification_type, position, length);
            SCNotification n{};
            n.nmhdr.code = SCN_MODIFIED;
            n.position = position;
            n.modificationType = modification_type;
            n.text = text;
            n.length = length;
            n.linesAdded = lines_added;
            n.line = line;
            n.foldLevelNow = fold_level_now;
            n.foldLevelPrev = fold_level_previous;
            n.token = token;
            n.annotationLinesAdded = annotation_lines_added;
            deliver(widget, n);
        });
    QObject::connect(widget, &QsciScintillaBase::SCN_MARGINCLICK, widget,
                     [widget](int position, int modifiers, int margin) {
                         SCNotification n{};
                         n.nmhdr.code = SCN_MARGINCLICK;
                         n.position = position;
                         n.modifiers = modifiers;
                         n.margin = margin;
                         deliver(widget, n);
                     });
    QObject::connect(widget, &QsciScintillaBase::SCN_UPDATEUI, widget, [widget](int updated) {
        SCNotification n{};
        n.nmhdr.code = SCN_UPDATEUI;
        n.updated = updated;
        deliver(widget, n);
    });
    QObject::connect(widget, &QsciScintillaBase::SCN_NEEDSHOWN, widget, [widget](int position, int length) {
        SCNotification n{};
        n.nmhdr.code = SCN_NEEDSHOWN;
        n.position = position;
        n.length = length;
        deliver(widget, n);
    });
    for (auto [signal, code] : {std::pair{&QsciScintillaBase::SCN_DWELLSTART, SCN_DWELLSTART},
                                std::pair{&QsciScintillaBase::SCN_DWELLEND, SCN_DWELLEND}}) {
        QObject::connect(widget, signal, widget, [widget, code](int position, int x, int y) {
            SCNotification n{};
            n.nmhdr.code = code;
            n.position = position;
            n.x = x;
            n.y = y;
            deliver(widget, n);
        });
    }
}

// The edit actions of the gadget, as the component's own messages: whether it can, and doing it.
int component_edit(GadgetRecord* record, int action, bool perform) {
    ComponentWidget* widget = widget_of(record);
    if (!widget) return 0;
    struct Edit {
        int action;
        unsigned can;  // 0: the test is done below
        unsigned act;
    };
    static constexpr Edit edits[] = {
        {EDIT_UNDO, SCI_CANUNDO, SCI_UNDO}, {EDIT_REDO, SCI_CANREDO, SCI_REDO},    {EDIT_CUT, 0, SCI_CUT},
        {EDIT_COPY, 0, SCI_COPY},           {EDIT_PASTE, SCI_CANPASTE, SCI_PASTE}, {EDIT_SELECT_ALL, 0, SCI_SELECTALL},
    };
    for (const Edit& edit : edits) {
        if (edit.action != action) continue;
        ComponentCall call(widget);
        bool can = false;
        if (edit.can)
            can = widget->send(edit.can) != 0;
        else if (action == EDIT_SELECT_ALL)
            can = widget->send(SCI_GETLENGTH) > 0;
        else
            can = widget->send(SCI_GETSELECTIONEMPTY) == 0;
        // The component would paste nothing without complaint.
        if (action == EDIT_PASTE) can = can && !QGuiApplication::clipboard()->text().isEmpty();
        if (can && perform) widget->send(edit.act);
        return can ? 1 : 0;
    }
    return 0;
}

}  // namespace

ComponentWidget::~ComponentWidget() {
    // The toolkit's clean-up of a destroyed control comes after this widget is gone: the data
    // is released now, while the widget still knows how.
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record || record->handle != static_cast<QWidget*>(this)) return;
    if (record->user_data && data_release) data_release(record->user_data);
    record->user_data = 0;
}

bool ComponentWidget::event(QEvent* event) {
    // The widget may go with the event; deletion is never a change of its text.
    if (event->type() == QEvent::DeferredDelete) return QsciScintillaBase::event(event);
    // The Menu key opens the menu, as in the fields: the component takes the key as its own, so
    // Qt never turns it into a menu request.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Menu &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QCursor::pos());
        contextMenuEvent(&request);
        return true;
    }
    QPointer<ComponentWidget> alive(this);
    ++depth;
    const bool result = QsciScintillaBase::event(event);
    if (alive && --depth == 0) settle(this);
    return result;
}

bool ComponentWidget::viewportEvent(QEvent* event) {
    QPointer<ComponentWidget> alive(this);
    ++depth;
    const bool result = QsciScintillaBase::viewportEvent(event);
    if (alive && --depth == 0) settle(this);
    return result;
}

void ComponentWidget::contextMenuEvent(QContextMenuEvent* event) {
    // The component's own menu connects its items through a signal that Qt 6 no longer has, so
    // none of them would act: this one has the same items, each done as the Edit menu does it.
    QMenu menu(this);
    const auto item = [this, &menu](const char* text, int action) {
        QAction* added = menu.addAction(QString::fromLatin1(text));
        GadgetRecord* record = gadget_lookup(gadget);
        added->setEnabled(record && component_edit(record, action, false) != 0);
        QObject::connect(added, &QAction::triggered, this, [this, action] {
            if (GadgetRecord* record = gadget_lookup(gadget)) component_edit(record, action, true);
        });
    };
    item("Undo", EDIT_UNDO);
    item("Redo", EDIT_REDO);
    menu.addSeparator();
    item("Cut", EDIT_CUT);
    item("Copy", EDIT_COPY);
    item("Paste", EDIT_PASTE);
    QAction* erase = menu.addAction(QStringLiteral("Delete"));
    erase->setEnabled(send(SCI_GETSELECTIONEMPTY) == 0 && send(SCI_GETREADONLY) == 0);
    QObject::connect(erase, &QAction::triggered, this, [this] {
        ComponentCall call(this);
        send(SCI_CLEAR);
    });
    menu.addSeparator();
    item("Select All", EDIT_SELECT_ALL);
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard, the menu opens under the caret, where the user's eyes are.
        const long caret = send(SCI_GETCURRENTPOS);
        const int x = static_cast<int>(send(SCI_POINTXFROMPOSITION, 0, caret));
        const int y = static_cast<int>(send(SCI_POINTYFROMPOSITION, 0, caret) + send(SCI_TEXTHEIGHT, 0));
        at = viewport()->mapToGlobal(QPoint(x, y));
    }
    menu.exec(at);
}

ComponentCall::~ComponentCall() {
    if (--widget_->depth == 0) settle(widget_);
}

int scintilla_load() { return 1; }

std::intptr_t scintilla_notify_hook(GadgetRecord* record, NativeHandle, unsigned message, std::uintptr_t,
                                    std::intptr_t lParam) {
    const ComponentWidget* widget = widget_of(record);
    if (message != WM_NOTIFY || !widget || !widget->notify_handler) return NOT_HANDLED;
    return widget->notify_handler(widget->gadget, reinterpret_cast<const SCNotification*>(lParam));
}

ObjectNumber scintilla_gadget_create(ObjectNumber gadget, int x, int y, int width, int height,
                                     ScintillaNotifyHandler handler) {
    NativeHandle parent_window = gadget_list_current();
    if (!parent_window) return 0;
    if (code_editor_kind.kind == 0) {
        code_editor_kind.kind = GADGET_KIND_CODE_EDITOR;
        code_editor_kind.size = sizeof(GadgetKindTable);
        code_editor_kind.parent_message = scintilla_notify_hook;
        code_editor_kind.edit = component_edit;
    }
    QWidget* parent = window_client_widget(parent_window);
    if (!parent) return 0;
    auto* widget = new ComponentWidget(parent);
    // Code reads left to right in a mirrored window too: text, margins, caret and scroll bars, and
    // the lists and call tips that pop up from it (they follow it, toolkit_qt.cpp).
    widget->setLayoutDirection(Qt::LeftToRight);
    // The component ends new lines with LF on Linux; the extension file and every text of the
    // program use CR LF, the component's own default on the system it was made for.
    widget->send(QsciScintillaBase::SCI_SETEOLMODE, QsciScintillaBase::SC_EOL_CRLF);
    // QScintilla's handling of the after-change notices counts the characters from the document
    // start on every edit, for accessibility; with only the notices before a change, it never runs.
    widget->send(SCI_SETMODEVENTMASK, SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE);
    // By default only the caret's line keeps its layout, so every repaint after a key lays out
    // each line on screen again: several milliseconds where the lines are long.
    widget->send(QsciScintillaBase::SCI_SETLAYOUTCACHE, QsciScintillaBase::SC_CACHE_PAGE);
    // The component assumes lines 2,000 pixels wide and shows a scroll bar under three short ones;
    // it grows with the widest line drawn, so the bar shows only when a line needs it.
    widget->send(QsciScintillaBase::SCI_SETSCROLLWIDTH, 1);
    widget->send(QsciScintillaBase::SCI_SETSCROLLWIDTHTRACKING, 1);
    widget->setGeometry(x, y, width, height);
    // Tab indents and Shift+Tab takes it back; the window's Ctrl+Tab moves on.
    widget->setProperty(SHORTCUT_TAKES_TAB_PROPERTY, 1);
    accessible_install(widget);
    widget->show();
    ObjectNumber id = 0;
    auto* record = static_cast<GadgetRecord*>(registry_obtain(gadget_registry(), gadget, &id));
    if (!record) {
        delete widget;
        return 0;
    }
    widget->notify_handler = handler;
    const ObjectNumber result = gadget_register(gadget, record, static_cast<QWidget*>(widget), &code_editor_kind);
    widget->gadget = gadget == ANY_NUMBER ? result : gadget;
    connect_notifications(widget);
    return result;
}

std::intptr_t scintilla_send(ObjectNumber gadget, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    ComponentWidget* widget = widget_of(gadget_lookup(gadget));
    if (!widget) return 0;
    ComponentCall call(widget);
    return widget->send(message, static_cast<unsigned long>(wParam), static_cast<long>(lParam));
}

void* scintilla_widget(ObjectNumber gadget) {
    return static_cast<QsciScintillaBase*>(widget_of(gadget_lookup(gadget)));
}

void scintilla_set_data_release(ObjectNumber gadget, ScintillaDataRelease release) {
    if (ComponentWidget* widget = widget_of(gadget_lookup(gadget))) widget->data_release = release;
}

void scintilla_set_change_end_handler(ObjectNumber gadget, ScintillaChangeEndHandler handler) {
    if (ComponentWidget* widget = widget_of(gadget_lookup(gadget))) widget->change_end_handler = handler;
}
