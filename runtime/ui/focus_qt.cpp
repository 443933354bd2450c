/** @file focus_qt.cpp
 * Qt adapter of Tab focus navigation: the active window's widgets as focus candidates, in the
 * order Windows enumerates child windows, and the focus set on the one focus_choose picks.
 * [X] focus moves for the commands of the two Tab entries (reached through WindowHost::move_focus)
 * [ ] not used: Qt's own focus chain, which toolkit windows switch off */
#include "runtime/ui/focus_internal.h"

#include <QApplication>
#include <QWidget>

#include <vector>

void focus_move(bool forward) {
    QWidget* focus = QApplication::focusWidget();
    QWidget* top = QApplication::activeWindow();
    if (!top && focus) top = focus->window();
    if (!top) return;
    QWidget* start = focus && top->isAncestorOf(focus) ? focus : nullptr;
    std::vector<QWidget*> widgets;
    std::vector<FocusCandidate> candidates;
    // findChildren walks depth first, a widget before its children, in creation order: the order of
    // EnumChildWindows.
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (w->isWindow()) continue;
        widgets.push_back(w);
        candidates.push_back(
            FocusCandidate{w, w->isEnabled(), w->isVisible(), (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus});
    }
    int index = focus_choose(candidates.data(), int(candidates.size()), start, forward);
    if (index >= 0) widgets[std::size_t(index)]->setFocus(Qt::TabFocusReason);
}
