// Draws the menu images and the window icon of resources/ (16 x 16 and 32 x 32 RGBA PNG).
// Build and run by hand from the repository root:
//   g++ -std=c++20 -fPIC tools/make_images.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/make_images
//   QT_QPA_PLATFORM=offscreen /tmp/make_images resources [preview-folder]
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

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
    const qreal s = size / 14.0;   // drawn on a 14-unit grid
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

// The window icon: QEX in white capitals on a grey-green band.
void paint_icon(QPainter& p) {
    QLinearGradient band(0, 6, 0, 26);
    band.setColorAt(0, QColor(128, 152, 136));
    band.setColorAt(1, QColor(88, 112, 96));
    p.setPen(pen(QColor(62, 80, 68)));
    p.setBrush(band);
    p.drawRoundedRect(QRectF(0.5, 6.5, 31, 19), 3, 3);
    QFont font("DejaVu Sans Condensed");
    font.setBold(true);
    font.setPixelSize(14);
    font.setWeight(QFont::Black);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    font.setHintingPreference(QFont::PreferFullHinting);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRectF(0, 6.5, 32, 19), Qt::AlignCenter, "QEX");
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
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_images <resources folder> [preview folder]\n");
        return 2;
    }
    const QString folder = argv[1];
    const QString previews = argc > 2 ? QString(argv[2]) : QString();
    struct Picture {
        const char* name;
        int size;
        void (*paint)(QPainter&);
    };
    const Picture pictures[] = {{"new", 16, paint_new},         {"open", 16, paint_open},
                                {"save", 16, paint_save},       {"saveas", 16, paint_save_as},
                                {"exit", 16, paint_exit},       {"icon", 32, paint_icon}};
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
    }
    sheet_painter.end();
    if (!previews.isEmpty()) sheet.save(previews + "/all.png", "PNG");
    return 0;
}
