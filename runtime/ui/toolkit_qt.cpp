/** @file toolkit_qt.cpp
 * Qt adapter of the toolkit's start-up: the application object every widget needs.
 * [X] a QApplication, made unless the caller (a test, a benchmark) made one first
 * [X] Qt's -reverse: every window laid out right to left, the application itself left to right
 * [ ] not needed over Qt: initialising the common controls and COM */
#include "runtime/ui/toolkit_internal.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {
QApplication* own_application = nullptr;
int fallback_argc = 1;
char fallback_name[] = "quorval-extension-maker";
char* fallback_argv[] = {fallback_name, nullptr};

// Under -reverse the windows are mirrored but the application's own direction stays left to right.
// Qt's painters take the application's direction, not their widget's, and QScintilla measures and
// draws its text through them: the code editor, which must read left to right, would have its text
// set as right-to-left paragraphs. New windows take the application's direction, not their
// parent's, so each is given its own here before it first shows.
class WindowDirection : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Polish || !object->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(object);
        // A direction Qt or a control chose for its window stays.
        if (!widget->isWindow() || widget->testAttribute(Qt::WA_SetLayoutDirection)) return false;
        // A window goes with the one it belongs to, and a popup with its control: the code
        // editor's lists and call tips stay left to right like its code.
        const QWidget* owner = widget->parentWidget();
        widget->setLayoutDirection(owner ? owner->layoutDirection() : Qt::RightToLeft);
        return false;
    }
};

WindowDirection* window_direction = nullptr;
}  // namespace

void toolkit_native_start(int* argc, char** argv) {
    if (!QApplication::instance()) {
        if (!argc || !argv) {
            argc = &fallback_argc;
            argv = fallback_argv;
        }
        own_application = new QApplication(*argc, argv);
    }
    if (!QGuiApplication::isRightToLeft()) return;
    window_direction = new WindowDirection(qApp);
    qApp->installEventFilter(window_direction);
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);
}

void toolkit_native_end() {
    if (window_direction) {
        delete window_direction;
        window_direction = nullptr;
        // An application that outlives the toolkit (a test's) gets back the direction it came with.
        QGuiApplication::setLayoutDirection(Qt::RightToLeft);
    }
    delete own_application;
    own_application = nullptr;
}
