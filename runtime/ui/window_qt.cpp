/** @file window_qt.cpp
 * Qt adapter of the toolkit windows. Produces: WM_CLOSE (the window stays), WM_MOVE, WM_SIZE
 * (restored, minimised, maximised), WM_ACTIVATE, WM_ERASEBKGND from the top-level widget; event_wait's
 * dispatcher over QCoreApplication::processEvents. Tab focus moves are in focus_qt.cpp; the key
 * filter that turns accelerator entries into WM_COMMAND lives in shortcut_qt.cpp, and window_start
 * installs it.
 * Deliberately not produced: live sizing (the window manager sizes), MDI, tray, drop targets,
 * WM_GETMINMAXINFO, WM_SYSCOLORCHANGE, WM_TIMER (no timer operation exists). */
#include "runtime/core/registry.h"
#include "runtime/ui/event_internal.h"
#include "runtime/ui/focus_internal.h"
#include "runtime/ui/gadget_internal.h"
#include "runtime/ui/resources.h"
#include "runtime/ui/shortcut_internal.h"
#include "runtime/ui/shortcut_qt.h"
#include "runtime/ui/window_internal.h"
#include "runtime/ui/window_qt.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVariant>
#include <QWidget>

void window_registry_create();
void window_registry_destroy();

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

    void lay_out() {
        int bar = menu_bar ? menu_bar->sizeHint().height() : 0;
        if (menu_bar) menu_bar->setGeometry(0, 0, width(), bar);
        client->setGeometry(0, bar, width(), height() - bar);
    }

    QWidget* client = nullptr;
    QMenuBar* menu_bar = nullptr;
    ObjectNumber number = -1;
    bool fixed_size = true;
    bool closing = false;   // window_close is deleting it

protected:
    // Qt's own Tab chain never moves the focus: only the window's Tab entries do.
    bool focusNextPrevChild(bool) override { return true; }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        lay_out();
    }
};

ToolkitWindow* toolkit_window(NativeHandle handle) { return static_cast<ToolkitWindow*>(handle); }

std::intptr_t point_lparam(int x, int y) { return std::intptr_t((std::uint32_t(y & 0xFFFF) << 16) | std::uint32_t(x & 0xFFFF)); }

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
    QVariant value = as_object(control)->property("QZ_Identifier");
    return value.isValid() ? ObjectNumber(value.toLongLong()) : -1;
}

NativeHandle host_focus_in_window(NativeHandle window) {
    return window ? static_cast<QWidget*>(window)->focusWidget() : nullptr;
}

void host_set_focus(NativeHandle native) {
    // A saved focus ("QZ_Focus") may name a control destroyed while its window was inactive; a
    // stale window handle is harmless to SetFocus, a stale widget pointer is not.
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
    QTimer wake;   // ends the wait at the deadline
    wake.setSingleShot(true);
    wake.start(timeout);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

const WindowHost qt_host = {
    host_parent,        host_get_prop,          host_set_prop,          host_remove_prop,
    host_control_identifier, host_focus_in_window, host_set_focus,      focus_move,
    host_default_procedure, host_post_message,  host_pump,
};

// Window bookkeeping once the widget goes: steps 5 to 7 of window_close.
void forget_window(ToolkitWindow* window) {
    WindowRecord* record = window_lookup(window->number);
    if (!record || record->handle != static_cast<NativeHandle>(window)) return;
    gadget_list_forget(window);
    shortcut_free(record);
    record->background_brush = nullptr;
    event_queue_remove_window(window->number);
    registry_release(window_registry(), window->number);
}

ToolkitWindow::~ToolkitWindow() {
    // An owned window goes with its owner; its number must go too.
    if (!closing) forget_window(this);
}

Qt::WindowFlags qt_window_flags(const WindowStyle& style) {
    Qt::WindowFlags flags = (style.ex_style & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
    flags |= Qt::CustomizeWindowHint;
    if ((style.style & WS_CAPTION) == WS_CAPTION) flags |= Qt::WindowTitleHint;
    else flags |= Qt::FramelessWindowHint;
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
    // The client area keeps its size; the window grows or shrinks by the bar.
    int height = window->height() - old_bar + new_bar;
    if (window->fixed_size) window->setFixedSize(window->width(), height);
    else window->resize(window->width(), height);
    window->lay_out();
}

QMenuBar* window_menu_bar(NativeHandle window) { return window ? toolkit_window(window)->menu_bar : nullptr; }

const QIcon& window_program_icon() {
    static QIcon icon = [] {
        QPixmap pixmap;
        if (const EmbeddedResource* r = embedded_resource("icon")) pixmap.loadFromData(r->data, uint(r->size));
        return pixmap.isNull() ? QIcon() : QIcon(pixmap);
    }();
    return icon;
}

ObjectNumber window_number_of(NativeHandle native) { return window_find_toolkit(native, nullptr); }

// ---------------------------------------------------------------------------------------------

ObjectNumber window_open(ObjectNumber number, int x, int y, int width, int height, const char16_t* title,
                         std::uint32_t flags, NativeHandle parent) {
    ObjectRegistry* registry = window_registry();
    if (!registry || !qApp) return 0;
    ObjectNumber id = number;
    auto* record = static_cast<WindowRecord*>(registry_obtain(registry, number, &id));
    if (!record) return 0;

    const WindowStyle style = window_style_from_flags(flags);
    const std::uint32_t created_style = style.style & ~WINDOW_TOOLKIT_LOW_BITS;
    const WindowFrameMetrics frame = frame_metrics();
    int outer_width = 0, outer_height = 0;
    window_outer_size(created_style, width, height, frame, &outer_width, &outer_height);

    QRect screen(0, 0, 1024, 768);
    if (QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->geometry();
    WindowRect reference{};
    const WindowRect* reference_ptr = nullptr;
    QWidget* ref_widget = parent ? static_cast<QWidget*>(parent) : QApplication::activeWindow();
    if (ref_widget) {
        QRect r = ref_widget->frameGeometry();
        reference = WindowRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
        reference_ptr = &reference;
    }
    const WindowPlacement place =
        window_place(x, y, outer_width, outer_height, flags, screen.width(), screen.height(), reference_ptr);
    // A window limited to the screen loses client area, as the outer size shrinks.
    const int client_width = std::max(0, width - (outer_width - place.width));
    const int client_height = std::max(0, height - (outer_height - place.height));

    auto* window = new ToolkitWindow(static_cast<QWidget*>(parent), qt_window_flags(style));
    window->number = id;
    window->fixed_size = !(created_style & WS_THICKFRAME);
    if (window->fixed_size) window->setFixedSize(client_width, client_height);
    else window->resize(client_width, client_height);
    window->lay_out();
    // An ignored coordinate left as passed (parent-centred with nothing to centre on) is the
    // system's choice too, never a window placed 65535 pixels off the screen.
    const bool system_place = place.x == CW_USEDEFAULT || place.x == COORD_IGNORE || place.y == COORD_IGNORE;
    if (!system_place) window->move(place.x + screen.left(), place.y + screen.top());
    window->setWindowTitle(title ? QString::fromUtf16(title) : QString());
    window->setWindowIcon(window_program_icon());
    window->setProperty("QZ_WindowID", qlonglong(id + 1));
    if (style.ex_style & WS_EX_TOOLWINDOW) window->setProperty("QZ_ToolWindow", qlonglong(1));
    window->installEventFilter(the_window_filter);

    *record = WindowRecord{};
    record->handle = window;
    record->min_or_max = (created_style & WINDOW_MIN_MAX_STATES) ? 1 : 0;
    shortcut_install_defaults(record);
    record->mdi_client = nullptr;

    if (!(flags & WINDOW_INVISIBLE)) {
        if (flags & WINDOW_MAXIMIZE) window->showMaximized();
        else if (flags & WINDOW_MINIMIZE) window->showMinimized();
        else window->show();
    }
    if (!(flags & WINDOW_NO_GADGETS)) gadget_list_use(window);
    return number == ANY_NUMBER ? id : reinterpret_cast<ObjectNumber>(window);
}

int window_close(ObjectNumber number) {
    WindowRecord* record = window_lookup(number);
    if (!record) return 0;
    auto* window = toolkit_window(record->handle);
    // Activation returns to the owner before the window goes.
    if (QWidget* owner = window->parentWidget(); owner && !record->mdi_client) owner->activateWindow();
    window->setProperty("QZ_WindowID", QVariant());
    window_procedure(window, WM_NCDESTROY, 0, 0);
    window->closing = true;
    gadget_list_forget(window);
    shortcut_free(record);
    record->background_brush = nullptr;
    // The record goes before the widget so that nothing its destruction raises finds it.
    registry_release(window_registry(), number);
    delete window;
    event_queue_remove_window(number);
    return 1;
}

NativeHandle window_handle(ObjectNumber number) {
    WindowRecord* record = window_lookup(number);
    return record ? record->handle : nullptr;
}

int window_disable(ObjectNumber number, int state) {
    WindowRecord* record = window_lookup(number);
    if (!record) return 0;
    toolkit_window(record->handle)->setEnabled(state == 0);
    return 1;
}

int window_set_topmost(ObjectNumber number, int state) {
    WindowRecord* record = window_lookup(number);
    if (!record || record->mdi_client) return 0;
    QWidget* window = toolkit_window(record->handle);
    bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, state != 0);
    // Changing the flags of a shown window hides it.
    if (visible) window->show();
    return 1;
}

int window_activate(ObjectNumber number) {
    WindowRecord* record = window_lookup(number);
    if (!record) return 0;
    QWidget* window = toolkit_window(record->handle);
    window->raise();
    window->activateWindow();
    return 1;
}

// ---------------------------------------------------------------------------------------------

void window_start() {
    window_registry_create();
    event_start();
    window_host_install(&qt_host);
    if (!the_window_filter) the_window_filter = new WindowEventFilter;
    shortcut_filter_install();
    window_program_icon();
}

void window_end() {
    if (ObjectRegistry* registry = window_registry()) registry_free_all(registry);
    window_registry_destroy();
    event_end();
    shortcut_filter_remove();
    delete the_window_filter;
    the_window_filter = nullptr;
}
