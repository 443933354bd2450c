/** @file window_qt.h
 * The Qt side of a toolkit window, for the other Qt adapters of the toolkit (menus, requesters,
 * gadgets, the code editor). Not for the application. */
#pragma once

#include "runtime/ui/window.h"

class QWidget;
class QMenuBar;
class QIcon;

// The window's top-level widget (the native handle itself), or null for a null handle.
QWidget* window_widget(NativeHandle window);
// The client area: the parent of the window's gadgets, below the menu bar.
QWidget* window_client_widget(NativeHandle window);
// The widget's toolkit window handle (its top-level widget when that is a toolkit window), or null.
NativeHandle window_of_widget(QWidget* widget);

// Installs a menu bar above the client area (null removes it; the window does not delete the old
// one). The client area keeps its size; the window grows by the bar's height.
void window_set_menu_bar(NativeHandle window, QMenuBar* menu_bar);
QMenuBar* window_menu_bar(NativeHandle window);

// The program's icon, set on every window.
const QIcon& window_program_icon();
