/** @file window_qt.cpp
 * Qt adapter of the toolkit windows: a top-level QWidget (menu bar above a client area) per
 * window, and the platform services beneath the window procedure and event_wait.
 * [X] WM_CLOSE from a close request (the window stays), WM_MOVE, WM_SIZE (restored, minimised,
 *     maximised), WM_ACTIVATE and WM_ERASEBKGND from the top-level widget
 * [X] event_wait's dispatcher: QCoreApplication::processEvents, woken by a posted empty event
 * [X] the key filter of shortcut_qt.cpp, installed at start-up; Tab focus moves in focus_qt.cpp
 * [X] bounds of a sizable window as Qt's minimum and maximum size (WM_GETMINMAXINFO is never sent:
 *     the window manager enforces them)
 * [ ] not emulated: live sizing (the window manager sizes), MDI clients, tray icons, drop targets,
 *     WM_SYSCOLORCHANGE, WM_TIMER (no timer operation exists) */
#include "runtime/ui/event_internal.h"
#include "runtime/ui/focus_internal.h"
#include "runtime/ui/gadget_internal.h"
#include "runtime/ui/resources.h"
#include "runtime/ui/shortcut_qt.h"
#include "runtime/ui/window_internal.h"
#include "runtime/ui/window_qt.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QMenuBar>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVariant>
#include <QWidget>

namespace {

// The top-level widget of a toolkit window: the menu bar (when one is set) above the client area
// that holds the gadgets.
class ToolkitWindow : public QWidget {
public:
    ToolkitWindow(QWidget* owner, Qt::WindowFlags flags) : QWidget(owner, flags) {
        client = new QWidget(this);
        client->setObjectName(QStringLiteral("QZ_Client"));
    }
    ~ToolkitWindow() override;

    int bar_height() const { return menu_bar ? menu_bar->sizeHint().height() : 0; }

    void lay_out() {
        int bar = bar_height();
        if (menu_bar) menu_bar->setGeometry(0, 0, width(), bar);
        client->setGeometry(0, bar, width(), height() - bar);
    }

    // The bounds are the client area's; the widget's own take the menu bar in.
    void apply_bounds() {
        if (fixed_size) return;
        const int bar = bar_height();
        setMinimumSize(min_client.width(), min_client.height() > 0 ? min_client.height() + bar : 0);
        setMaximumSize(max_client.width() > 0 ? max_client.width() : QWIDGETSIZE_MAX,
                       max_client.height() > 0 ? max_client.height() + bar : QWIDGETSIZE_MAX);
    }

    QWidget* client = nullptr;
    QMenuBar* menu_bar = nullptr;
    ObjectNumber number = -1;
    bool fixed_size = true;
    bool closing = false;  // window_close is deleting it
    QSize min_client{0, 0}, max_client{0, 0};
    // The control that had the keyboard when the window was disabled: Qt takes the focus from a
    // disabled window and, enabled again, would give it to its first control instead.
    QPointer<QWidget> focus_while_disabled;

protected:
    // Qt's own Tab chain never moves the focus: only the window's Tab entries do.
    bool focusNextPrevChild(bool) override { return true; }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        lay_out();
    }
};

ToolkitWindow* toolkit_window(NativeHandle handle) { return static_cast<ToolkitWindow*>(handle); }

std::intptr_t point_lparam(int x, int y) {
    return std::intptr_t((std::uint32_t(y & 0xFFFF) << 16) | std::uint32_t(x & 0xFFFF));
}

std::uintptr_t size_kind(const QWidget* w) {
    if (w->isMinimized()) return SIZE_MINIMIZED;
    if (w->isMaximized()) return SIZE_MAXIMIZED;
    return SIZE_RESTORED;
}

// Turns the top-level widget's Qt events into window messages.
class WindowEventFilter : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* window = dynamic_cast<ToolkitWindow*>(object);
        if (!window || window->closing) return false;
        switch (event->type()) {
        case QEvent::Close:
            window_procedure(window, WM_CLOSE, 0, 0);
            event->ignore();
            return true;
        case QEvent::Move:
            window_procedure(window, WM_MOVE, 0, point_lparam(window->x(), window->y()));
            break;
        case QEvent::Resize:
            if (!window->isMinimized())
                window_procedure(window, WM_SIZE, size_kind(window), point_lparam(window->width(), window->height()));
            break;
        case QEvent::WindowStateChange:
            window_procedure(window, WM_SIZE, size_kind(window), point_lparam(window->width(), window->height()));
            break;
        case QEvent::ActivationChange:
            window_procedure(window, WM_ACTIVATE, window->isActiveWindow() ? 1 : 0, 0);
            break;
        case QEvent::Paint:
            window_procedure(window, WM_ERASEBKGND, 0, 0);
            break;
        default:
            break;
        }
        return false;
    }
};

WindowEventFilter* the_window_filter = nullptr;

// ---------------------------------------------------------------------------------------------
// The platform services of the window procedure.

QObject* as_object(NativeHandle native) { return static_cast<QWidget*>(native); }

NativeHandle host_parent(NativeHandle native) {
    auto* w = static_cast<QWidget*>(native);
    return w && !w->isWindow() ? w->parentWidget() : nullptr;
}

std::intptr_t host_get_prop(NativeHandle native, const char* name) {
    if (!native) return 0;
    QVariant value = as_object(native)->property(name);
    return value.isValid() ? std::intptr_t(value.toLongLong()) : 0;
}

void host_set_prop(NativeHandle native, const char* name, std::intptr_t value) {
    if (native) as_object(native)->setProperty(name, QVariant(qlonglong(value)));
}

void host_remove_prop(NativeHandle native, const char* name) {
    if (native) as_object(native)->setProperty(name, QVariant());
}

ObjectNumber host_control_identifier(NativeHandle control) {
    if (!control) return -1;
    QVariant value = as_object(control)->property(GADGET_ID_PROPERTY);
    return value.isValid() ? ObjectNumber(value.toLongLong()) : -1;
}

NativeHandle host_focus_in_window(NativeHandle window) {
    return window ? static_cast<QWidget*>(window)->focusWidget() : nullptr;
}

void host_set_focus(NativeHandle native) {
    // A saved focus (WINDOW_FOCUS_PROPERTY) may name a control destroyed while its window was
    // inactive; a stale window handle is harmless to SetFocus, a stale widget pointer is not.
    if (!native) return;
    auto* widget = static_cast<QWidget*>(native);
    if (QApplication::allWidgets().contains(widget)) widget->setFocus(Qt::OtherFocusReason);
}

std::intptr_t host_default_procedure(NativeHandle, unsigned, std::uintptr_t, std::intptr_t) { return 0; }

void host_post_message(NativeHandle, unsigned, std::uintptr_t, std::intptr_t) {
    // WM_NULL only wakes the dispatcher; an empty posted event does the same.
    QCoreApplication::postEvent(qApp, new QEvent(QEvent::None));
}

void host_pump(int timeout) {
    if (timeout == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    if (timeout < 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        return;
    }
    // Ends the wait at the deadline. A coarse timer may fire up to 5% of the timeout late: 20 ms on
    // a 400 ms wait, which a loop that waits for a moment and then acts passes on in full.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(timeout);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

const WindowHost qt_host = {
    host_parent,
    host_get_prop,
    host_set_prop,
    host_remove_prop,
    host_control_identifier,
    host_focus_in_window,
    host_set_focus,
    focus_move,
    host_default_procedure,
    host_post_message,
    host_pump,
};

ToolkitWindow::~ToolkitWindow() {
    // An owned window goes with its owner; its number must go too.
    if (!closing) window_destroyed(number, this);
}

Qt::WindowFlags qt_window_flags(const WindowStyle& style) {
    Qt::WindowFlags flags = (style.ex_style & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
    flags |= Qt::CustomizeWindowHint;
    if ((style.style & WS_CAPTION) == WS_CAPTION)
        flags |= Qt::WindowTitleHint;
    else
        flags |= Qt::FramelessWindowHint;
    if (style.style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style.style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
    if (style.style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

WindowFrameMetrics frame_metrics() {
    // The offscreen platform draws no frame; elsewhere the title bar is the style's estimate (the
    // window manager tells its real frame only once the window is mapped).
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return {0, 0};
    return {QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight), 0};
}

}  // namespace

// ---------------------------------------------------------------------------------------------

QWidget* window_widget(NativeHandle window) { return static_cast<QWidget*>(window); }

QWidget* window_client_widget(NativeHandle window) { return window ? toolkit_window(window)->client : nullptr; }

NativeHandle window_of_widget(QWidget* widget) {
    if (!widget) return nullptr;
    QWidget* top = widget->window();
    return dynamic_cast<ToolkitWindow*>(top) ? static_cast<NativeHandle>(top) : nullptr;
}

void window_set_menu_bar(NativeHandle handle, QMenuBar* menu_bar) {
    ToolkitWindow* window = toolkit_window(handle);
    if (!window || window->menu_bar == menu_bar) return;
    int old_bar = window->menu_bar ? window->menu_bar->sizeHint().height() : 0;
    if (window->menu_bar) window->menu_bar->hide();
    window->menu_bar = menu_bar;
    int new_bar = 0;
    if (menu_bar) {
        menu_bar->setParent(window);
        menu_bar->setNativeMenuBar(false);
        new_bar = menu_bar->sizeHint().height();
        menu_bar->show();
    }
    // The client area keeps its size; the window grows or shrinks by the bar. A maximised window
    // keeps its size, and its client area gives the bar the room.
    int height = window->height() - old_bar + new_bar;
    if (window->fixed_size) {
        window->setFixedSize(window->width(), height);
    } else {
        window->apply_bounds();
        if (!window->isMaximized() && !window->isFullScreen()) window->resize(window->width(), height);
    }
    window->lay_out();
}

QMenuBar* window_menu_bar(NativeHandle window) { return window ? toolkit_window(window)->menu_bar : nullptr; }

const QIcon& window_program_icon() {
    // The 32-pixel icon and its picture at twice the size, for screens at 200 %.
    static QIcon icon = [] {
        QIcon result;
        for (const char* name : {"icon", "icon@2x"}) {
            QPixmap pixmap;
            if (const EmbeddedResource* r = embedded_resource(name)) pixmap.loadFromData(r->data, uint(r->size));
            if (!pixmap.isNull()) result.addPixmap(pixmap);
        }
        return result;
    }();
    return icon;
}

// ---------------------------------------------------------------------------------------------

bool window_native_ready() { return qApp != nullptr; }

WindowSurroundings window_native_surroundings(NativeHandle parent) {
    WindowSurroundings around{};
    QRect screen(0, 0, 1024, 768);
    if (QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->availableGeometry();
    around.screen =
        WindowRect{screen.left(), screen.top(), screen.left() + screen.width(), screen.top() + screen.height()};
    around.frame = frame_metrics();
    QWidget* reference = parent ? static_cast<QWidget*>(parent) : QApplication::activeWindow();
    if (reference) {
        QRect r = reference->frameGeometry();
        around.reference = WindowRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
        around.has_reference = true;
    }
    return around;
}

NativeHandle window_native_create(const WindowCreation& creation, NativeHandle parent) {
    auto* window = new ToolkitWindow(static_cast<QWidget*>(parent), qt_window_flags(creation.style));
    window->number = creation.id;
    window->fixed_size = !(creation.style.style & WS_THICKFRAME);
    if (window->fixed_size)
        window->setFixedSize(creation.client_width, creation.client_height);
    else
        window->resize(creation.client_width, creation.client_height);
    window->lay_out();
    if (!creation.system_place) window->move(creation.x, creation.y);
    window->setWindowTitle(creation.title ? QString::fromUtf16(creation.title) : QString());
    window->setWindowIcon(window_program_icon());
    window->installEventFilter(the_window_filter);
    return window;
}

void window_native_show(NativeHandle handle, std::uint32_t flags) {
    if (flags & WINDOW_INVISIBLE) return;
    QWidget* window = toolkit_window(handle);
    if (flags & WINDOW_MAXIMIZE)
        window->showMaximized();
    else if (flags & WINDOW_MINIMIZE)
        window->showMinimized();
    else
        window->show();
}

void window_native_activate_owner(NativeHandle window) {
    if (QWidget* owner = toolkit_window(window)->parentWidget()) owner->activateWindow();
}

void window_native_destroy(NativeHandle handle) {
    ToolkitWindow* window = toolkit_window(handle);
    window->closing = true;
    delete window;
}

void window_native_set_enabled(NativeHandle handle, bool enabled) {
    ToolkitWindow* window = toolkit_window(handle);
    if (!enabled && window->isEnabled()) window->focus_while_disabled = window->focusWidget();
    window->setEnabled(enabled);
    if (enabled && window->focus_while_disabled) {
        window->focus_while_disabled->setFocus(Qt::OtherFocusReason);
        window->focus_while_disabled = nullptr;
    }
}

void window_native_set_topmost(NativeHandle handle, bool topmost) {
    QWidget* window = toolkit_window(handle);
    bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    // Changing the flags of a shown window hides it.
    if (visible) window->show();
}

void window_native_activate(NativeHandle handle) {
    QWidget* window = toolkit_window(handle);
    window->raise();
    window->activateWindow();
}

void window_native_client_size(NativeHandle handle, int* width, int* height) {
    const QWidget* client = toolkit_window(handle)->client;
    *width = client->width();
    *height = client->height();
}

WindowRect window_native_frame(NativeHandle handle) {
    const QWidget* window = toolkit_window(handle);
    QRect frame = window->frameGeometry();
    // Until the window manager has framed the window, its title bar is only estimated.
    if (frame == window->geometry()) frame.setTop(frame.top() - frame_metrics().caption_height);
    return WindowRect{frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
}

WindowRect window_native_work_area(NativeHandle handle) {
    const QWidget* window = toolkit_window(handle);
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return WindowRect{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
}

void window_native_place(NativeHandle handle, int x, int y, int client_width, int client_height) {
    ToolkitWindow* window = toolkit_window(handle);
    const QSize size(client_width, client_height + window->bar_height());
    if (window->fixed_size)
        window->setFixedSize(size);
    else
        window->resize(size);
    window->lay_out();
    window->move(x, y);
}

void window_native_set_bounds(NativeHandle handle, int min_width, int min_height, int max_width, int max_height) {
    ToolkitWindow* window = toolkit_window(handle);
    window->min_client = QSize(min_width, min_height);
    window->max_client = QSize(max_width, max_height);
    window->apply_bounds();
}

int window_native_state(NativeHandle handle) {
    const QWidget* window = toolkit_window(handle);
    if (window->isMinimized()) return WINDOW_STATE_MINIMIZED;
    if (window->isMaximized()) return WINDOW_STATE_MAXIMIZED;
    return WINDOW_STATE_NORMAL;
}

void window_native_start() {
    window_host_install(&qt_host);
    if (!the_window_filter) the_window_filter = new WindowEventFilter;
    shortcut_filter_install();
    window_program_icon();
}

void window_native_end() {
    shortcut_filter_remove();
    delete the_window_filter;
    the_window_filter = nullptr;
}
