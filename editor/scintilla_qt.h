/** @file scintilla_qt.h
 * The component's widget as the editor's two Qt adapters share it (scintilla_qt.cpp, which
 * creates it and turns its signals into notifications, and accessible_qt.cpp, which gives it
 * its accessible text). Only *_qt.cpp files include this. */
#pragma once

#include "editor/scintilla.h"

#include <Qsci/qsciscintillabase.h>
#include <QString>

// The component with what the adapters keep per widget (in place of properties looked up by name
// on every notification). No Q_OBJECT: its class name stays "QsciScintillaBase".
class ComponentWidget : public QsciScintillaBase {
public:
    explicit ComponentWidget(QWidget* parent) : QsciScintillaBase(parent) {}
    // Releases the gadget's data while the gadget record still holds it.
    ~ComponentWidget() override;

    long send(unsigned message, unsigned long wparam = 0, long lparam = 0) const {
        return SendScintilla(message, wparam, lparam);
    }

    // The gadget number, which is its control identifier for the widget's whole life.
    ObjectNumber gadget = -1;

    // The gadget's own handlers (see scintilla.h); each may be none.
    ScintillaNotifyHandler notify_handler = nullptr;
    ScintillaDataRelease data_release = nullptr;
    ScintillaChangeEndHandler change_end_handler = nullptr;

    // Calls into the component (messages and input events) now running; a change of the text
    // is reported once the outermost one has returned, or when the next change begins.
    int depth = 0;

    // The change of the text that the component announced last and that is not reported yet.
    struct Change {
        bool pending = false;
        bool removal = false;
        long position = 0;
        long length = 0;
        QString removed;  // the removed text, kept only while an accessibility client is active
    } change;

    // What accessibility clients were told last: the caret's position and offset (-1: nothing).
    long told_caret_position = -1;
    int told_caret_offset = -1;
    bool text_changed_since_caret = false;
    // The component keeps a UTF-16 line character index once an offset has been asked for.
    bool character_index = false;

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// A call into the component: while one runs, reports wait; the outermost one reports on return.
class ComponentCall {
public:
    explicit ComponentCall(ComponentWidget* widget) : widget_(widget) { ++widget_->depth; }
    ~ComponentCall();
    // Reporting on return belongs to this one call.
    ComponentCall(const ComponentCall&) = delete;
    ComponentCall& operator=(const ComponentCall&) = delete;

private:
    ComponentWidget* widget_;
};

// The widget of a control, when it is a code editor's component.
inline ComponentWidget* component_widget(QObject* object) { return dynamic_cast<ComponentWidget*>(object); }

// --- Accessible text (accessible_qt.cpp) ----------------------------------------------------

// Makes the editor's own accessible interface the one Qt uses for the widget; call before the
// widget is shown (the first show creates and caches one).
void accessible_install(ComponentWidget* widget);
// Whether an accessibility client listens; events and the character index cost nothing without.
bool accessible_client_active();
// Before a removal: the text about to go, for the remove event.
QString accessible_text_of(ComponentWidget* widget, long position, long length);
// After a change: its insert or remove event, then the caret's event when the caret moved.
void accessible_report_change(ComponentWidget* widget, const ComponentWidget::Change& change);
void accessible_report_caret(ComponentWidget* widget);
