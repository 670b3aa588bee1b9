#include <vector>

#include <gtest/gtest.h>

#include "picture_window/fit.h"
#include "picture_window/pointer.h"
#include "picture_window/stretch.h"

namespace pixvue {
namespace {

constexpr std::uint32_t kBackground = 0xFF123456u;

struct Canvas {
    Canvas(int w, int h)
        : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), kBackground) {}
    PixelView view() { return {pixels.data(), std::size_t(width), width, height}; }
    std::uint32_t at(int x, int y) const {
        return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
    int width, height;
    std::vector<std::uint32_t> pixels;
};

// A 3 x 2 source in a row stride of 8.
std::vector<std::uint32_t> source() {
    std::vector<std::uint32_t> src(16, 0xDEADBEEF);
    const std::uint32_t values[2][3] = {{1, 2, 3}, {4, 5, 6}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) src[std::size_t(y * 8 + x)] = values[y][x];
    return src;
}

TEST(Stretch, EveryPixelBecomesAUniformZoomBlock) {
    const auto src = source();
    for (int zoom : {1, 2, 3, 11}) {
        Canvas dst(40, 30);
        stretchNearest(src.data(), 8, 3, 2, zoom, dst.view());
        for (int y = 0; y < dst.height; ++y)
            for (int x = 0; x < dst.width; ++x) {
                const bool inside = x < 3 * zoom && y < 2 * zoom;
                const std::uint32_t want =
                    inside ? src[std::size_t((y / zoom) * 8 + x / zoom)] : kBackground;
                ASSERT_EQ(dst.at(x, y), want) << "zoom " << zoom << " at " << x << "," << y;
            }
    }
}

TEST(Stretch, ClipsToTheDestination) {
    const auto src = source();
    Canvas dst(5, 3);
    stretchNearest(src.data(), 8, 3, 2, 11, dst.view());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(dst.at(x, y), 1u);
}

TEST(Stretch, NothingForEmptySizes) {
    const auto src = source();
    Canvas dst(4, 4);
    stretchNearest(src.data(), 8, 0, 2, 1, dst.view());
    stretchNearest(src.data(), 8, 3, -1, 1, dst.view());
    for (auto p : dst.pixels) EXPECT_EQ(p, kBackground);
}

TEST(Pointer, CellsRoundTowardMinusInfinity) {
    EXPECT_EQ(pointerCell(0, 3), 0);
    EXPECT_EQ(pointerCell(1, 3), 0);
    EXPECT_EQ(pointerCell(2, 3), 0);
    EXPECT_EQ(pointerCell(3, 3), 1);
    EXPECT_EQ(pointerCell(2.999f, 3), 0);
    EXPECT_EQ(pointerCell(-1, 2), -1);
    EXPECT_EQ(pointerCell(10, 1), 10);
}

TEST(Pointer, APressMovesTheAddressToThePressedPixel) {
    // Zoom 1, address 1000, width 320: X 10, Y 0.
    auto text = addColumnStep("1000", 10);
    EXPECT_EQ(text, " 1020");
    EXPECT_EQ(addRowStep(*text, 0, 319), " 1020");
    // Zoom 2, address 0, width 100: X 7, Y 5 give column 3, row 2.
    text = addColumnStep("0", pointerCell(7, 2));
    EXPECT_EQ(text, " 6");
    EXPECT_EQ(addRowStep(*text, pointerCell(5, 2), 99), " 406");
}

TEST(Pointer, StepsStartFromTheTextAsItStands) {
    EXPECT_EQ(addColumnStep("letters", 4), " 8");  // no number reads as 0
    EXPECT_EQ(addColumnStep("12abc", 1), " 14");
    // Column W + 5 on row 0: the sixth pixel of the next row.
    EXPECT_EQ(addColumnStep("0", 320 + 5), " 650");
    // A width the last load rejected still steps the row.
    EXPECT_EQ(addRowStep("0", 1, -7), "-12");
    EXPECT_EQ(addRowStep(" 1999999999", 1, 1023), " 2000002047");
    EXPECT_FALSE(addColumnStep("1e309", 1));  // not finite: the text stays
}

TEST(Fit, ScalesTheOuterSizeByTheWantedClientRatio) {
    // Outer 401 around client 385: wanted 640 gives 401 / 385 * 640, rounded.
    EXPECT_EQ(fittedOuterExtent(401, 385, 320, 2), 667);
    // Already fitted: unchanged.
    EXPECT_EQ(fittedOuterExtent(656, 640, 320, 2), 656);
    EXPECT_EQ(fittedOuterExtent(500, 480, 240, 2), 500);
    // Nothing sound to compute.
    EXPECT_FALSE(fittedOuterExtent(401, 0, 320, 2));
    EXPECT_FALSE(fittedOuterExtent(401, 385, 0, 2));
    EXPECT_FALSE(fittedOuterExtent(401, 385, -319, 2));
}

TEST(Fit, RepeatedPressesConvergeOnTheWantedSize) {
    const int frame = 16;
    int client = 385;
    int previousError = 1 << 30;
    for (int press = 0; press < 4; ++press) {
        const int outer = *fittedOuterExtent(client + frame, client, 320, 2);
        client = outer - frame;
        const int error = std::abs(client - 640);
        EXPECT_LE(error, previousError);
        previousError = error;
    }
    EXPECT_LE(previousError, 1);
}

}  // namespace
}  // namespace pixvue
