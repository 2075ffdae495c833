// mv-screenshot: saves a picture of an X window (or of the whole screen) as
// PNG, through the X server the program is started on. Used by
// scripts/screenshots.sh under Xvfb. Exits with 1 when the picture could not
// be taken or is all one colour (a window that never painted).
//
//   mv-screenshot FILE.png [WINDOW-ID]
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

namespace {

bool AllOneColour(const QImage& image) {
    if (image.isNull()) return true;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != first) return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: mv-screenshot FILE.png [WINDOW-ID]\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");  // a real X server, never offscreen
    QGuiApplication app(argc, argv);
    const WId window = argc == 3 ? static_cast<WId>(std::strtoull(argv[2], nullptr, 0)) : 0;
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(window).toImage();
    if (AllOneColour(image)) {
        std::fprintf(stderr, "mv-screenshot: %s would be empty or all one colour\n", argv[1]);
        return 1;
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "mv-screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %dx%d\n", argv[1], image.width(), image.height());
    return 0;
}
