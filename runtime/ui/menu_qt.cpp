/** @file menu_qt.cpp
 * Qt adapter of the menus: a QMenuBar per menu, QMenu drop-downs and QAction items. Image-menu
 * drop-downs are measured and drawn by ImageMenuStyle, a QProxyStyle applying our item rules.
 * [X] WM_COMMAND (high word 0, low word the item identifier) to the owner's window procedure when
 *     an item is chosen; WM_INITMENUPOPUP before a drop-down of the bar opens
 * [X] disabled items: greyed, and they cannot be chosen
 * [X] checked items: a check mark before the text
 * [ ] no shortcut is registered: "\tCtrl+N" is display text only
 * [ ] not emulated: converting items that others appended behind our back (WM_INITMENUPOPUP) and
 *     the explicit WM_MENUCHAR search; Qt's own mnemonic handling selects "&" items by their letter */
#include "runtime/ui/menu_qt.h"

#include "runtime/ui/event.h"
#include "runtime/ui/image_qt.h"
#include "runtime/ui/window_qt.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QtMath>

namespace {

const char* const ITEM_PROPERTY = "qz_item";
// The identifier an item's action sends.
const char* const IDENTIFIER_PROPERTY = "qz_identifier";

QString text_of(const char16_t* text) { return text ? QString::fromUtf16(text) : QString(); }

// The label part of an item text (before its first tab).
QString label_of(const char16_t* text) {
    const int tab = menu_tab_position(text);
    const QString all = text_of(text);
    return tab < 0 ? all : all.left(tab);
}

// The colours the item rules name, from the menu's palette.
QColor menu_colour(const QPalette& p) { return p.color(QPalette::Active, QPalette::Window); }
QColor shadow_colour(const QPalette& p) { return p.color(QPalette::Active, QPalette::Mid); }

class ImageMenuStyle : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        const auto* item_option = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const MenuItemRecord* item = item_option ? menu_item_of(item_option->styleObject) : nullptr;
        if (type != CT_MenuItem || !item) return QProxyStyle::sizeFromContents(type, option, size, widget);
        // The whole text, tab included, in the menu's font.
        const QFontMetrics metrics(widget ? widget->font() : QApplication::font("QMenu"));
        const int width = item->text ? metrics.horizontalAdvance(text_of(item->text)) : 0;
        const MenuSize measured = menu_measure_item(item->text, item->style, width, metrics.height());
        return {measured.width, measured.height};
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        switch (metric) {
        // A one-pixel frame and two pixels of margin put the first item at (3, 3), as in a
        // classic menu window.
        case PM_MenuPanelWidth:
            return 1;
        case PM_MenuHMargin:
        case PM_MenuVMargin:
            return 2;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_PanelMenu) {
            // One flat menu colour under the items, framed in the shadow colour.
            painter->fillRect(option->rect, menu_colour(option->palette));
            painter->setPen(shadow_colour(option->palette));
            painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_MenuEmptyArea) {
            painter->fillRect(option->rect, menu_colour(option->palette));
            return;
        }
        const auto* item_option = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const MenuItemRecord* item = item_option ? menu_item_of(item_option->styleObject) : nullptr;
        if (element != CE_MenuItem || !item) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        draw_item(*item_option, *item, painter, widget);
    }

private:
    // Drawn off-screen at the item's size and copied in one piece, so a highlight change does
    // not flicker.
    void draw_item(const QStyleOptionMenuItem& option, const MenuItemRecord& item, QPainter* target,
                   const QWidget* widget) const {
        const int w = option.rect.width();
        const int h = option.rect.height();
        if (w <= 0 || h <= 0) return;
        // As many pixels as the screen has, so that text and images stay sharp when it is scaled.
        const qreal ratio = image_painter_density(*target);
        QImage buffer(qCeil(w * ratio), qCeil(h * ratio), QImage::Format_ARGB32_Premultiplied);
        buffer.setDevicePixelRatio(ratio);
        QPainter p(&buffer);
        p.setFont(widget ? widget->font() : QApplication::font("QMenu"));
        const QPalette& palette = option.palette;
        p.fillRect(0, 0, w, h, menu_colour(palette));
        if (!item.text) {
            const MenuRect line = menu_separator_line(w, h);
            p.fillRect(line.left, line.top, line.width(), line.height(), shadow_colour(palette));
            p.end();
            target->drawImage(option.rect.topLeft(), buffer);
            return;
        }
        QColor text_colour = palette.color(QPalette::Active, QPalette::WindowText);
        if (option.state & State_Selected) {
            p.fillRect(0, 0, w, h, palette.color(QPalette::Active, QPalette::Highlight));
            text_colour = palette.color(QPalette::Active, QPalette::HighlightedText);
        }
        const MenuPoint at = menu_image_position(h);
        if (!(option.state & State_Enabled)) {
            image_draw_menu_image(p, item.image, at.x, at.y, true);
            text_colour = palette.color(QPalette::Disabled, QPalette::WindowText);
        } else {
            image_draw_menu_image(p, item.image, at.x, at.y, false);
        }
        const MenuRect text_rect = menu_text_rect(w, h);
        const QRect rect(text_rect.left, text_rect.top, text_rect.width(), text_rect.height());
        int flags = Qt::TextSingleLine | Qt::AlignVCenter;
        // The "&" underline shows only where the platform's keyboard cues ask for it.
        flags |=
            proxy()->styleHint(SH_UnderlineShortcut, &option, widget) ? Qt::TextShowMnemonic : Qt::TextHideMnemonic;
        p.setPen(text_colour);
        const QString all = text_of(item.text);
        const int tab = menu_tab_position(item.text);
        p.drawText(rect, flags | Qt::AlignLeft, tab < 0 ? all : all.left(tab));
        if (tab >= 0) p.drawText(rect, flags | Qt::AlignRight, all.mid(tab + 1));
        if (option.checkType != QStyleOptionMenuItem::NotCheckable && option.checked) {
            for (int i = 0; i < 7; ++i)
                p.fillRect(MENU_CHECK_FIRST_X + i, MENU_CHECK_TOPS[i], 1, MENU_CHECK_STROKE, Qt::black);
        }
        p.end();
        target->drawImage(option.rect.topLeft(), buffer);
    }
};

ImageMenuStyle* image_menu_style() {
    // Proxies the application style; lives as long as the program (menus keep a pointer to it).
    static ImageMenuStyle* style = new ImageMenuStyle;
    return style;
}

// A drop-down of an image menu: hands each item's record to the style with the option.
class ImageMenuPopup : public QMenu {
public:
    using QMenu::QMenu;

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override {
        QMenu::initStyleOption(option, action);
        if (menu_item_of(action)) option->styleObject = const_cast<QAction*>(action);
    }
};

void send_command(NativeHandle owner, ObjectNumber identifier) {
    if (owner) window_send_message(owner, WM_COMMAND, make_wparam(unsigned(identifier), 0), 0);
}

}  // namespace

void* menu_native_create_bar(ObjectNumber id) {
    auto* bar = new QMenuBar;
    // A bar destroyed with its window takes its records with it.
    QObject::connect(bar, &QObject::destroyed, [bar, id] { menu_bar_destroyed(bar, id); });
    return bar;
}

void menu_native_delete_bar(void* bar) { delete static_cast<QMenuBar*>(bar); }

void menu_native_forget_image(ImageHandle image) {
    if (!qApp || !image) return;
    // Every item record hangs on an action of a live drop-down, so the drop-downs find them all.
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* popup = dynamic_cast<ImageMenuPopup*>(widget);
        if (!popup) continue;
        for (QAction* action : popup->actions()) {
            MenuItemRecord* item = menu_item_of(action);
            if (item && item->image == image) {
                item->image = nullptr;
                action->setIcon(QIcon());
                popup->update();
            }
        }
    }
}

bool menu_native_is_bar(void* menu) { return qobject_cast<QMenuBar*>(static_cast<QWidget*>(menu)) != nullptr; }

void* menu_native_add_dropdown(void* parent, const char16_t* text, bool image_menu, MenuItemRecord* item,
                               NativeHandle owner) {
    auto* parent_widget = static_cast<QWidget*>(parent);
    if (!parent_widget) return nullptr;
    QMenu* dropdown =
        image_menu ? new ImageMenuPopup(text_of(text), parent_widget) : new QMenu(text_of(text), parent_widget);
    // The menu font is Qt's font for menus, left unset on the widget so that it follows the
    // system's settings when they change.
    if (image_menu) dropdown->setStyle(image_menu_style());
    if (auto* bar = qobject_cast<QMenuBar*>(parent_widget)) {
        const auto place = std::intptr_t(bar->actions().size());
        bar->addMenu(dropdown);
        // The owner may set its items' states before they show.
        if (owner)
            QObject::connect(dropdown, &QMenu::aboutToShow, dropdown, [owner, dropdown, place] {
                window_send_message(owner, WM_INITMENUPOPUP, reinterpret_cast<std::uintptr_t>(dropdown), place);
            });
    } else if (auto* menu = qobject_cast<QMenu*>(parent_widget)) {
        menu->addMenu(dropdown);
        if (item)
            dropdown->menuAction()->setProperty(ITEM_PROPERTY, QVariant::fromValue(reinterpret_cast<quintptr>(item)));
    }
    return dropdown;
}

void menu_native_add_item(void* dropdown, ObjectNumber identifier, const char16_t* text, MenuItemRecord* item,
                          NativeHandle owner) {
    auto* widget = static_cast<QWidget*>(dropdown);
    if (!widget) return;
    // An image menu's action carries only the label: its shortcut text is ours to draw, and Qt
    // would otherwise reserve room for it a second time.
    auto* action = new QAction(item ? label_of(text) : text_of(text), widget);
    if (item) action->setProperty(ITEM_PROPERTY, QVariant::fromValue(reinterpret_cast<quintptr>(item)));
    action->setProperty(IDENTIFIER_PROPERTY, QVariant::fromValue(qlonglong(identifier)));
    // The style draws the item from its record; the icon tells everyone else (and the tests) its
    // image at every density it has.
    if (item && item->image) action->setIcon(image_to_qicon(item->image));
    QObject::connect(action, &QAction::triggered, [owner, identifier] { send_command(owner, identifier); });
    widget->addAction(action);
}

void menu_native_add_separator(void* dropdown, MenuItemRecord* item) {
    auto* widget = static_cast<QWidget*>(dropdown);
    if (!widget) return;
    auto* action = new QAction(widget);
    action->setSeparator(true);
    if (item) action->setProperty(ITEM_PROPERTY, QVariant::fromValue(reinterpret_cast<quintptr>(item)));
    widget->addAction(action);
}

namespace {

// Every action of the bar's drop-downs (the bar's children, their actions theirs) with the identifier.
template <typename Change>
void change_items(void* bar, ObjectNumber identifier, Change change) {
    auto* menu_bar = static_cast<QMenuBar*>(bar);
    if (!menu_bar) return;
    for (QAction* action : menu_bar->findChildren<QAction*>()) {
        const QVariant id = action->property(IDENTIFIER_PROPERTY);
        if (id.isValid() && id.toLongLong() == identifier) change(action);
    }
}

}  // namespace

void menu_native_disable_item(void* bar, ObjectNumber identifier, bool disabled) {
    change_items(bar, identifier, [disabled](QAction* action) { action->setEnabled(!disabled); });
}

void menu_native_check_item(void* bar, ObjectNumber identifier, bool checked) {
    change_items(bar, identifier, [checked](QAction* action) {
        action->setCheckable(true);
        action->setChecked(checked);
    });
}

void menu_native_set_bar(NativeHandle owner, void* bar) {
    if (!owner) return;
    auto* menu_bar = static_cast<QMenuBar*>(bar);
    if (window_menu_bar(owner) != menu_bar) window_set_menu_bar(owner, menu_bar);
}

MenuItemRecord* menu_item_of(const QObject* action) {
    if (!action) return nullptr;
    return reinterpret_cast<MenuItemRecord*>(action->property(ITEM_PROPERTY).value<quintptr>());
}
