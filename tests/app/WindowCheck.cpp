// Helper of the real-window test:
//   window_check picture OUT.png               writes the picture the test opens
//   window_check verify PICTURE SHOT X Y       checks the right pane in a screenshot
//                                              of the window whose client area is at X, Y

#include "analysis/Analysis.h"

#include <QCoreApplication>
#include <QImage>

#include <cstdio>
#include <cstring>

namespace {

constexpr int ClientWidth = 688;

QImage Picture()
{
    QImage image(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool hole = (x / 9 + y / 7) % 5 == 0 || (x * 13 + y * 7) % 17 == 0;
            const int blue = hole ? 0 : 30 + (x / 20 * 37 + y / 15 * 23) % 220;
            image.setPixel(x, y, qRgb(x & 255, y & 255, blue));
        }
    return image;
}

int Verify(const QImage& picture, const QImage& shot, int left, int top)
{
    std::memset(InputRaster, 0, sizeof InputRaster);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            InputRaster[y][x] = qBlue(picture.pixel(x, y));
    RunAnalysis();
    const int paneLeft = left + ClientWidth - picture.width();
    int wrong = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb seen = shot.pixel(paneLeft + x, top + y);
            const int expected = ResultRaster[y][x];
            if (qRed(seen) != expected || qGreen(seen) != expected || qBlue(seen) != expected) {
                if (wrong < 5)
                    std::fprintf(stderr, "pixel %d,%d: expected grey %d, seen %d,%d,%d\n", x, y, expected,
                                 qRed(seen), qGreen(seen), qBlue(seen));
                ++wrong;
            }
        }
    std::printf("%d of %d pixels of the right pane differ from the analysis\n", wrong,
                picture.width() * picture.height());
    return wrong == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    // Qt finds its image plugins through an application object; no window is shown.
    QCoreApplication application(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "picture") == 0)
        return Picture().save(argv[2], "png") ? 0 : 1;
    if (argc == 6 && std::strcmp(argv[1], "verify") == 0) {
        const QImage shot(argv[3]);
        if (shot.isNull()) {
            std::fprintf(stderr, "cannot read the screenshot %s\n", argv[3]);
            return 1;
        }
        return Verify(QImage(argv[2]), shot, std::atoi(argv[4]), std::atoi(argv[5]));
    }
    std::fprintf(stderr, "usage: window_check picture OUT | verify PICTURE SHOT X Y\n");
    return 2;
}
