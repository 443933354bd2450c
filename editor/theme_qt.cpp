/** @file theme_qt.cpp
 * Qt adapter of the editor's colour tables: which table the desktop's palette asks for, and the
 * switch of every code editor when the application's palette changes.
 * [X] QEvent::ApplicationPaletteChange on the application object: each code editor is told
 *     (code_editor_desktop_theme_changed), also for a palette the program or a test sets
 * [ ] no colour-scheme hint: Qt 6.4 has none, so the window colour's lightness decides */
#include "editor/code_editor.h"
#include "editor/scintilla_qt.h"
#include "editor/theme.h"

#include <QApplication>
#include <QPalette>
#include <QPointer>

namespace {

// Sees the change on the application object, which Qt tells first; child widgets such as the
// component only hear of their own palette.
class DesktopPaletteWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange && object == qApp) {
            for (QWidget* widget : QApplication::allWidgets())
                if (ComponentWidget* component = component_widget(widget))
                    code_editor_desktop_theme_changed(component->gadget);
        }
        return false;
    }
};

}  // namespace

int theme_desktop_kind() {
    const QColor window = QApplication::palette().color(QPalette::Active, QPalette::Window);
    return theme_kind_for_window(int(rgb(window.red(), window.green(), window.blue())));
}

void theme_watch_desktop() {
    // A child of the application object, it goes with it; a later application gets its own.
    static QPointer<DesktopPaletteWatcher> watcher;
    if (watcher || !qApp) return;
    watcher = new DesktopPaletteWatcher(qApp);
    qApp->installEventFilter(watcher);
}
