/** @file font_qt.cpp
 * Qt adapter of the fonts: QFont for a font request. A negative height is a character height in
 * pixels, so the font is sized in pixels; proof quality asks for anti-aliasing, default quality
 * leaves it to the system.
 * [X] fonts for gadgets and the code editor; the resolution of the primary screen
 * [ ] produces no messages or events; GDI's font mapper is fontconfig's matching */
#include "runtime/ui/font_internal.h"
#include "runtime/ui/font_qt.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QString>

int font_display_dpi() {
    if (!qGuiApp) return 0;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInchY()) : 0;
}

FontHandle font_native_create(const char16_t* name, const FontRequest& request) {
    auto* font = new QFont;
    if (name && *name) font->setFamily(QString::fromUtf16(name));
    // A height of 0 asks for the default size, as CreateFontW does.
    if (request.height != 0) font->setPixelSize(request.height < 0 ? -request.height : request.height);
    font->setWeight(request.weight >= 700 ? QFont::Bold : QFont::Normal);
    font->setItalic(request.italic);
    font->setUnderline(request.underline);
    font->setStrikeOut(request.strike_out);
    font->setStyleStrategy(request.quality == 2 ? QFont::PreferAntialias : QFont::PreferDefault);
    return font;
}

void font_native_delete(FontHandle font) { delete static_cast<QFont*>(font); }

const QFont* font_qfont(FontHandle font) { return static_cast<const QFont*>(font); }
