// Toolkit windows on real (offscreen) Qt: sizes, title-bar buttons, placement, the icon, close
// requests that leave the window open, closing with gadgets and owned windows, and the
// operations on invalid numbers.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/ui/event_internal.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/resources.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_qt.h"

namespace {

struct Seen {
    int code;
    ObjectNumber object;
    ObjectNumber window;
};

// Every event that is there now, after Qt has delivered what was pending.
std::vector<Seen> collect() {
    QCoreApplication::processEvents();
    std::vector<Seen> seen;
    while (int code = event_wait(0)) seen.push_back({code, event_object(), event_window()});
    return seen;
}

bool contains(const std::vector<Seen>& seen, int code, ObjectNumber object, ObjectNumber window) {
    for (const Seen& s : seen)
        if (s.code == code && s.object == object && s.window == window) return true;
    return false;
}

QSize screen_size() { return QGuiApplication::primaryScreen()->geometry().size(); }

class WindowQt : public testing::Test {
protected:
    void TearDown() override {
        for (ObjectNumber n : opened) window_close(n);
        collect();
    }
    ObjectNumber open(ObjectNumber number, int w, int h, std::uint32_t flags, NativeHandle parent = nullptr) {
        ObjectNumber result = window_open(number, 0, 0, w, h, u"Test", flags, parent);
        opened.push_back(number == ANY_NUMBER ? result : number);
        return number == ANY_NUMBER ? result : number;
    }
    QWidget* widget(ObjectNumber n) { return window_widget(window_handle(n)); }
    std::vector<ObjectNumber> opened;
};

TEST_F(WindowQt, MainWindowFlagsGiveExactClientSizeCentredWithCloseBoxOnly) {
    ObjectNumber n = open(40, 300, 200, 0xC80001);
    QWidget* w = widget(n);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(window_client_widget(window_handle(n))->size(), QSize(300, 200));
    // No sizing border: the size is fixed.
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    Qt::WindowFlags f = w->windowFlags();
    EXPECT_TRUE(f & Qt::WindowTitleHint);
    EXPECT_TRUE(f & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(f & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w->isVisible());
    QSize screen = screen_size();
    EXPECT_EQ(w->pos(), QPoint((screen.width() - 300) / 2, (screen.height() - 200) / 2));
}

TEST_F(WindowQt, FlagsOneGiveATitleBarWithoutCloseBox) {
    QWidget* w = widget(open(41, 200, 100, 1));
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowTitleHint);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowSystemMenuHint);
}

TEST_F(WindowQt, ThickFrameAndBoxesAskForThemselves) {
    QWidget* w = widget(open(42, 200, 100, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    ASSERT_NE(w, nullptr);
    EXPECT_NE(w->minimumSize(), w->maximumSize());
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(WindowQt, ScreenCentredWindowLargerThanTheScreenIsShrunkToItAtTheOrigin) {
    QSize screen = screen_size();
    QWidget* w = widget(open(43, screen.width() + 200, screen.height() + 100, 0xC80001));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->pos(), QPoint(0, 0));
    EXPECT_EQ(w->size(), screen);
}

TEST_F(WindowQt, EveryWindowCarriesTheProgramIcon) {
    if (!embedded_resource("icon")) GTEST_SKIP() << "no icon resource embedded";
    QWidget* a = widget(open(44, 100, 100, 0));
    QWidget* b = widget(open(ANY_NUMBER, 100, 100, WINDOW_TOOL));
    ASSERT_FALSE(window_program_icon().isNull());
    EXPECT_EQ(a->windowIcon().cacheKey(), window_program_icon().cacheKey());
    EXPECT_EQ(b->windowIcon().cacheKey(), window_program_icon().cacheKey());
}

TEST_F(WindowQt, ExplicitNumberReturnsTheHandleAndAnyNumberADynamicNumber) {
    ObjectNumber handle = window_open(45, 0, 0, 100, 100, nullptr, 0);
    opened.push_back(45);
    EXPECT_EQ(handle, reinterpret_cast<ObjectNumber>(window_handle(45)));
    ObjectNumber dynamic = open(ANY_NUMBER, 100, 100, 0);
    EXPECT_GT(dynamic, 0);
    EXPECT_NE(window_handle(dynamic), nullptr);
    EXPECT_EQ(widget(dynamic)->windowTitle(), QStringLiteral("Test"));
    EXPECT_EQ(widget(45)->windowTitle(), QString());
}

TEST_F(WindowQt, CloseRequestGivesTheEventAndTheWindowStays) {
    ObjectNumber n = open(46, 200, 100, 0xC80001);
    collect();
    QWidget* w = widget(n);
    // As the window manager's close box does.
    EXPECT_FALSE(w->windowHandle()->close());
    auto seen = collect();
    EXPECT_TRUE(contains(seen, EVENT_CLOSE_WINDOW, n, n));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(window_handle(n), static_cast<NativeHandle>(w));
}

TEST_F(WindowQt, InvisibleWindowIsNotShown) {
    QWidget* w = widget(open(47, 100, 100, WINDOW_INVISIBLE | 1));
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(WindowQt, ClosingRemovesWindowGadgetsAndQueuedEvents) {
    ObjectNumber n = open(48, 200, 100, 0);
    ObjectNumber other = open(49, 200, 100, 0);
    window_open(48, 0, 0, 10, 10, nullptr, 0);  // re-created: the old window goes first
    gadget_list_use(window_handle(48));
    text_gadget_create(200, 1, 1, 50, 20, u"label");
    ASSERT_TRUE(gadget_exists(200));
    collect();
    event_enqueue(EVENT_REPAINT, n, n, 0);
    event_enqueue(EVENT_REPAINT, other, other, 0);
    QPointer<QWidget> w = widget(n);
    EXPECT_EQ(window_close(n), 1);
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(window_handle(n), nullptr);
    EXPECT_FALSE(gadget_exists(200));
    auto seen = collect();
    EXPECT_FALSE(contains(seen, EVENT_REPAINT, n, n));
    EXPECT_TRUE(contains(seen, EVENT_REPAINT, other, other));
    EXPECT_EQ(window_close(n), 0);
}

TEST_F(WindowQt, ReopeningANumberDestroysTheOldWindow) {
    open(50, 100, 100, 0);
    QPointer<QWidget> old = widget(50);
    window_open(50, 0, 0, 120, 80, nullptr, 0);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(window_client_widget(window_handle(50))->size(), QSize(120, 80));
}

TEST_F(WindowQt, AnOwnedWindowGoesWithItsOwner) {
    window_open(51, 0, 0, 300, 300, nullptr, 0);
    ObjectNumber child = open(57, 100, 100, WINDOW_PARENT_CENTERED | 1, window_handle(51));
    ASSERT_NE(window_handle(child), nullptr);
    EXPECT_EQ(window_close(51), 1);
    EXPECT_EQ(window_handle(child), nullptr);
    EXPECT_EQ(window_close(child), 0);
}

TEST_F(WindowQt, ParentCentredOverItsOwner) {
    open(52, 400, 300, 0);
    QWidget* owner = widget(52);
    owner->move(100, 50);
    QWidget* child = widget(open(53, 100, 50, WINDOW_PARENT_CENTERED, window_handle(52)));
    QRect r = owner->frameGeometry();
    EXPECT_EQ(child->pos(), QPoint(r.left() + (r.width() - 100) / 2, r.top() + (r.height() - 50) / 2));
}

TEST_F(WindowQt, DisableTopmostAndActivate) {
    ObjectNumber n = open(54, 100, 100, 0);
    QWidget* w = widget(n);
    // The field that had the keyboard has it again once the window is enabled and active.
    gadget_list_use(window_handle(n));
    string_gadget_create(540, 0, 0, 50, 20, u"");
    string_gadget_create(541, 0, 30, 50, 20, u"");
    window_activate(n);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    gadget_set_focus(541);
    EXPECT_EQ(window_disable(n, 1), 1);
    EXPECT_FALSE(w->isEnabled());
    EXPECT_EQ(window_disable(n, 0), 1);
    EXPECT_TRUE(w->isEnabled());
    window_activate(n);
    EXPECT_EQ(gadget_with_focus(n), 541);
    EXPECT_EQ(window_set_topmost(n, 1), 1);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(window_set_topmost(n, 0), 1);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window_activate(n), 1);
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
}

TEST_F(WindowQt, InvalidNumbersDoNothing) {
    EXPECT_EQ(window_close(777), 0);
    EXPECT_EQ(window_handle(777), nullptr);
    EXPECT_EQ(window_disable(777, 1), 0);
    EXPECT_EQ(window_set_topmost(777, 1), 0);
    EXPECT_EQ(window_activate(777), 0);
    EXPECT_EQ(window_handle(-1), nullptr);
}

TEST_F(WindowQt, MenuBarSitsAboveAnUnchangedClientArea) {
    ObjectNumber n = open(55, 300, 200, 0xC80001);
    auto* bar = new QMenuBar;
    bar->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("New"));
    window_set_menu_bar(window_handle(n), bar);
    EXPECT_EQ(window_menu_bar(window_handle(n)), bar);
    QWidget* client = window_client_widget(window_handle(n));
    EXPECT_EQ(client->size(), QSize(300, 200));
    EXPECT_EQ(client->y(), bar->height());
    EXPECT_EQ(widget(n)->height(), 200 + bar->height());
    EXPECT_EQ(bar->geometry().bottom() + 1, client->y());
}

TEST_F(WindowQt, MinimiseAndRestoreGiveTheirEvents) {
    ObjectNumber n = open(56, 200, 100, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME);
    QWidget* w = widget(n);
    collect();
    w->showMinimized();
    auto seen = collect();
    EXPECT_TRUE(contains(seen, EVENT_WINDOW_MINIMIZED, 0, n));
    EXPECT_FALSE(contains(seen, EVENT_WINDOW_SIZED, 0, n));
    w->showNormal();
    seen = collect();
    ASSERT_TRUE(contains(seen, EVENT_WINDOW_RESTORED, 0, n));
    // Restored comes before sized.
    std::size_t restored = 0, sized = seen.size();
    for (std::size_t i = 0; i < seen.size(); ++i) {
        if (seen[i].code == EVENT_WINDOW_RESTORED) restored = i;
        if (seen[i].code == EVENT_WINDOW_SIZED && i > restored && sized == seen.size()) sized = i;
    }
    EXPECT_LT(restored, sized);
}

TEST_F(WindowQt, MaximiseMinimiseAndToolBitsChooseHowTheWindowIsShown) {
    ObjectNumber big = open(58, 200, 100, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WINDOW_MAXIMIZE);
    EXPECT_TRUE(widget(big)->isMaximized());
    ObjectNumber small = open(59, 200, 100, WS_CAPTION | WS_SYSMENU | WINDOW_MINIMIZE);
    EXPECT_TRUE(widget(small)->isMinimized());
    // A tool window loses the maximise box even when asked for it.
    ObjectNumber tool = open(61, 200, 100, WINDOW_TOOL | WS_MAXIMIZEBOX | WS_SYSMENU);
    QWidget* w = widget(tool);
    EXPECT_EQ(w->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowTitleHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
    // Opened maximised or minimised, a window counts as such until restored, even unshown: its
    // first restore is announced. A plain window's restore is only a resize.
    for (std::uint32_t state : {WINDOW_MAXIMIZE, WINDOW_MINIMIZE, 0u}) {
        ObjectNumber n = open(ANY_NUMBER, 50, 50, WS_CAPTION | WS_SYSMENU | WINDOW_INVISIBLE | state);
        collect();
        window_send_message(window_handle(n), WM_SIZE, SIZE_RESTORED, 0);
        auto seen = collect();
        EXPECT_TRUE(contains(seen, EVENT_WINDOW_SIZED, 0, n)) << state;
        EXPECT_EQ(contains(seen, EVENT_WINDOW_RESTORED, 0, n), state != 0) << state;
    }
}

TEST_F(WindowQt, ASizableWindowKeepsItsBoundsAndFitsTheScreenWithItsMenuBar) {
    const QSize screen = screen_size();
    ObjectNumber n = open(62, screen.width(), screen.height(), WS_CAPTION | WS_SYSMENU | WS_THICKFRAME);
    QWidget* w = widget(n);
    EXPECT_EQ(window_width(n), screen.width());
    EXPECT_EQ(window_height(n), screen.height());
    EXPECT_EQ(window_set_bounds(n, 300, 200, 0, 0), 1);
    auto* bar = new QMenuBar;
    bar->addMenu(QStringLiteral("File"));
    window_set_menu_bar(window_handle(n), bar);
    // The bounds are the client area's: the widget's minimum takes the bar in.
    EXPECT_EQ(w->minimumSize(), QSize(300, 200 + bar->height()));
    // The bar made the window taller than the screen; fitting gives the client area less.
    ASSERT_GT(w->height(), screen.height());
    EXPECT_EQ(window_fit_screen(n), 1);
    EXPECT_EQ(w->frameGeometry(), QRect(QPoint(0, 0), screen));
    EXPECT_EQ(window_height(n), w->height() - bar->height());
    EXPECT_EQ(window_fit_screen(n), 0);
    EXPECT_EQ(window_get_state(n), WINDOW_STATE_NORMAL);
    w->showMaximized();
    EXPECT_EQ(window_get_state(n), WINDOW_STATE_MAXIMIZED);
    EXPECT_EQ(window_width(777) + window_height(777) + window_set_bounds(777, 1, 1, 1, 1) + window_fit_screen(777), 0);
}

}  // namespace
