// Helper of the real-window test:
//   window_check picture OUT.png               writes the picture the test opens
//   window_check verify PICTURE SHOT X Y       checks the right pane in a screenshot
//                                              of the window whose client area is at X, Y
//   window_check saved PICTURE SAVED           checks a result saved from the window

#include "app/Analysis.h"
#include "testing/rasters/GeneratedRasters.h"

#include <QCoreApplication>
#include <QImage>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int ClientWidth = 688;

// A rendered depth map with holes (8-bit grey in the blue bytes), with red and
// green that the analysis must not read.
QImage Picture()
{
    constexpr int Width = 200, Height = 150;
    const std::vector<std::int32_t> depth = DepthLikeRaster(Height, Width, 15, 11, 255);
    QImage image(Width, Height, QImage::Format_RGB32);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const int blue = depth[static_cast<std::size_t>(y) * Width + x];
            image.setPixel(x, y, qRgb(blue, blue, blue));
        }
    return image;
}

// Compares the analysis of the picture's blue bytes with a grey picture of the
// picture's size whose top-left pixel is at (left, top) of `seen`.
int Compare(const QImage& picture, const QImage& seen, int left, int top, const char* what)
{
    std::memset(InputRaster, 0, sizeof InputRaster);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            InputRaster[y][x] = qBlue(picture.pixel(x, y));
    RunAnalysis();
    int wrong = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = seen.pixel(left + x, top + y);
            const int expected = ResultRaster[y][x];
            if (qRed(pixel) != expected || qGreen(pixel) != expected || qBlue(pixel) != expected) {
                if (wrong < 5)
                    std::fprintf(stderr, "pixel %d,%d: expected grey %d, seen %d,%d,%d\n", x, y, expected,
                                 qRed(pixel), qGreen(pixel), qBlue(pixel));
                ++wrong;
            }
        }
    std::printf("%d of %d pixels of %s differ from the analysis\n", wrong, picture.width() * picture.height(), what);
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
        const QImage picture(argv[2]);
        return Compare(picture, shot, std::atoi(argv[4]) + ClientWidth - picture.width(), std::atoi(argv[5]),
                       "the right pane");
    }
    if (argc == 4 && std::strcmp(argv[1], "saved") == 0) {
        const QImage saved(argv[3]);
        if (saved.isNull() || saved.size() != QImage(argv[2]).size()) {
            std::fprintf(stderr, "the saved result %s is missing or of another size\n", argv[3]);
            return 1;
        }
        return Compare(QImage(argv[2]), saved, 0, 0, "the saved result");
    }
    std::fprintf(stderr, "usage: window_check picture OUT | verify PICTURE SHOT X Y | saved PICTURE SAVED\n");
    return 2;
}
