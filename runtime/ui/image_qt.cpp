/** @file image_qt.cpp
 * Qt adapter of the images: Qt images made from our BGR(A) pixel buffers, and the three ways of
 * drawing a menu image (alpha-blended bitmap, opaque bitmap, icon), each in colour or greyed.
 * [X] QImage, QPixmap and QIcon copies; menu images drawn with QPainter
 * [ ] produces no messages or events; AlphaBlend and the DIB sections are QPainter's composition */
#include "runtime/ui/image_qt.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

#include <cstring>
#include <memory>

namespace {

// A Qt image over a 32-bit buffer laid out as ours (B, G, R, A in memory is Qt's ARGB32 on a
// little-endian machine), copied row by row into top-down order.
QImage copy_rows(const NativeImage* image, QImage::Format format) {
    QImage out(image->width, image->height, format);
    if (out.isNull()) return out;
    const int row_bytes = image->width * (image->depth / 8);
    for (int y = 0; y < image->height; ++y) std::memcpy(out.scanLine(y), image->pixel(0, y), std::size_t(row_bytes));
    return out;
}

}  // namespace

QImage image_to_qimage(const NativeImage* image) {
    if (!image || image->width <= 0 || image->height <= 0) return {};
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "pixel buffers are BGRA in memory");
    return copy_rows(image, image->depth == 32 ? QImage::Format_ARGB32 : QImage::Format_BGR888);
}

QPixmap image_to_qpixmap(const NativeImage* image) { return QPixmap::fromImage(image_to_qimage(image)); }

QIcon image_to_qicon(const NativeImage* image) {
    const QPixmap pixmap = image_to_qpixmap(image);
    if (pixmap.isNull()) return QIcon();
    QIcon icon(pixmap);
    // Qt picks the picture of the size a dense screen asks for.
    for (const auto& picture : image->denser) icon.addPixmap(image_to_qpixmap(picture.get()));
    return icon;
}

qreal image_painter_density(const QPainter& painter) {
    // The device transform holds the screen's scale (and any painter's zoom), also where a
    // widget's painting is redirected into an image.
    const QTransform t = painter.deviceTransform();
    return qMax(1.0, qMax(qAbs(t.m11()), qAbs(t.m22())));
}

void image_draw_menu_image(QPainter& painter, const NativeImage* image, int x, int y, bool greyed) {
    if (!image) return;
    // On a dense screen the sharper picture fills the same 16 x 16 pixels, one of its pixels to
    // each device pixel.
    const qreal ratio = image_painter_density(painter);
    int scale = 1;
    const NativeImage* picture = image_picture_for(image, ratio, &scale);
    const QRect target(x, y, 16, 16);
    if (image_is_alpha_capable(picture)) {
        std::unique_ptr<NativeImage> copy(image_menu_copy(picture, greyed));
        if (!copy) return;
        // The copy is premultiplied, as alpha blending with per-pixel alpha takes it.
        const QImage ready = copy_rows(copy.get(), QImage::Format_ARGB32_Premultiplied);
        const QRect source(0, 0, qMin(16 * scale, ready.width()), qMin(16 * scale, ready.height()));
        painter.drawImage(QRect(x, y, source.width() / scale, source.height() / scale), ready, source);
        return;
    }
    if (picture->type == IMAGE_TYPE_BITMAP) {
        const QImage opaque = image_to_qimage(picture).convertToFormat(QImage::Format_RGB32);
        if (!greyed) {
            const QRect source(0, 0, qMin(16 * scale, opaque.width()), qMin(16 * scale, opaque.height()));
            painter.drawImage(QRect(x, y, source.width() / scale, source.height() / scale), opaque, source);
            return;
        }
        // The disabled state of a bitmap: its dark pixels embossed, a light copy one pixel down
        // and right under a shadow-coloured one, at the bitmap's own size.
        const QPalette palette = QApplication::palette();
        QImage mask(opaque.size(), QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        for (int row = 0; row < opaque.height(); ++row)
            for (int column = 0; column < opaque.width(); ++column)
                if (qGray(opaque.pixel(column, row)) < 128) mask.setPixel(column, row, 0xFF000000u);
        mask.setDevicePixelRatio(scale);
        auto tinted = [&mask](const QColor& colour) {
            QImage t = mask;
            QPainter p(&t);
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(t.rect(), colour);
            return t;
        };
        painter.drawImage(QPoint(x + 1, y + 1), tinted(palette.color(QPalette::Light)));
        painter.drawImage(QPoint(x, y), tinted(palette.color(QPalette::Dark)));
        return;
    }
    // Icons are scaled to 16 x 16 (their sharper picture to as many device pixels).
    QImage icon = image_to_qimage(picture);
    if (greyed) {
        for (int row = 0; row < picture->height; ++row) {
            for (int column = 0; column < picture->width; ++column) {
                if (picture->mask.size() == std::size_t(picture->width) * picture->height &&
                    picture->mask[std::size_t(row) * picture->width + column])
                    continue;
                const QRgb p = icon.pixel(column, row);
                const int g = image_grey_level(qBlue(p), qGreen(p), qRed(p));
                icon.setPixel(column, row, qRgba(g, g, g, qAlpha(p)));
            }
        }
    }
    const int side = 16 * scale;
    painter.drawImage(target, icon.width() == side && icon.height() == side
                                  ? icon
                                  : icon.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}
