// Draws the application icon: a grid of 15-bit colour swatches in a dark frame, at 32 x 32 and
// 16 x 16. Run once; the PNG files it writes are kept under resources/icons.
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include "decode/pixel.h"

namespace {

QImage drawIcon(int side) {
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const int cells = 4;
    const int border = side / 16;
    const int cell = (side - 2 * border) / cells;
    const int inner = cell * cells;
    const int origin = (side - inner) / 2;
    for (int y = origin - border; y < origin + inner + border; ++y)
        for (int x = origin - border; x < origin + inner + border; ++x)
            image.setPixel(x, y, 0xFF202830);
    for (int cy = 0; cy < cells; ++cy) {
        for (int cx = 0; cx < cells; ++cx) {
            // Red grows to the right, blue downwards, green along the diagonal: 5-bit steps.
            const auto red = static_cast<std::uint16_t>(cx * 10);
            const auto green = static_cast<std::uint16_t>((cx + cy) * 5);
            const auto blue = static_cast<std::uint16_t>(31 - cy * 10);
            const std::uint16_t word = static_cast<std::uint16_t>(red | green << 5 | blue << 10);
            const std::uint32_t argb = pixvue::argbFromWord(word);
            for (int y = 0; y < cell - (side >= 32 ? 1 : 0); ++y)
                for (int x = 0; x < cell - (side >= 32 ? 1 : 0); ++x)
                    image.setPixel(origin + cx * cell + x, origin + cy * cell + y, argb);
        }
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    for (int side : {16, 32, 48, 64, 128, 256}) {
        if (!drawIcon(side).save(dir + QStringLiteral("/pixvue-%1.png").arg(side))) return 1;
    }
    return 0;
}
