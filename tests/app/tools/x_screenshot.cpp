/** @file x_screenshot.cpp
 * Saves a PNG of the X screen ($DISPLAY), or of one window given by its X id: the picture a
 * person sees under Xvfb. */
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <output.png> [<window id>]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 1;
    const WId window = argc == 3 ? WId(std::strtoull(argv[2], nullptr, 0)) : 0;
    return screen->grabWindow(window).save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
