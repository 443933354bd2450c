/** @file menu_qt.h
 * The menu item behind a QAction, for the toolkit's Qt adapters and the tests that look at menus
 * through Qt. */
#pragma once

#include "runtime/ui/menu_internal.h"

class QObject;

// The item record an action of our menus stands for; null for any other object or null.
MenuItemRecord* menu_item_of(const QObject* action);
