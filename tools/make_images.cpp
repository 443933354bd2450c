// Draws the menu images and the window icon of resources/ (16 x 16 and 32 x 32 RGBA PNG, each with
// a <name>@2x.png twice its size, drawn from the same shapes, for screens at 200 %), and the
// program's icon for the desktop's icon theme in data/icons/ (the other sizes, and an SVG).
// Build and run by hand from the repository root:
//   g++ -std=c++20 -fPIC tools/make_images.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/make_images
//   QT_QPA_PLATFORM=offscreen /tmp/make_images resources data/icons [preview-folder]
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

QImage draw(int size, const std::function<void(QPainter&)>& paint) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paint(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QPen pen(const QColor& colour, qreal width = 1.0) {
    QPen result(colour, width);
    result.setJoinStyle(Qt::MiterJoin);
    return result;
}

// A blank white page with its top-right corner folded over.
void paint_new(QPainter& p) {
    QPainterPath page;
    page.moveTo(2.5, 0.5);
    page.lineTo(9.5, 0.5);
    page.lineTo(13.5, 4.5);
    page.lineTo(13.5, 15.5);
    page.lineTo(2.5, 15.5);
    page.closeSubpath();
    QLinearGradient paper(2, 0, 14, 16);
    paper.setColorAt(0, QColor(255, 255, 255));
    paper.setColorAt(1, QColor(232, 236, 242));
    p.setPen(pen(QColor(110, 118, 130)));
    p.setBrush(paper);
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(9.5, 0.5);
    fold.lineTo(9.5, 4.5);
    fold.lineTo(13.5, 4.5);
    fold.closeSubpath();
    p.setBrush(QColor(214, 220, 228));
    p.drawPath(fold);
}

// An open yellow folder: the back with its tab, and the front flap tilted open.
void paint_open(QPainter& p) {
    QPainterPath back;
    back.moveTo(0.5, 2.5);
    back.lineTo(5.5, 2.5);
    back.lineTo(7.0, 4.0);
    back.lineTo(13.5, 4.0);
    back.lineTo(13.5, 13.5);
    back.lineTo(0.5, 13.5);
    back.closeSubpath();
    QLinearGradient back_fill(0, 2, 0, 14);
    back_fill.setColorAt(0, QColor(232, 178, 48));
    back_fill.setColorAt(1, QColor(196, 138, 20));
    p.setPen(pen(QColor(150, 100, 10)));
    p.setBrush(back_fill);
    p.drawPath(back);
    // A sheet of paper peeking out.
    p.setPen(pen(QColor(170, 170, 170)));
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(QRectF(2.5, 5.5, 9, 5));
    QPainterPath front;
    front.moveTo(3.0, 7.5);
    front.lineTo(15.5, 7.5);
    front.lineTo(12.5, 13.5);
    front.lineTo(0.5, 13.5);
    front.closeSubpath();
    QLinearGradient front_fill(0, 7, 0, 14);
    front_fill.setColorAt(0, QColor(255, 226, 110));
    front_fill.setColorAt(1, QColor(246, 196, 56));
    p.setPen(pen(QColor(160, 110, 10)));
    p.setBrush(front_fill);
    p.drawPath(front);
}

// A floppy disk in the square (x, y, size), body colour given.
void paint_floppy(QPainter& p, qreal x, qreal y, qreal size, const QColor& body, const QColor& edge) {
    const qreal s = size / 14.0;  // drawn on a 14-unit grid
    auto at = [&](qreal u, qreal v) { return QPointF(x + u * s, y + v * s); };
    QPainterPath disk;
    disk.moveTo(at(0.5, 0.5));
    disk.lineTo(at(11.5, 0.5));
    disk.lineTo(at(13.5, 2.5));
    disk.lineTo(at(13.5, 13.5));
    disk.lineTo(at(0.5, 13.5));
    disk.closeSubpath();
    QLinearGradient fill(at(0, 0), at(14, 14));
    fill.setColorAt(0, body.lighter(125));
    fill.setColorAt(1, body);
    p.setPen(pen(edge));
    p.setBrush(fill);
    p.drawPath(disk);
    // Metal shutter at the top with its window.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(196, 202, 210));
    p.drawRect(QRectF(at(3.0, 1.0), at(10.5, 5.0)));
    p.setBrush(body.darker(130));
    p.drawRect(QRectF(at(7.5, 1.8), at(9.5, 4.3)));
    // The light label at the bottom.
    p.setBrush(QColor(240, 242, 236));
    p.drawRect(QRectF(at(2.5, 7.5), at(11.5, 13.0)));
    p.setPen(pen(QColor(150, 160, 175), s));
    p.drawLine(at(3.8, 9.5), at(10.2, 9.5));
    p.drawLine(at(3.8, 11.3), at(10.2, 11.3));
}

void paint_save(QPainter& p) { paint_floppy(p, 1, 1, 14, QColor(64, 70, 80), QColor(30, 33, 38)); }

// Two floppy disks, one behind the other.
void paint_save_as(QPainter& p) {
    paint_floppy(p, 5, 0, 11, QColor(108, 116, 128), QColor(62, 68, 78));
    paint_floppy(p, 0, 5, 11, QColor(64, 70, 80), QColor(30, 33, 38));
}

// A red round button with a white diagonal cross.
void paint_exit(QPainter& p) {
    QRadialGradient fill(QPointF(6.5, 5.5), 9.0);
    fill.setColorAt(0, QColor(250, 110, 100));
    fill.setColorAt(1, QColor(190, 24, 20));
    p.setPen(pen(QColor(140, 16, 14)));
    p.setBrush(fill);
    p.drawEllipse(QPointF(8, 8), 7.3, 7.3);
    QPen cross(QColor(255, 255, 255), 2.0, Qt::SolidLine, Qt::RoundCap);
    p.setPen(cross);
    p.drawLine(QPointF(5.3, 5.3), QPointF(10.7, 10.7));
    p.drawLine(QPointF(10.7, 5.3), QPointF(5.3, 10.7));
}

// The program's icon: QEX in white capitals on a grey-green band, drawn on a 32-unit grid at any
// size. Outline and band edges keep to whole pixels, so every size is as crisp as the 32-pixel one.
struct IconLayout {
    qreal scale;
    qreal outline;  // pen width in pixels
    QRectF band;    // the band's outline path (pen centred on it)
    QRectF text_box;
    int text_pixels;
};

IconLayout icon_layout(int size) {
    IconLayout l;
    l.scale = size / 32.0;
    l.outline = std::max<qreal>(1, std::round(l.scale));
    const qreal top = std::round(6 * l.scale), bottom = std::round(26 * l.scale);
    l.band = QRectF(l.outline / 2, top + l.outline / 2, size - l.outline, bottom - top - l.outline);
    l.text_box = QRectF(0, l.band.top(), size, l.band.height());
    l.text_pixels = int(std::lround(14 * l.scale));
    return l;
}

QLinearGradient icon_band_fill(const IconLayout& l) {
    QLinearGradient band(0, 6 * l.scale, 0, 26 * l.scale);
    band.setColorAt(0, QColor(128, 152, 136));
    band.setColorAt(1, QColor(88, 112, 96));
    return band;
}

const QColor ICON_EDGE(62, 80, 68);

QFont icon_font(int pixels) {
    QFont font("DejaVu Sans Condensed");
    font.setBold(true);
    font.setPixelSize(pixels);
    font.setWeight(QFont::Black);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void paint_icon_at(QPainter& p, int size) {
    const IconLayout l = icon_layout(size);
    p.setPen(pen(ICON_EDGE, l.outline));
    p.setBrush(icon_band_fill(l));
    p.drawRoundedRect(l.band, 3 * l.scale, 3 * l.scale);
    p.setFont(icon_font(l.text_pixels));
    p.setPen(QColor(255, 255, 255));
    p.drawText(l.text_box, Qt::AlignCenter, "QEX");
}

void paint_icon(QPainter& p) { paint_icon_at(p, 32); }

QString svg_number(qreal value) { return QString::number(std::round(value * 1000) / 1000, 'g', 8); }

// The letters as outlines, placed as drawText centres them, so the SVG needs no font.
QString svg_path_data(const QPainterPath& path) {
    QString d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement) {
            d += "M" + svg_number(e.x) + " " + svg_number(e.y);
        } else if (e.type == QPainterPath::LineToElement) {
            d += "L" + svg_number(e.x) + " " + svg_number(e.y);
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            d += "C" + svg_number(e.x) + " " + svg_number(e.y) + " " + svg_number(c2.x) + " " + svg_number(c2.y) + " " +
                 svg_number(end.x) + " " + svg_number(end.y);
            i += 2;
        }
    }
    return d + "Z";
}

// The scalable icon: the 32-pixel design on a 32-unit canvas.
QString icon_svg() {
    const IconLayout l = icon_layout(32);
    const QFont font = icon_font(l.text_pixels);
    const QFontMetricsF metrics(font);
    const qreal x = l.text_box.left() + (l.text_box.width() - metrics.horizontalAdvance("QEX")) / 2;
    const qreal baseline = l.text_box.top() + (l.text_box.height() - metrics.height()) / 2 + metrics.ascent();
    QPainterPath letters;
    letters.addText(QPointF(x, baseline), font, "QEX");
    const QRectF& b = l.band;
    QString svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<!-- Made by tools/make_images.cpp from the same drawing as the PNG sizes. -->\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\">\n";
    svg +=
        "  <defs>\n    <linearGradient id=\"band\" x1=\"0\" y1=\"6\" x2=\"0\" y2=\"26\" "
        "gradientUnits=\"userSpaceOnUse\">\n";
    svg += "      <stop offset=\"0\" stop-color=\"#809888\"/>\n      <stop offset=\"1\" stop-color=\"#587060\"/>\n";
    svg += "    </linearGradient>\n  </defs>\n";
    svg += "  <rect x=\"" + svg_number(b.x()) + "\" y=\"" + svg_number(b.y()) + "\" width=\"" + svg_number(b.width()) +
           "\" height=\"" + svg_number(b.height()) + "\" rx=\"3\" fill=\"url(#band)\" stroke=\"" + ICON_EDGE.name() +
           "\" stroke-width=\"1\"/>\n";
    svg += "  <path fill=\"#ffffff\" fill-rule=\"" +
           QString(letters.fillRule() == Qt::OddEvenFill ? "evenodd" : "nonzero") + "\" d=\"" + svg_path_data(letters) +
           "\"/>\n";
    svg += "</svg>\n";
    return svg;
}

// The sizes the desktop's icon theme asks for; 32 is resources/icon.png, the window icon.
constexpr int ICON_SIZES[] = {16, 24, 48, 64, 128, 256};

bool write_icons(const QString& folder, const QString& previews) {
    for (int size : ICON_SIZES) {
        const QString dir = QString("%1/hicolor/%2x%2/apps").arg(folder).arg(size);
        QDir().mkpath(dir);
        const QImage image = draw(size, [size](QPainter& p) { paint_icon_at(p, size); });
        if (!image.save(dir + "/quorval-extension-maker.png", "PNG")) return false;
        if (!previews.isEmpty()) image.save(QString("%1/icon-%2.png").arg(previews).arg(size), "PNG");
    }
    const QString dir = folder + "/hicolor/scalable/apps";
    QDir().mkpath(dir);
    QFile svg(dir + "/quorval-extension-maker.svg");
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return svg.write(icon_svg().toUtf8()) > 0;
}

// An 8x enlargement over a menu-coloured background, for looking at the result.
QImage preview(const QImage& image) {
    QImage out(image.width() * 8, image.height() * 8, QImage::Format_ARGB32);
    out.fill(QColor(240, 240, 240));
    QPainter p(&out);
    p.drawImage(out.rect(), image);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_images <resources folder> <icons folder> [preview folder]\n");
        return 2;
    }
    const QString folder = argv[1];
    const QString icons = argv[2];
    const QString previews = argc > 3 ? QString(argv[3]) : QString();
    struct Picture {
        const char* name;
        int size;
        void (*paint)(QPainter&);
        // Draws the picture at `scale` times its size; null: the same shapes scaled.
        void (*paint_scaled)(QPainter&, int scale);
    };
    const Picture pictures[] = {
        {"new", 16, paint_new, nullptr},
        {"open", 16, paint_open, nullptr},
        {"save", 16, paint_save, nullptr},
        {"saveas", 16, paint_save_as, nullptr},
        {"exit", 16, paint_exit, nullptr},
        // The icon keeps its edges on whole pixels at every size (see icon_layout).
        {"icon", 32, paint_icon, [](QPainter& p, int scale) { paint_icon_at(p, 32 * scale); }},
    };
    QImage sheet(6 * 264, 264, QImage::Format_ARGB32);
    sheet.fill(QColor(255, 255, 255));
    QPainter sheet_painter(&sheet);
    int column = 0;
    for (const Picture& picture : pictures) {
        const QImage image = draw(picture.size, picture.paint);
        sheet_painter.drawImage(column++ * 264, 0, preview(image));
        const QString path = folder + "/" + picture.name + ".png";
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        if (!previews.isEmpty()) preview(image).save(previews + "/" + picture.name + ".png", "PNG");
        const QImage twice = draw(picture.size * 2, [&picture](QPainter& p) {
            if (picture.paint_scaled) {
                picture.paint_scaled(p, 2);
            } else {
                p.scale(2, 2);
                picture.paint(p);
            }
        });
        const QString twice_path = folder + "/" + picture.name + "@2x.png";
        if (!twice.save(twice_path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(twice_path));
            return 1;
        }
    }
    sheet_painter.end();
    if (!previews.isEmpty()) sheet.save(previews + "/all.png", "PNG");
    if (!write_icons(icons, previews)) {
        std::fprintf(stderr, "cannot write the icons into %s\n", qPrintable(icons));
        return 1;
    }
    return 0;
}
