/** @file image_qt.h
 * Our bitmaps and icons as Qt images, and the drawing of a menu image in 16 by 16 pixels. */
#pragma once

#include "runtime/ui/image.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>

class QPainter;

// A deep copy: Format_ARGB32 (straight alpha) for 32-bit bitmaps and icons, Format_BGR888 for
// 24-bit bitmaps; a null image for null.
QImage image_to_qimage(const NativeImage* image);
QPixmap image_to_qpixmap(const NativeImage* image);
QIcon image_to_qicon(const NativeImage* image);

// Device pixels to one pixel of what the painter draws (at least 1): 2 on a screen at 200 %.
qreal image_painter_density(const QPainter& painter);

// Draws the image with its top-left corner at (x, y) in 16 by 16 pixels, in colour or greyed:
// alpha-capable bitmaps from their premultiplied or greyed copy (a larger image shows its
// top-left 16 x 16 pixels), other bitmaps opaque (greyed: embossed in the palette's light and
// dark colours), icons scaled to 16 x 16 (greyed: every opaque pixel replaced by its grey level).
void image_draw_menu_image(QPainter& painter, const NativeImage* image, int x, int y, bool greyed);
