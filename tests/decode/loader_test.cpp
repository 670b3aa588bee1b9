#include "decode/loader.h"

#include <numeric>

#include <gtest/gtest.h>

#include "decode/pixel.h"
#include "support/temp_file.h"

namespace pixvue {
namespace {

using testing::TempDir;
using testing::wordsToBytes;

TEST(PixelFormat, EachChannelTakesFiveBitsTimesEight) {
    EXPECT_EQ(colourFromWord(0x7FFF), 248u | 248u << 8 | 248u << 16);
    EXPECT_EQ(colourFromWord(0x001F), 248u);
    EXPECT_EQ(colourFromWord(0x03E0), 248u << 8);
    EXPECT_EQ(colourFromWord(0x7C00), 248u << 16);
    EXPECT_EQ(colourFromWord(0x8000), 0u);  // bit 15 is ignored
    EXPECT_EQ(colourFromWord(0xFFFF), colourFromWord(0x7FFF));
    EXPECT_EQ(colourFromWord(0x0421), 8u | 8u << 8 | 8u << 16);  // one step of each
    EXPECT_EQ(argbFromWord(0x001F), 0xFFF80000u);                // red lands where Qt paints red
    EXPECT_EQ(argbFromWord(0x7C00), 0xFF0000F8u);
}

struct VerdictCase {
    const char* width;
    const char* height;
    const char* address;
    LoadVerdict verdict;
    PictureFields after;  // fields start at {7, 8, 9}
};

class Conversion : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(Conversion, ConvertsInOrderAndChecksRangesInOrder) {
    const auto& c = GetParam();
    PictureFields fields{7, 8, 9};
    EXPECT_EQ(convertFields(c.width, c.height, c.address, fields), c.verdict);
    EXPECT_EQ(fields.PicWidth, c.after.PicWidth);
    EXPECT_EQ(fields.PicHeight, c.after.PicHeight);
    EXPECT_EQ(fields.PicAddress, c.after.PicAddress);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Conversion,
    ::testing::Values(
        VerdictCase{"320", "240", "0", LoadVerdict::Accepted, {319, 239, 0}},
        VerdictCase{" 320 ", "240", " 153600", LoadVerdict::Accepted, {319, 239, 153600}},
        VerdictCase{"1", "1", "0", LoadVerdict::Accepted, {0, 0, 0}},
        VerdictCase{"1024", "1024", "2000000000", LoadVerdict::Accepted, {1023, 1023, 2000000000}},
        VerdictCase{"319.5", "240", "0", LoadVerdict::Accepted, {318, 239, 0}},
        VerdictCase{"320.5", "240", "0", LoadVerdict::Accepted, {320, 239, 0}},
        VerdictCase{"0", "240", "0", LoadVerdict::WidthOutOfRange, {-1, 239, 0}},
        VerdictCase{"1025", "240", "0", LoadVerdict::WidthOutOfRange, {1024, 239, 0}},
        VerdictCase{"-5", "0", "0", LoadVerdict::WidthOutOfRange, {-6, -1, 0}},
        VerdictCase{"320", "1025", "-1", LoadVerdict::HeightOutOfRange, {319, 1024, -1}},
        VerdictCase{
            "320", "240", "2000000001", LoadVerdict::AddressOutOfRange, {319, 239, 2000000001}},
        VerdictCase{"320", "240", "-1", LoadVerdict::AddressOutOfRange, {319, 239, -1}},
        // A text that does not convert stops there; earlier fields keep their new values.
        VerdictCase{"abc", "240", "0", LoadVerdict::NotANumber, {7, 8, 9}},
        VerdictCase{"", "240", "0", LoadVerdict::NotANumber, {7, 8, 9}},
        VerdictCase{"320", "12abc", "0", LoadVerdict::NotANumber, {319, 8, 9}},
        VerdictCase{"320", "240", "3000000000", LoadVerdict::NotANumber, {319, 239, 9}},
        VerdictCase{"-2147483648", "240", "0", LoadVerdict::NotANumber, {7, 8, 9}},
        VerdictCase{
            "-2147483647", "240", "0", LoadVerdict::WidthOutOfRange, {-2147483647 - 1, 239, 0}},
        VerdictCase{"2147483648", "240", "0", LoadVerdict::WidthOutOfRange, {2147483647, 239, 0}}));

TEST(Conversion, MessagesCarryTheirTextsTitlesAndIcons) {
    EXPECT_FALSE(messageFor(LoadVerdict::Accepted));
    const auto numbers = *messageFor(LoadVerdict::NotANumber);
    EXPECT_EQ(numbers.text, "Are you sure you entered only numbers ?");
    EXPECT_EQ(numbers.title, "Something went wrong");
    EXPECT_EQ(numbers.icon, MessageIcon::Critical);
    const auto width = *messageFor(LoadVerdict::WidthOutOfRange);
    EXPECT_EQ(width.text, "The width must be between 1 and 1024");
    EXPECT_EQ(width.title, "Invalid value");
    EXPECT_EQ(width.icon, MessageIcon::Information);
    EXPECT_EQ(messageFor(LoadVerdict::HeightOutOfRange)->text,
              "The height must be between 1 and 1024");
    EXPECT_EQ(messageFor(LoadVerdict::AddressOutOfRange)->text,
              "The address must be between 0 and 2000000000");
}

// Loads a picture of the given size from a file holding `bytes`.
struct Loaded {
    PictureSurface surface;
    std::vector<int> rows;
};

std::unique_ptr<Loaded> load(const std::vector<std::uint8_t>& bytes, int width, int height,
                             int address = 0) {
    TempDir dir;
    DataFile file;
    EXPECT_TRUE(file.open(dir.write("data.bin", bytes)));
    auto result = std::make_unique<Loaded>();
    std::vector<std::byte> scratch;
    readPicture(file, {width - 1, height - 1, address}, result->surface, scratch,
                [&](int row) { result->rows.push_back(row); });
    return result;
}

TEST(Loading, AWholeFileDecodesRowByRow) {
    std::vector<std::uint16_t> words(320 * 240);
    std::iota(words.begin(), words.end(), std::uint16_t{0});
    const auto loaded = load(wordsToBytes(words), 320, 240);
    for (int y : {0, 1, 120, 239})
        for (int x : {0, 1, 200, 319})
            EXPECT_EQ(loaded->surface.pixel(x, y), argbFromWord(words[std::size_t(y * 320 + x)]));
    std::vector<int> expectedRows(240);
    std::iota(expectedRows.begin(), expectedRows.end(), 0);
    EXPECT_EQ(loaded->rows, expectedRows);
    EXPECT_EQ(loaded->surface.pixel(320, 0), 0xFF000000u);  // outside stays as it was
    EXPECT_EQ(loaded->surface.pixel(0, 240), 0xFF000000u);
}

TEST(Loading, StartsAtTheAddress) {
    const auto loaded = load({0xAA, 0x1F, 0x00, 0xE0, 0x03}, 2, 1, 1);
    EXPECT_EQ(loaded->surface.pixel(0, 0), argbFromWord(0x001F));
    EXPECT_EQ(loaded->surface.pixel(1, 0), argbFromWord(0x03E0));
}

TEST(Loading, OneByOneAndTheFullSurface) {
    const auto one = load({0x1F, 0x00, 0xFF, 0x7F}, 1, 1);
    EXPECT_EQ(one->surface.pixel(0, 0), argbFromWord(0x001F));
    EXPECT_EQ(one->surface.pixel(1, 0), 0xFF000000u);

    std::vector<std::uint16_t> words(1024 * 1024);
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint16_t>(i * 7919);
    const auto full = load(wordsToBytes(words), 1024, 1024);
    EXPECT_EQ(full->surface.pixel(1023, 1023), argbFromWord(words.back()));
    EXPECT_EQ(full->surface.pixel(5, 700), argbFromWord(words[700 * 1024 + 5]));
    EXPECT_EQ(full->rows.size(), 1024u);
}

TEST(Loading, ATrailingByteReplacesOnlyTheLowByte) {
    // Three bytes, width 2: the second pixel is the third byte over the first word's high byte.
    const auto loaded = load({0x34, 0x12, 0x78}, 2, 1);
    EXPECT_EQ(loaded->surface.pixel(0, 0), argbFromWord(0x1234));
    EXPECT_EQ(loaded->surface.pixel(1, 0), argbFromWord(0x1278));
}

TEST(Loading, PastTheEndTheLastPixelRepeats) {
    const auto loaded = load(wordsToBytes({0x0001, 0x7C00, 0x03E0}), 2, 3);
    EXPECT_EQ(loaded->surface.pixel(0, 1), argbFromWord(0x03E0));
    EXPECT_EQ(loaded->surface.pixel(1, 1), argbFromWord(0x03E0));
    EXPECT_EQ(loaded->surface.pixel(1, 2), argbFromWord(0x03E0));
    EXPECT_EQ(loaded->rows.size(), 3u);

    const auto odd = load({0x00, 0x7C, 0x1F}, 1, 4);  // one stray byte, then nothing
    for (int y = 1; y < 4; ++y) EXPECT_EQ(odd->surface.pixel(0, y), argbFromWord(0x7C1F));

    const auto single = load({0x1F}, 3, 1);  // a lone byte over a word that starts at 0
    for (int x = 0; x < 3; ++x) EXPECT_EQ(single->surface.pixel(x, 0), argbFromWord(0x001F));
}

TEST(Loading, AnAddressPastTheEndGivesBlack) {
    const auto loaded = load(wordsToBytes({0x7FFF, 0x7FFF}), 4, 2, 2000000000);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(loaded->surface.pixel(x, 1), 0xFF000000u);
}

TEST(Loading, AFileThatIsNotOpenGivesBlackRows) {
    DataFile closed;
    PictureSurface surface;
    surface.setPixel(0, 0, 0xFFFFFFFFu);
    std::vector<std::byte> scratch;
    int rows = 0;
    readPicture(closed, {1, 1, 0}, surface, scratch, [&](int) { ++rows; });
    EXPECT_EQ(surface.pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(rows, 2);
}

TEST(Loading, ASmallerPictureLeavesTheRestOfTheSurface) {
    std::vector<std::byte> scratch;
    PictureSurface surface;
    TempDir dir;
    DataFile file;
    ASSERT_TRUE(
        file.open(dir.write("white.bin", wordsToBytes(std::vector<std::uint16_t>(16, 0x7FFF)))));
    readPicture(file, {3, 3, 0}, surface, scratch, nullptr);
    ASSERT_TRUE(file.open(dir.write("red.bin", wordsToBytes({0x001F}))));
    readPicture(file, {0, 0, 0}, surface, scratch, nullptr);
    EXPECT_EQ(surface.pixel(0, 0), argbFromWord(0x001F));
    EXPECT_EQ(surface.pixel(3, 3), argbFromWord(0x7FFF));
}

TEST(DataFileLayer, RefusesWhatIsNotAnOrdinaryFile) {
    TempDir dir;
    DataFile file;
    EXPECT_FALSE(file.open(dir.path().string()));
    EXPECT_FALSE(file.open((dir.path() / "missing").string()));
    EXPECT_FALSE(file.open("/dev/zero"));
    EXPECT_TRUE(file.open(dir.write("empty", std::vector<std::uint8_t>{})));
    std::byte buffer[4];
    EXPECT_EQ(file.read(buffer), 0u);
    EXPECT_FALSE(file.readFailed());
}

TEST(DataFileLayer, ReadReturnsHowManyBytesArrived) {
    TempDir dir;
    DataFile file;
    ASSERT_TRUE(file.open(dir.write("five", std::vector<std::uint8_t>{1, 2, 3, 4, 5})));
    std::byte buffer[4];
    file.seek(3);
    EXPECT_EQ(file.read(buffer), 2u);
    EXPECT_EQ(buffer[0], std::byte{4});
    file.seek(0);
    EXPECT_EQ(file.read(buffer), 4u);
    EXPECT_EQ(file.read(buffer), 1u);
    file.seek(100);
    EXPECT_EQ(file.read(buffer), 0u);
}

}  // namespace
}  // namespace pixvue
