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
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

void image_draw_menu_image(QPainter& painter, const NativeImage* image, int x, int y, bool greyed) {
    if (!image) return;
    if (image_is_alpha_capable(image)) {
        std::unique_ptr<NativeImage> copy(image_menu_copy(image, greyed));
        if (!copy) return;
        // The copy is premultiplied, as alpha blending with per-pixel alpha takes it.
        const QImage ready = copy_rows(copy.get(), QImage::Format_ARGB32_Premultiplied);
        const QRect source(0, 0, qMin(16, ready.width()), qMin(16, ready.height()));
        painter.drawImage(QPoint(x, y), ready, source);
        return;
    }
    if (image->type == IMAGE_TYPE_BITMAP) {
        const QImage opaque = image_to_qimage(image).convertToFormat(QImage::Format_RGB32);
        if (!greyed) {
            painter.drawImage(QPoint(x, y), opaque, QRect(0, 0, qMin(16, opaque.width()), qMin(16, opaque.height())));
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
    // Icons are scaled to 16 x 16.
    QImage icon = image_to_qimage(image);
    if (greyed) {
        for (int row = 0; row < image->height; ++row) {
            for (int column = 0; column < image->width; ++column) {
                if (image->mask.size() == std::size_t(image->width) * image->height &&
                    image->mask[std::size_t(row) * image->width + column])
                    continue;
                const QRgb p = icon.pixel(column, row);
                const int g = image_grey_level(qBlue(p), qGreen(p), qRed(p));
                icon.setPixel(column, row, qRgba(g, g, g, qAlpha(p)));
            }
        }
    }
    painter.drawImage(QRect(x, y, 16, 16), icon.width() == 16 && icon.height() == 16
                                               ? icon
                                               : icon.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}
