/** @file x_screenshot.cpp
 * Saves a PNG of the X screen ($DISPLAY), or of one window given by its X id, or of a rectangle
 * of that window (x y width height in its own coordinates): the picture a person sees under Xvfb. */
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3 && argc != 7) {
        std::fprintf(stderr, "usage: %s <output.png> [<window id> [<x> <y> <width> <height>]]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 1;
    const WId window = argc >= 3 ? WId(std::strtoull(argv[2], nullptr, 0)) : 0;
    int rectangle[4] = {0, 0, -1, -1};
    for (int i = 0; argc == 7 && i < 4; ++i) rectangle[i] = std::atoi(argv[3 + i]);
    const QPixmap picture = screen->grabWindow(window, rectangle[0], rectangle[1], rectangle[2], rectangle[3]);
    return picture.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
