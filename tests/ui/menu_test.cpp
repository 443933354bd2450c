// Image menus: the measuring rules, building a window's bar, choosing an item as a person does,
// the records' lifetime, and what an open drop-down looks like (pixels of a screenshot).
#include "runtime/ui/menu_internal.h"

#include "runtime/core/memory.h"
#include "runtime/ui/event.h"
#include "runtime/ui/font.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/image.h"
#include "runtime/ui/image_qt.h"
#include "runtime/ui/resources.h"
#include "runtime/ui/window_qt.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Pure rules ---------------------------------------------------------------------------------

TEST(MenuMeasure, ItemsAreTheirTextPlusRoomForImageAndShortcut) {
    // "New\tCtrl+N": the whole text plus 48; "Save as...": plus 28; height plus 6.
    const MenuSize with_tab = menu_measure_item(u"New\tCtrl+N", 0, 70, 15);
    EXPECT_EQ(with_tab.width, 118);
    EXPECT_EQ(with_tab.height, 21);
    const MenuSize plain = menu_measure_item(u"Save as...", 0, 60, 15);
    EXPECT_EQ(plain.width, 88);
    EXPECT_EQ(plain.height, 21);
    // A title that opens a drop-down gets the arrow's room like a shortcut.
    EXPECT_EQ(menu_measure_item(u"More", MENU_STYLE_SUBMENU, 30, 15).width, 78);
    EXPECT_EQ(menu_measure_item(u"", 0, 0, 15).width, 28);
    // Separators are 50 x 9 whatever the font.
    const MenuSize separator = menu_measure_item(nullptr, 0, 500, 40);
    EXPECT_EQ(separator.width, 50);
    EXPECT_EQ(separator.height, 9);
}

TEST(MenuMeasure, DrawingPlaces) {
    const MenuRect line = menu_separator_line(120, 9);
    EXPECT_EQ(line.top, 4);
    EXPECT_EQ(line.height(), 1);
    EXPECT_EQ(line.left, 0);
    EXPECT_EQ(line.right, 120);
    const MenuPoint image = menu_image_position(21);
    EXPECT_EQ(image.x, 2);
    EXPECT_EQ(image.y, 3);  // (21 - 16) / 2 + 1
    EXPECT_EQ(menu_image_position(16).y, 1);
    EXPECT_EQ(menu_image_position(14).y, 0);  // -2 / 2 + 1: integer division toward zero
    const MenuRect text = menu_text_rect(118, 21);
    EXPECT_EQ(text.left, 28);
    EXPECT_EQ(text.right, 110);
    EXPECT_EQ(text.height(), 21);
    EXPECT_EQ(menu_tab_position(u"Open...\tCtrl+O"), 7);
    EXPECT_EQ(menu_tab_position(u"Save as..."), -1);
    EXPECT_EQ(menu_tab_position(nullptr), -1);
}

// With widgets ---------------------------------------------------------------------------------

const char16_t* const ITEM_TEXTS[] = {u"New\tCtrl+N", u"Open...\tCtrl+O", u"Save\tCtrl+S", u"Save as...",
                                      u"Exit\tCtrl+X"};
const char* const IMAGE_NAMES[] = {"new", "open", "save", "saveas", "exit"};

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window_open(0, 0, 0, 400, 300, u"Menu test", 0xC80001), 0);
        for (int i = 0; i < 5; ++i) {
            const EmbeddedResource* png = embedded_resource(IMAGE_NAMES[i]);
            ASSERT_NE(png, nullptr) << IMAGE_NAMES[i];
            ASSERT_NE(image_catch(12 + i, png->data, png->size), 0) << IMAGE_NAMES[i];
        }
        while (event_wait(0)) {}
    }
    void TearDown() override {
        menu_free(1);
        window_close(0);
        for (int i = 12; i <= 16; ++i) image_free(i);
        while (event_wait(0)) {}
    }

    // The application's File menu.
    void build_file_menu() {
        ASSERT_NE(image_menu_create(1, window_handle(0)), 0);
        menu_title(u"File");
        menu_item(2, ITEM_TEXTS[0], image_handle(12));
        menu_separator();
        menu_item(3, ITEM_TEXTS[1], image_handle(13));
        menu_item(4, ITEM_TEXTS[2], image_handle(14));
        menu_item(5, ITEM_TEXTS[3], image_handle(15));
        menu_separator();
        menu_item(6, ITEM_TEXTS[4], image_handle(16));
    }

    QMenu* file_menu() {
        QMenuBar* bar = window_menu_bar(window_handle(0));
        if (!bar || bar->actions().isEmpty()) return nullptr;
        return bar->actions().first()->menu();
    }

    // The drop-down opened as by a click on its title, laid out and painted.
    QMenu* open_file_menu() {
        QMenu* menu = file_menu();
        if (!menu) return nullptr;
        menu->popup(QPoint(0, 0));
        if (!QTest::qWaitForWindowExposed(menu)) return nullptr;
        return menu;
    }
};

TEST_F(MenuTest, BuildsTheBarWithLabelsAndNoShortcuts) {
    build_file_menu();
    MenuRecord* record = menu_lookup(1);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->is_image_menu, 1);
    EXPECT_EQ(record->style, 0);
    EXPECT_EQ(record->owner, window_handle(0));
    QMenuBar* bar = window_menu_bar(window_handle(0));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(static_cast<void*>(bar), record->menu);
    ASSERT_EQ(bar->actions().size(), 1);
    EXPECT_EQ(bar->actions().first()->text(), "File");
    QMenu* menu = file_menu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 7);
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_TRUE(actions[5]->isSeparator());
    EXPECT_EQ(actions[0]->text(), "New");
    EXPECT_EQ(actions[2]->text(), "Open...");
    EXPECT_EQ(actions[4]->text(), "Save as...");
    // The shortcut texts are for display only: Ctrl+N and the others are the window's accelerators.
    for (QAction* action : actions) EXPECT_TRUE(action->shortcut().isEmpty());
}

TEST_F(MenuTest, ClickingAnItemRaisesTheMenuEventWithItsNumber) {
    build_file_menu();
    QMenu* menu = open_file_menu();
    ASSERT_NE(menu, nullptr);
    QAction* save = menu->actions()[3];
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(save).center());
    int code = 0;
    for (int i = 0; i < 20 && code != EVENT_MENU; ++i) code = event_wait(10);
    ASSERT_EQ(code, EVENT_MENU);
    EXPECT_EQ(event_object(), 4);
    EXPECT_FALSE(menu->isVisible());
    // Keyboard: arrows and Enter in the open drop-down choose "Exit".
    menu = open_file_menu();
    ASSERT_NE(menu, nullptr);
    menu->setActiveAction(menu->actions()[4]);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    code = 0;
    for (int i = 0; i < 20 && code != EVENT_MENU; ++i) code = event_wait(10);
    ASSERT_EQ(code, EVENT_MENU);
    EXPECT_EQ(event_object(), 6);
}

TEST_F(MenuTest, ItemsMeasureByTheRules) {
    build_file_menu();
    QMenu* menu = open_file_menu();
    ASSERT_NE(menu, nullptr);
    const QFontMetrics metrics(menu->font());
    int widest = 0;
    for (const char16_t* text : ITEM_TEXTS) {
        const int width = metrics.horizontalAdvance(QString::fromUtf16(text));
        widest = std::max(widest, width + (menu_tab_position(text) >= 0 ? 48 : 28));
    }
    const QList<QAction*> actions = menu->actions();
    // Every item is as wide as the widest one, as in a native menu.
    EXPECT_EQ(menu->actionGeometry(actions[0]).width(), widest);
    EXPECT_EQ(menu->actionGeometry(actions[4]).width(), widest);
    EXPECT_EQ(menu->actionGeometry(actions[0]).height(), metrics.height() + 6);
    EXPECT_EQ(menu->actionGeometry(actions[1]).height(), 9);
    // The first item sits inside the frame at (3, 3).
    EXPECT_EQ(menu->actionGeometry(actions[0]).topLeft(), QPoint(3, 3));
}

// Background of the drop-down, read where nothing is drawn on it.
QRgb background_at(const QImage& shot, const QRect& item) { return shot.pixel(item.right() - 2, item.top() + 1); }

TEST_F(MenuTest, ScreenshotShowsSeparatorImagesAndHighlight) {
    build_file_menu();
    QMenu* menu = open_file_menu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    actions[4]->setEnabled(false);   // "Save as..." disabled
    actions[3]->setCheckable(true);  // "Save" checked
    actions[3]->setChecked(true);
    menu->setActiveAction(actions[2]);  // "Open..." under the mouse
    QApplication::processEvents();
    const QImage shot = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (const char* folder = std::getenv("QEM_SCREENSHOT_DIR")) shot.save(QString(folder) + "/menu_open.png");

    const QPalette palette = menu->palette();
    const QRgb menu_colour = palette.color(QPalette::Active, QPalette::Window).rgb();
    const QRgb shadow = palette.color(QPalette::Active, QPalette::Mid).rgb();
    const QRgb highlight = palette.color(QPalette::Active, QPalette::Highlight).rgb();
    ASSERT_NE(menu_colour, shadow);
    ASSERT_NE(menu_colour, highlight);

    // The separator: one line in the shadow colour, 4 pixels below its top, across its width.
    const QRect separator = menu->actionGeometry(actions[1]);
    for (int x : {separator.left(), separator.center().x(), separator.right()}) {
        EXPECT_EQ(shot.pixel(x, separator.top() + 4), shadow) << x;
        EXPECT_EQ(shot.pixel(x, separator.top() + 3), menu_colour) << x;
        EXPECT_EQ(shot.pixel(x, separator.top() + 5), menu_colour) << x;
    }

    // The selected item is filled with the highlight colour.
    const QRect open = menu->actionGeometry(actions[2]);
    EXPECT_EQ(background_at(shot, open), highlight);
    EXPECT_EQ(shot.pixel(open.left() + 20, open.bottom()), highlight);
    const QRect exit = menu->actionGeometry(actions[6]);
    EXPECT_EQ(background_at(shot, exit), menu_colour);

    // Images at (2, (h - 16) / 2 + 1): opaque image pixels show exactly.
    const QImage exit_image = image_to_qimage(image_handle(16));
    const MenuPoint at = menu_image_position(exit.height());
    int checked_pixels = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (qAlpha(exit_image.pixel(x, y)) == 255) {
                ++checked_pixels;
                ASSERT_EQ(shot.pixel(exit.left() + at.x + x, exit.top() + at.y + y),
                          exit_image.pixel(x, y) | 0xFF000000u)
                    << x << "," << y;
            }
    EXPECT_GT(checked_pixels, 50);
    // ... and transparent ones show the menu colour.
    ASSERT_EQ(qAlpha(exit_image.pixel(0, 0)), 0);
    EXPECT_EQ(shot.pixel(exit.left() + at.x, exit.top() + at.y), menu_colour);

    // The disabled item's image is greyed: an opaque pixel becomes its grey level.
    const QRect save_as = menu->actionGeometry(actions[4]);
    const QImage save_as_image = image_to_qimage(image_handle(15));
    bool found = false;
    for (int y = 0; y < 16 && !found; ++y)
        for (int x = 0; x < 16 && !found; ++x) {
            const QRgb p = save_as_image.pixel(x, y);
            if (qAlpha(p) != 255) continue;
            found = true;
            const int g = image_grey_level(qBlue(p), qGreen(p), qRed(p));
            EXPECT_EQ(shot.pixel(save_as.left() + at.x + x, save_as.top() + at.y + y), qRgb(g, g, g));
        }
    EXPECT_TRUE(found);

    // The checked item carries the check mark's strokes: x = 9 runs from y = 11 to 13.
    const QRect save = menu->actionGeometry(actions[3]);
    EXPECT_EQ(shot.pixel(save.left() + 9, save.top() + 12), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(save.left() + 13, save.top() + 7), qRgb(0, 0, 0));
}

TEST_F(MenuTest, OnADenseScreenImagesComeFromTheirPicturesOfTwiceTheSize) {
    for (int i = 0; i < 5; ++i) {
        const EmbeddedResource* png = embedded_resource((std::string(IMAGE_NAMES[i]) + "@2x").c_str());
        ASSERT_NE(png, nullptr) << IMAGE_NAMES[i];
        ASSERT_EQ(image_catch_denser(12 + i, png->data, png->size), 1) << IMAGE_NAMES[i];
    }
    build_file_menu();
    QMenu* menu = open_file_menu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    actions[4]->setEnabled(false);  // "Save as...": greyed from its sharp picture too
    // The items' icons hold both pictures: asked at twice the density, the sharp one answers.
    for (QAction* action : actions)
        EXPECT_TRUE(action->isSeparator() || action->icon().pixmap(QSize(16, 16), 2.0).size() == QSize(32, 32))
            << action->text().toStdString();
    // Drawn at twice the density (as at QT_SCALE_FACTOR=2), each opaque pixel is the sharp picture's.
    QImage shot(menu->size() * 2, QImage::Format_ARGB32_Premultiplied);
    shot.setDevicePixelRatio(2);
    menu->render(&shot);
    shot = shot.convertToFormat(QImage::Format_RGB32);
    for (int index : {6, 4}) {
        const QRect item = menu->actionGeometry(actions[index]);
        const MenuPoint at = menu_image_position(item.height());
        const NativeImage* sharp = image_handle(index == 6 ? 16 : 15)->denser.at(0).get();
        std::unique_ptr<NativeImage> drawn(image_menu_copy(sharp, index == 4));
        const QImage picture = image_to_qimage(sharp), expected = image_to_qimage(drawn.get());
        int checked = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                if (qAlpha(picture.pixel(x, y)) < 255) continue;
                ++checked;
                ASSERT_EQ(shot.pixel(2 * (item.left() + at.x) + x, 2 * (item.top() + at.y) + y),
                          expected.pixel(x, y) | 0xFF000000u)
                    << index << ": " << x << "," << y;
            }
        EXPECT_GT(checked, 300) << index;
    }
}

TEST_F(MenuTest, LabelsAndShortcutTextsSitInTheTextRectangle) {
    build_file_menu();
    QMenu* menu = open_file_menu();
    ASSERT_NE(menu, nullptr);
    const QImage shot = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb menu_colour = menu->palette().color(QPalette::Active, QPalette::Window).rgb();
    // Columns of an item that hold ink (anything not the menu colour), image area excluded.
    auto inked = [&](const QRect& item, int from, int to) {
        int first = -1, last = -1;
        for (int x = from; x <= to; ++x)
            for (int y = item.top(); y <= item.bottom(); ++y)
                if (shot.pixel(item.left() + x, y) != menu_colour) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        return std::make_pair(first, last);
    };
    const QRect item = menu->actionGeometry(menu->actions()[0]);
    const auto [first, last] = inked(item, 18, item.width() - 1);
    // The label starts at 28 (give or take the glyph's side bearing) and the right-aligned
    // shortcut text ends by w - 8.
    EXPECT_GE(first, 28);
    EXPECT_LE(first, 31);
    EXPECT_LE(last, item.width() - 9);
    EXPECT_GE(last, item.width() - 12);
    // "Save as..." has no shortcut: nothing drawn near the right edge.
    const QRect save_as = menu->actionGeometry(menu->actions()[4]);
    EXPECT_LT(inked(save_as, 18, save_as.width() - 1).second, save_as.width() - 30);
}

TEST_F(MenuTest, AnItemWithoutImageOrWithAFreedOneDrawsOnlyItsTextAtTheSamePlace) {
    ASSERT_NE(image_menu_create(1, window_handle(0)), 0);
    menu_title(u"File");
    menu_item(2, u"New", image_handle(12));
    menu_item(3, u"New", nullptr);
    QMenu* menu = open_file_menu();
    ASSERT_NE(menu, nullptr);
    const QRgb menu_colour = menu->palette().color(QPalette::Active, QPalette::Window).rgb();
    const QRect with = menu->actionGeometry(menu->actions()[0]);
    const QRect without = menu->actionGeometry(menu->actions()[1]);
    auto image_ink = [&](const QRect& item) {
        const QImage shot = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int ink = 0;
        for (int y = 0; y < item.height(); ++y)
            for (int x = 0; x < 28; ++x) ink += shot.pixel(item.left() + x, item.top() + y) != menu_colour;
        return ink;
    };
    EXPECT_EQ(image_ink(without), 0);
    EXPECT_GT(image_ink(with), 0);
    // The labels are the same pixels in both items.
    const QImage shot = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < with.height(); ++y)
        for (int x = 28; x < with.width(); ++x)
            ASSERT_EQ(shot.pixel(with.left() + x, with.top() + y), shot.pixel(without.left() + x, without.top() + y))
                << x << "," << y;
    // Once its image is freed the item draws none, even when images made right after are likely
    // to take the freed one's memory.
    EXPECT_EQ(image_free(12), 1);
    std::vector<std::unique_ptr<NativeImage>> dark;
    for (int i = 0; i < 32; ++i) {
        dark.emplace_back(image_bitmap_create(16, 16, 32));
        for (std::size_t b = 0; b < dark.back()->bits.size(); ++b) dark.back()->bits[b] = b % 4 == 3 ? 255 : 40;
    }
    EXPECT_EQ(image_ink(with), 0);
}

TEST_F(MenuTest, AMenuWithoutWindowBuildsAndChoosingFromItDoesNothing) {
    const ObjectNumber id = image_menu_create(ANY_NUMBER, nullptr);
    ASSERT_NE(id, 0);
    // Without a window the title itself is one of the image menu's items.
    EXPECT_EQ(menu_title(u"Loose"), 1);
    EXPECT_EQ(menu_item(8, u"Item\tCtrl+I", image_handle(12)), 1);
    auto* bar = static_cast<QMenuBar*>(menu_lookup(id)->menu);
    ASSERT_EQ(bar->actions().size(), 1);
    QMenu* dropdown = bar->actions().first()->menu();
    ASSERT_NE(dropdown, nullptr);
    dropdown->actions().first()->trigger();
    EXPECT_EQ(event_wait(0), 0);
    EXPECT_EQ(menu_free(id), 1);
}

TEST_F(MenuTest, FreeingTheMenuOrClosingTheWindowReleasesItsRecords) {
    build_file_menu();
    ASSERT_NE(menu_lookup(1), nullptr);
    EXPECT_EQ(menu_free(1), 1);
    EXPECT_EQ(menu_lookup(1), nullptr);
    EXPECT_EQ(window_menu_bar(window_handle(0)), nullptr);
    EXPECT_EQ(menu_free(1), 0);

    // Another menu on the window, then the window closes: its bar goes, and the records with it.
    // (A numbered menu, since a released dynamic identifier may not be looked up again.)
    const ObjectNumber id = 9;
    ASSERT_NE(image_menu_create(id, window_handle(0)), 0);
    menu_title(u"File");
    menu_item(2, u"New\tCtrl+N", image_handle(12));
    ASSERT_NE(menu_lookup(id), nullptr);
    window_close(0);
    EXPECT_EQ(menu_lookup(id), nullptr);
    // Building on a released menu does nothing rather than touch freed records.
    EXPECT_EQ(menu_item(3, u"Open", nullptr), 0);
    EXPECT_EQ(menu_separator(), 0);
}

TEST_F(MenuTest, MenuEndFreesEveryMenu) {
    QPointer<QMenuBar> bars[4];
    for (int i = 0; i < 3; ++i) {
        const ObjectNumber id = image_menu_create(ANY_NUMBER, nullptr);
        ASSERT_NE(id, 0);
        menu_title(u"Loose");
        menu_item(2, u"New", image_handle(12));
        bars[i] = static_cast<QMenuBar*>(menu_lookup(id)->menu);
    }
    build_file_menu();
    bars[3] = window_menu_bar(window_handle(0));
    menu_end();
    for (const QPointer<QMenuBar>& bar : bars) EXPECT_TRUE(bar.isNull());
    EXPECT_EQ(window_menu_bar(window_handle(0)), nullptr);
    menu_start();
}

TEST_F(MenuTest, ExplicitNumbersReturnTheBarAndReCreatingReplaces) {
    const ObjectNumber bar = image_menu_create(1, window_handle(0));
    ASSERT_NE(bar, 0);
    EXPECT_EQ(reinterpret_cast<void*>(bar), menu_lookup(1)->menu);
    menu_title(u"File");
    menu_item(2, u"New", nullptr);
    const ObjectNumber again = image_menu_create(1, window_handle(0));
    ASSERT_NE(again, 0);
    menu_title(u"Edit");
    // The new bar replaced the old one on the window.
    QMenuBar* shown = window_menu_bar(window_handle(0));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(again), static_cast<void*>(shown));
    ASSERT_EQ(shown->actions().size(), 1);
    EXPECT_EQ(shown->actions().first()->text(), "Edit");
}

TEST_F(MenuTest, PlainMenusKeepTheirTextsWhole) {
    ASSERT_NE(menu_create(1, window_handle(0)), 0);
    EXPECT_EQ(menu_lookup(1)->is_image_menu, 0);
    EXPECT_EQ(menu_lookup(1)->item_heap, nullptr);
    menu_title(u"File");
    menu_item(7, u"Quit\tCtrl+Q", nullptr);
    menu_separator();
    QMenu* menu = file_menu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "Quit\tCtrl+Q");
    EXPECT_TRUE(menu->actions()[0]->shortcut().isEmpty());
    while (event_wait(0)) {}
    menu->actions()[0]->trigger();
    EXPECT_EQ(event_wait(0), EVENT_MENU);
    EXPECT_EQ(event_object(), 7);
}

TEST_F(MenuTest, WindowWithTheMenuOpenAndItsGadgets) {
    // The application's layout in small: labels and fields in its fonts, the menu open below "File".
    const ObjectNumber label_font = font_load(ANY_NUMBER, u"Arial", 10, FONT_BOLD | FONT_HIGH_QUALITY);
    const ObjectNumber field_font = font_load(ANY_NUMBER, u"Arial", 10, FONT_HIGH_QUALITY);
    const ObjectNumber label = text_gadget_create(ANY_NUMBER, 10, 10, 200, 22, u"Extension name");
    string_gadget_create(7, 10, 35, 200, 22, u"demo");
    editor_gadget_create(9, 10, 65, 200, 80);
    button_gadget_create(20, 220, 35, 100, 24, u"Button");
    gadget_set_font(label, font_handle(label_font));
    gadget_set_font(7, font_handle(field_font));
    build_file_menu();
    QWidget* window = window_widget(window_handle(0));
    QMenuBar* bar = window_menu_bar(window_handle(0));
    ASSERT_NE(bar, nullptr);
    QApplication::processEvents();
    // A click on the title opens the drop-down right below it.
    const QRect title = bar->actionGeometry(bar->actions().first());
    QTest::mouseClick(bar, Qt::LeftButton, {}, title.center());
    QMenu* menu = file_menu();
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 1000));
    menu->setActiveAction(menu->actions()[2]);
    QApplication::processEvents();
    const QPoint menu_at = window->mapFromGlobal(menu->pos());
    EXPECT_EQ(menu_at.x(), bar->mapTo(window, title.bottomLeft()).x());
    EXPECT_EQ(menu_at.y(), bar->mapTo(window, title.bottomLeft()).y() + 1);
    // The bar lies above the client area: the gadgets' client coordinates start below it.
    EXPECT_GE(window_client_widget(window_handle(0))->mapTo(window, QPoint(0, 0)).y(), bar->height());

    QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    {
        QPainter painter(&shot);
        painter.drawPixmap(menu_at, menu->grab());
    }
    if (const char* folder = std::getenv("QEM_SCREENSHOT_DIR")) shot.save(QString(folder) + "/window_menu_open.png");
    // The highlighted "Open..." item shows in the composed picture where the drop-down lies.
    const QRect open = menu->actionGeometry(menu->actions()[2]).translated(menu_at);
    EXPECT_EQ(shot.pixel(open.right() - 2, open.top() + 1), menu->palette().color(QPalette::Highlight).rgb());
    menu->hide();
    QTest::keyClick(bar, Qt::Key_Escape);
    font_free(label_font);
    font_free(field_font);
}

// What the window's hook saw of WM_INITMENUPOPUP: the drop-down's place on the bar.
std::vector<std::intptr_t> opened_places;
std::intptr_t note_opening(NativeHandle, unsigned message, std::uintptr_t, std::intptr_t lparam) {
    if (message == WM_INITMENUPOPUP) opened_places.push_back(lparam);
    return CALLBACK_CONTINUE;
}

TEST_F(MenuTest, ADropDownAnnouncesItsOpeningAndGreyedItemsCannotBeChosen) {
    build_file_menu();
    menu_title(u"Edit");
    menu_item(20, u"Undo\tCtrl+Z", nullptr);
    opened_places.clear();
    window_set_callback(0, note_opening);
    QMenu* edit = window_menu_bar(window_handle(0))->actions()[1]->menu();
    edit->popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(edit));
    EXPECT_EQ(opened_places, std::vector<std::intptr_t>{1});
    edit->hide();
    EXPECT_EQ(menu_item_disable(1, 20, 1), 1);
    EXPECT_FALSE(edit->actions()[0]->isEnabled());
    EXPECT_TRUE(file_menu()->actions()[0]->isEnabled());
    while (event_wait(0)) {}
    edit->actions()[0]->trigger();
    for (int code; (code = event_wait(0)) != 0;) EXPECT_NE(code, EVENT_MENU);
    EXPECT_EQ(menu_item_disable(1, 20, 0), 1);
    EXPECT_TRUE(edit->actions()[0]->isEnabled());
    EXPECT_EQ(menu_item_disable(77, 20, 1), 0);
    window_set_callback(0, nullptr);
}

}  // namespace
