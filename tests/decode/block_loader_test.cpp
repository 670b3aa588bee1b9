// The block loader against the plain per-pixel loader (support/reference_loader.h): same file,
// same request, same surface before, same surface after, everywhere (what lies outside the
// picture included), and each row already complete when the loader reports it.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "decode/data_file.h"
#include "decode/loader.h"
#include "decode/picture_surface.h"
#include "support/reference_loader.h"
#include "support/temp_file.h"

namespace pixvue {
namespace {

std::vector<std::uint8_t> randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() & 0xFF);
    return bytes;
}

// Both surfaces start with the same leftovers of an earlier load, so that writes outside the
// picture, or pixels left unwritten inside it, show as a difference.
void fillLeftovers(PictureSurface& surface, unsigned seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < PictureSurface::kSide; ++y)
        for (int x = 0; x < PictureSurface::kSide; ++x) surface.setPixel(x, y, rng() | 0xFF000000u);
}

struct Case {
    const char* name;
    std::size_t fileSize;
    int width;
    int height;
    std::int32_t address;
};

// Where the picture meets the end of the file is where a block read can go wrong.
const Case kCases[] = {
    {"whole file 320x240", 2 * 320 * 240, 320, 240, 0},
    {"file 7 bytes longer than the picture", 2 * 320 * 240 + 7, 320, 240, 0},
    {"file one word short", 2 * 320 * 240 - 2, 320, 240, 0},
    {"file one byte short", 2 * 320 * 240 - 1, 320, 240, 0},
    {"three byte file under a large picture", 3, 320, 240, 0},
    {"one byte file under a large picture", 1, 320, 240, 0},
    {"empty file under a large picture", 0, 320, 240, 0},
    {"one pixel", 2, 1, 1, 0},
    {"one trailing byte replaces only the low byte", 3, 2, 1, 0},
    {"single byte file", 1, 1, 1, 0},
    {"empty file", 0, 4, 4, 0},
    {"address at the end", 100, 8, 8, 100},
    {"address past the end", 100, 8, 8, 5000},
    {"odd address, runs past the end", 1001, 17, 40, 333},
    {"odd address inside the file", 5000, 17, 13, 1},
    {"one byte left at the address", 5000, 17, 13, 4999},
    {"address just past a longer file", 5000, 17, 13, 5000},
    {"largest address on a longer file", 5000, 17, 13, kMaxAddress},
    {"even length, runs past the end mid-row", 1000, 33, 20, 2},
    {"file ends at a row boundary", 2 * 16 * 5, 16, 9, 0},
    {"file ends one byte into a row", 2 * 16 * 5 + 1, 16, 9, 0},
    // Files that end at, or one byte either side of, multiples of 64 KiB and 4 KiB, so a loader
    // that reads in blocks carries the last word over from one block to the next.
    {"64 KiB file", 65536, 1024, 80, 0},
    {"64 KiB file, odd address", 65536, 1000, 90, 1},
    {"64 KiB and a byte", 65537, 1024, 80, 0},
    {"64 KiB and a byte, odd address", 65537, 1000, 90, 1},
    {"64 KiB less a byte", 65535, 1024, 80, 0},
    {"64 KiB less a byte, odd address", 65535, 1000, 90, 1},
    {"128 KiB and a byte", 131072 + 1, 1024, 80, 0},
    {"128 KiB and a byte, odd address", 131072 + 1, 1000, 90, 1},
    {"12 KiB and a byte", 4096 * 3 + 1, 1024, 80, 0},
    {"12 KiB and a byte, odd address", 4096 * 3 + 1, 1000, 90, 1},
    {"full surface on a short file", 12345, 1024, 1024, 7},
    {"full surface on a file one byte short", 2 * 1024 * 1024 - 1, 1024, 1024, 0},
    {"full surface on a long file", 2 * 1024 * 1024 + 9, 1024, 1024, 9},
    {"one wide row", 4096, 1024, 1, 1},
    {"one tall column", 4096, 1, 1024, 3},
    {"largest address on a small file", 64, 3, 3, kMaxAddress},
};

// Test names show the case's name, not its bytes.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class BlockLoader : public ::testing::TestWithParam<Case> {};

TEST_P(BlockLoader, MatchesThePerPixelLoad) {
    const Case& c = GetParam();
    const testing::TempDir dir;
    const std::string path = dir.write(
        "data.bin", randomBytes(c.fileSize, static_cast<unsigned>(c.fileSize * 31 + c.width)));
    const PictureFields fields{c.width - 1, c.height - 1, c.address};

    PictureSurface expected, actual;
    fillLeftovers(expected, 7);
    fillLeftovers(actual, 7);

    DataFile plain;
    ASSERT_TRUE(plain.open(path));
    testing::referenceLoad(plain, fields, expected);

    DataFile block;
    ASSERT_TRUE(block.open(path));
    std::vector<std::byte> scratch;
    std::vector<int> rows;
    // Each row is complete when the loader reports it (the title shows progress row by row).
    readPicture(block, fields, actual, scratch, [&](int row) {
        rows.push_back(row);
        for (int x = 0; x < c.width; ++x)
            ASSERT_EQ(actual.pixel(x, row), expected.pixel(x, row)) << "row " << row << " x " << x;
    });

    for (int y = 0; y < PictureSurface::kSide; ++y)
        for (int x = 0; x < PictureSurface::kSide; ++x)
            ASSERT_EQ(actual.pixel(x, y), expected.pixel(x, y)) << "pixel " << x << "," << y;
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.height));
    for (int y = 0; y < c.height; ++y) EXPECT_EQ(rows[static_cast<std::size_t>(y)], y);
}

INSTANTIATE_TEST_SUITE_P(EndsOfFiles, BlockLoader, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// The word of the short read is the one the last read left, also across the row where the file
// ends: one trailing byte changes the low byte of the last whole pixel, then that word repeats.
TEST(BlockLoaderTail, TrailingByteKeepsTheHighByteOfTheLastWord) {
    const testing::TempDir dir;
    const std::string path = dir.write("data.bin", std::vector<std::uint8_t>{0x1F, 0x7C, 0xE0});
    DataFile data;
    ASSERT_TRUE(data.open(path));
    PictureSurface surface;
    std::vector<std::byte> scratch;
    readPicture(data, {2, 1, 0}, surface, scratch, nullptr);
    EXPECT_EQ(surface.pixel(0, 0), argbFromWord(0x7C1F));
    EXPECT_EQ(surface.pixel(1, 0), argbFromWord(0x7CE0));
    EXPECT_EQ(surface.pixel(2, 0), argbFromWord(0x7CE0));
    for (int x = 0; x < 3; ++x) EXPECT_EQ(surface.pixel(x, 1), argbFromWord(0x7CE0));
}

// A file that could not be opened reads nothing: the picture is black, and the loader must not
// touch anything outside it.
TEST(BlockLoaderTail, UnopenedFileGivesBlack) {
    DataFile none;
    PictureSurface expected, actual;
    fillLeftovers(expected, 3);
    fillLeftovers(actual, 3);
    testing::referenceLoad(none, {9, 4, 0}, expected);
    std::vector<std::byte> scratch;
    readPicture(none, {9, 4, 0}, actual, scratch, nullptr);
    EXPECT_EQ(actual.pixel(0, 0), 0xFF000000u);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) ASSERT_EQ(actual.pixel(x, y), expected.pixel(x, y));
}

}  // namespace
}  // namespace pixvue
